#include "SimulatorRig.h"
#include "TestSuites.h"

#include <QTest>

namespace {
constexpr Millis kGuard = 1000;

std::vector<LineOptions> modems(int count) {
    return std::vector<LineOptions>(std::size_t(count));
}
} // namespace

class ExchangeTest : public QObject {
    Q_OBJECT
private slots:
    void dialRingsEveryTwoSecondsUntilAnswered();
    void busyAndUnknownNumbers();
    void dataPassesByteForByte();
    void escapeNeedsGuardTimes_data();
    void escapeNeedsGuardTimes();
    void escapeBackOnlineAndHangUp();
};

void ExchangeTest::dialRingsEveryTwoSecondsUntilAnswered() {
    SimulatorRig rig;
    QCOMPARE(rig.type(1, "ATD2\r"), QByteArray("ATD2\r"));
    QCOMPARE(rig.read(2), kRing);
    rig.wait(1999);
    QCOMPARE(rig.read(2), QByteArray());
    rig.wait(1);
    QCOMPARE(rig.read(2), kRing);
    QCOMPARE(rig.type(2, "ATS1?\r"), "ATS1?\r\r\n002\r\n" + kOk);
    QCOMPARE(rig.read(1), QByteArray());
    QCOMPARE(rig.type(2, "ATA\r"), "ATA\r" + kConnect);
    QCOMPARE(rig.read(1), kConnect);
    rig.wait(5000);
    QCOMPARE(rig.read(2), QByteArray()); // no more rings once answered
    QVERIFY(rig.mode(1) == ModemMode::Online);
    QVERIFY(rig.mode(2) == ModemMode::Online);
}

void ExchangeTest::busyAndUnknownNumbers() {
    SimulatorRig rig(modems(3));
    QCOMPARE(rig.type(1, "ATD1\r"), "ATD1\r" + kBusy);
    QCOMPARE(rig.type(1, "ATDT9\r"), "ATDT9\r" + kNoCarrier);
    QCOMPARE(rig.type(1, "ATDX\r"), "ATDX\r" + kError);
    rig.type(1, "atdp,0 2\r"); // dial modifiers and spaces do not change the number
    QCOMPARE(rig.type(3, "ATD2\r"), "ATD2\r" + kBusy); // ringing
    QCOMPARE(rig.type(3, "ATD1\r"), "ATD1\r" + kBusy); // dialling
    rig.type(2, "ATA\r");
    QCOMPARE(rig.type(3, "ATD2\r"), "ATD2\r" + kBusy); // in a call
    QCOMPARE(rig.read(1), kConnect);
}

void ExchangeTest::dataPassesByteForByte() {
    SimulatorRig rig;
    rig.connect(1, 2);
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += char(b);
    QCOMPARE(rig.type(1, everyByte), QByteArray()); // no echo online
    QCOMPARE(rig.read(2), everyByte);
    QCOMPARE(rig.type(2, "ATH\r"), QByteArray()); // online, commands are data
    QCOMPARE(rig.read(1), QByteArray("ATH\r"));
}

void ExchangeTest::escapeNeedsGuardTimes_data() {
    QTest::addColumn<QByteArrayList>("typed"); // 100 ms apart; "" is a guard time's pause
    QTest::addColumn<bool>("escapes");
    QTest::newRow("on its own") << QByteArrayList{"+++"} << true;
    QTest::newRow("in pieces") << QByteArrayList{"++", "+"} << true;
    QTest::newRow("data just before") << QByteArrayList{"data+++"} << false;
    QTest::newRow("data after") << QByteArrayList{"+++x"} << false;
    QTest::newRow("a CR after") << QByteArrayList{"+++\r"} << false;
    QTest::newRow("four") << QByteArrayList{"++++"} << false;
    QTest::newRow("too slow between") << QByteArrayList{"++", "", "+"} << false;
}

void ExchangeTest::escapeNeedsGuardTimes() {
    QFETCH(QByteArrayList, typed);
    QFETCH(bool, escapes);
    SimulatorRig rig;
    rig.connect(1, 2);
    rig.wait(kGuard);
    for (qsizetype i = 0; i < typed.size(); ++i) {
        rig.wait(i == 0 ? 0 : typed[i].isEmpty() ? kGuard : 100);
        rig.type(1, typed[i]);
    }
    rig.wait(kGuard - 1);
    QCOMPARE(rig.read(1), QByteArray());
    rig.wait(1);
    QCOMPARE(rig.read(1), escapes ? kOk : QByteArray());
    QVERIFY(rig.mode(1) == (escapes ? ModemMode::OnlineCommand : ModemMode::Online));
    QCOMPARE(rig.read(2), typed.join()); // the escape characters are data too
}

void ExchangeTest::escapeBackOnlineAndHangUp() {
    SimulatorRig rig;
    rig.connect(1, 2);
    rig.wait(kGuard);
    rig.type(1, "+++");
    rig.wait(kGuard);
    QCOMPARE(rig.read(1), kOk);
    QCOMPARE(rig.type(1, "ATI3\r"), "ATI3\r" + kIdentity + kOk);
    rig.type(2, "lost");
    QCOMPARE(rig.type(1, "ATO\r"), "ATO\r" + kConnect);
    rig.type(2, "back");
    QCOMPARE(rig.read(1), QByteArray("back"));
    rig.wait(kGuard);
    rig.type(1, "+++");
    rig.wait(kGuard);
    QCOMPARE(rig.type(1, "ATH\r"), kOk + "ATH\r" + kOk);
    QCOMPARE(rig.read(2), "+++" + kNoCarrier);
    QVERIFY(rig.mode(2) == ModemMode::Command);
    rig.connect(2, 1); // the lines are free again
    QVERIFY(rig.mode(1) == ModemMode::Online);
}

int runExchangeTests(int argc, char** argv) {
    ExchangeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExchangeTest.moc"
