#include "SimulatorRig.h"
#include "TestSuites.h"

#include <QTest>

class CommandModeTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void settingsOfALine();
    void lineArrivingInPieces();
};

void CommandModeTest::answers_data() {
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("AT") << QByteArray("AT\r") << "AT\r" + kOk;
    QTest::newRow("lower case") << QByteArray("at\r") << "at\r" + kOk;
    QTest::newRow("identification") << QByteArray("ATI3\r") << "ATI3\r" + kIdentity + kOk;
    QTest::newRow("no such ATI") << QByteArray("ATI5\r") << "ATI5\r" + kError;
    QTest::newRow("manufacturer") << QByteArray("AT+GMI\r") << "AT+GMI\r\r\nDuplink\r\n" + kOk;
    QTest::newRow("unknown basic") << QByteArray("ATY\r") << "ATY\r" + kError;
    QTest::newRow("unknown extended") << QByteArray("AT+FOO\r") << "AT+FOO\r" + kError;
    QTest::newRow("bad syntax") << QByteArray("AT?\r") << "AT?\r" + kError;
    QTest::newRow("error stops the line")
        << QByteArray("ATI3YI3\r") << "ATI3YI3\r" + kIdentity + kError;
    QTest::newRow("noise before AT") << QByteArray("x\x01 AT\r") << "x\x01 AT\r" + kOk;
    QTest::newRow("not a command") << QByteArray("hello\r") << QByteArray("hello\r");
    QTest::newRow("backspace") << QByteArray("ATY\bI3\r") << "ATY\bI3\r" + kIdentity + kOk;
    QTest::newRow("spaces") << QByteArray("AT E1 V1\r") << "AT E1 V1\r" + kOk;
    QTest::newRow("S-register") << QByteArray("ATS0=2S0?\r") << "ATS0=2S0?\r\r\n002\r\n" + kOk;
    QTest::newRow("no such register") << QByteArray("ATS9=1\r") << "ATS9=1\r" + kError;
    QTest::newRow("answer without a call") << QByteArray("ATA\r") << "ATA\r" + kNoCarrier;
}

void CommandModeTest::answers() {
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, answer);
    SimulatorRig rig;
    QCOMPARE(rig.type(1, typed), answer);
}

void CommandModeTest::settingsOfALine() {
    SimulatorRig rig;
    QCOMPARE(rig.type(1, "ATE0\r"), "ATE0\r" + kOk);
    QCOMPARE(rig.type(1, "AT\r"), kOk);
    QCOMPARE(rig.type(2, "AT\r"), "AT\r" + kOk); // each line has settings of its own
    QCOMPARE(rig.type(1, "ATV0\r"), QByteArray("0\r"));
    QCOMPARE(rig.type(1, "ATY\r"), QByteArray("4\r"));
    QCOMPARE(rig.type(1, "ATZ\r"), kOk);
    QCOMPARE(rig.type(1, "AT\r"), "AT\r" + kOk);
    const QByteArray overlong = "AT" + QByteArray(300, 'E') + "\r";
    QCOMPARE(rig.type(1, overlong), overlong + kError);
}

void CommandModeTest::lineArrivingInPieces() {
    SimulatorRig rig;
    QCOMPARE(rig.type(1, "A"), QByteArray("A"));
    QCOMPARE(rig.type(1, "TI"), QByteArray("TI"));
    QCOMPARE(rig.type(1, "3"), QByteArray("3"));
    QCOMPARE(rig.type(1, "\r\n"), "\r" + kIdentity + kOk + "\n");
}

int runCommandModeTests(int argc, char** argv) {
    CommandModeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CommandModeTest.moc"
