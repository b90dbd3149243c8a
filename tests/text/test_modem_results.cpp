#include "text/LineSplitter.h"
#include "text/ModemResult.h"

#include <QTest>

class ModemResultsTest : public QObject {
    Q_OBJECT
private slots:
    void resultsAreFoundInWhatArrives_data();
    void resultsAreFoundInWhatArrives();
};

void ModemResultsTest::resultsAreFoundInWhatArrives_data() {
    QTest::addColumn<QByteArrayList>("pieces");
    // Each result found: its verbose text, [its detail], and whether it ends a command.
    QTest::addColumn<QStringList>("results");
    QTest::newRow("verbose") << QByteArrayList{"\r\nOK\r\n\r\nCONNECT\r\n\r\nRING\r\n"
                                               "\r\nNO CARRIER\r\n\r\nERROR\r\n\r\nNO DIALTONE\r\n"
                                               "\r\nBUSY\r\n\r\nNO ANSWER\r\n"}
                             << QStringList{"OK [] final",         "CONNECT [] final",
                                            "RING [] unsolicited", "NO CARRIER [] final",
                                            "ERROR [] final",      "NO DIALTONE [] final",
                                            "BUSY [] final",       "NO ANSWER [] final"};
    QTest::newRow("numeric") << QByteArrayList{"0\r1\r2\r3\r4\r5\r6\r7\r8\r9\r10\r"}
                             << QStringList{"OK [] final",         "CONNECT [] final",
                                            "RING [] unsolicited", "NO CARRIER [] final",
                                            "ERROR [] final",      "NO DIALTONE [] final",
                                            "BUSY [] final",       "NO ANSWER [] final"};
    QTest::newRow("split across reads")
        << QByteArrayList{"\r", "\nO", "K", "\r", "\n\r\nNO CAR", "RIER\r\n"}
        << QStringList{"OK [] final", "NO CARRIER [] final"};
    QTest::newRow("after the echo of the command")
        << QByteArrayList{"ATD2\r", "\r\nCONNECT 115200\r\n"}
        << QStringList{"CONNECT 115200 [115200] final"};
    QTest::newRow("details") << QByteArrayList{"\r\n+CME ERROR: 10\r\n\r\n+CMS ERROR:500 \r\n"
                                               "\r\nCONNECT 9600/V42\r\n"}
                             << QStringList{"+CME ERROR: 10 [10] final",
                                            "+CMS ERROR: 500 [500] final",
                                            "CONNECT 9600/V42 [9600/V42] final"};
    // Information text and data that only look like results.
    QTest::newRow("not results") << QByteArrayList{QByteArrayLiteral(
                                        "CONNECTED\rOKAY\r+CME ERROR\rRINGING\rATE0 OK\r5\r\0\r")}
                                 << QStringList{};
    // Neither the head nor the tail of a line longer than any kept is a line of its own.
    QTest::newRow("long lines") << QByteArrayList{QByteArray(1100, 'x') + "OK\r",
                                                  "OK" + QByteArray(1100, ' ') + "\rOK\r"}
                                << QStringList{"OK [] final"};
}

void ModemResultsTest::resultsAreFoundInWhatArrives() {
    QFETCH(QByteArrayList, pieces);
    QFETCH(QStringList, results);
    LineSplitter lines;
    QStringList found;
    for (const QByteArray& piece : pieces) {
        for (const QByteArray& line : lines.take(piece)) {
            if (const auto result = ModemResult::fromLine(line))
                found << QStringLiteral("%1 [%2] %3")
                             .arg(result->text(), result->detail,
                                  result->isFinal() ? "final" : "unsolicited");
        }
    }
    QCOMPARE(found, results);
}

QTEST_APPLESS_MAIN(ModemResultsTest)
#include "test_modem_results.moc"
