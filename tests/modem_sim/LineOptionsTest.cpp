#include "SimulatorOptions.h"
#include "SimulatorRig.h"
#include "TestSuites.h"

#include <QStringList>
#include <QTest>

namespace {
LineOptions delayed(Millis ms) {
    LineOptions options;
    options.replyDelay = ms;
    return options;
}

LineOptions ofKind(LineKind kind) {
    LineOptions options;
    options.kind = kind;
    return options;
}
} // namespace

class LineOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void replyDelayHoldsTheAnswer();
    void muteLineAnswersNothing();
    void rawLinesAreACable();
    void deviceChecksOnItsModemOnceSpokenTo();
    void commandLine_data();
    void commandLine();
};

void LineOptionsTest::replyDelayHoldsTheAnswer() {
    SimulatorRig rig({delayed(500), LineOptions()});
    QCOMPARE(rig.type(1, "ATI3\r"), QByteArray("ATI3\r"));
    rig.wait(499);
    QCOMPARE(rig.read(1), QByteArray());
    rig.wait(1);
    QCOMPARE(rig.read(1), kIdentity + kOk);
    QCOMPARE(rig.type(2, "AT\r"), "AT\r" + kOk); // the other line is not slowed
}

void LineOptionsTest::muteLineAnswersNothing() {
    SimulatorRig rig({ofKind(LineKind::Mute), LineOptions()});
    QCOMPARE(rig.type(1, "ATI3\rATD2\r"), QByteArray());
    QCOMPARE(rig.read(2), QByteArray());
    QCOMPARE(rig.type(2, "ATD1\r"), QByteArray("ATD1\r"));
    rig.wait(10000);
    QCOMPARE(rig.read(1), QByteArray());
    rig.wait(40000);
    QCOMPARE(rig.read(2), kNoCarrier);
}

void LineOptionsTest::rawLinesAreACable() {
    SimulatorRig rig({ofKind(LineKind::Raw), LineOptions(), ofKind(LineKind::Raw)});
    QCOMPARE(rig.type(1, "AT\r"), QByteArray());
    QCOMPARE(rig.read(3), QByteArray("AT\r"));
    QCOMPARE(rig.type(3, QByteArray("\0\xff+++", 5)), QByteArray());
    QCOMPARE(rig.read(1), QByteArray("\0\xff+++", 5));
    QCOMPARE(rig.read(2), QByteArray());
    QCOMPARE(rig.type(2, "ATD1\r"), "ATD1\r" + kNoCarrier);
}

void LineOptionsTest::deviceChecksOnItsModemOnceSpokenTo() {
    SimulatorRig rig({LineOptions(), ofKind(LineKind::Device)});
    rig.wait(60000);
    QCOMPARE(rig.read(2), QByteArray()); // nobody has spoken to it yet
    QCOMPARE(rig.type(2, "ATI3\r"), QByteArray());
    rig.wait(2999);
    QCOMPARE(rig.read(2), QByteArray());
    rig.wait(1);
    QCOMPARE(rig.read(2), QByteArray("AT\r"));
    rig.wait(3000);
    QCOMPARE(rig.read(2), QByteArray("AT\r"));
    QCOMPARE(rig.type(1, "ATD2\r"), "ATD2\r" + kNoCarrier);
}

void LineOptionsTest::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    // One letter a line: m modem, u mute, r raw, d device; "" if refused.
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("delayOfLine1");
    QTest::newRow("defaults") << QStringList() << "mm" << 0;
    QTest::newRow("a line per link")
        << QStringList{"--link", "a", "--link", "b", "--link", "c"} << "mmm" << 0;
    QTest::newRow("kinds and delay")
        << QStringList{"--raw", "3", "--lines=5", "--mute=2", "--delay", "1:250", "--device=4"}
        << "murdm" << 250;
    QTest::newRow("line past the last") << QStringList{"--raw", "3"} << "" << 0;
    QTest::newRow("more links than lines")
        << QStringList{"--lines", "1", "--link", "a", "--link", "b"} << "" << 0;
    QTest::newRow("delay without time") << QStringList{"--delay", "1"} << "" << 0;
    QTest::newRow("two kinds") << QStringList{"--device", "1", "--raw", "1"} << "" << 0;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "" << 0;
}

void LineOptionsTest::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(QString, lines);
    QFETCH(int, delayOfLine1);
    std::vector<std::string> argv;
    for (const QString& arg : args)
        argv.push_back(arg.toStdString());
    SimulatorOptions options;
    std::string error;
    const bool ok = parseSimulatorOptions(argv, options, error);
    QCOMPARE(ok, !lines.isEmpty());
    if (!ok) {
        QVERIFY(!error.empty());
        return;
    }
    QString kinds;
    for (const LineOptions& line : options.lines)
        kinds += QLatin1Char("murd"[int(line.kind)]);
    QCOMPARE(kinds, lines);
    QCOMPARE(options.lines[0].replyDelay, Millis(delayOfLine1));
}

int runLineOptionsTests(int argc, char** argv) {
    LineOptionsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "LineOptionsTest.moc"
