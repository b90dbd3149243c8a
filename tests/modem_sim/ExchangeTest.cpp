#include "Bench.h"
#include "TestSuites.h"

#include <QTest>

namespace {
const QByteArray kOk = "\r\nOK\r\n";
const QByteArray kRing = "\r\nRING\r\n";
const QByteArray kConnect = "\r\nCONNECT 9600\r\n";
const QByteArray kNoCarrier = "\r\nNO CARRIER\r\n";
const QByteArray kBusy = "\r\nBUSY\r\n";
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
    void escapeNeedsGuardTimes();
    void escapeThenBackOnline();
    void hangUpTellsTheOtherSide();
};

void ExchangeTest::dialRingsEveryTwoSecondsUntilAnswered() {
    Bench bench;
    QCOMPARE(bench.type(1, "ATD2\r"), QByteArray("ATD2\r"));
    QCOMPARE(bench.read(2), kRing);
    bench.wait(1999);
    QCOMPARE(bench.read(2), QByteArray());
    bench.wait(1);
    QCOMPARE(bench.read(2), kRing);
    QCOMPARE(bench.type(2, "ATS1?\r"), "ATS1?\r\r\n002\r\n" + kOk);
    QCOMPARE(bench.read(1), QByteArray());
    QCOMPARE(bench.type(2, "ATA\r"), "ATA\r" + kConnect);
    QCOMPARE(bench.read(1), kConnect);
    bench.wait(5000);
    QCOMPARE(bench.read(2), QByteArray()); // no more rings once answered
    QVERIFY(bench.state(1) == ModemState::Online);
    QVERIFY(bench.state(2) == ModemState::Online);
}

void ExchangeTest::busyAndUnknownNumbers() {
    Bench bench(modems(3));
    QCOMPARE(bench.type(1, "ATD1\r"), "ATD1\r" + kBusy);
    QCOMPARE(bench.type(1, "ATDT9\r"), "ATDT9\r" + kNoCarrier);
    QCOMPARE(bench.type(1, "ATDX\r"), "ATDX\r\r\nERROR\r\n");
    bench.type(1, "atdp,0 2\r"); // dial modifiers and spaces do not change the number
    QCOMPARE(bench.type(3, "ATD2\r"), "ATD2\r" + kBusy); // ringing
    QCOMPARE(bench.type(3, "ATD1\r"), "ATD1\r" + kBusy); // dialling
    bench.type(2, "ATA\r");
    QCOMPARE(bench.type(3, "ATD2\r"), "ATD2\r" + kBusy); // in a call
    QCOMPARE(bench.read(1), kConnect);
}

void ExchangeTest::dataPassesByteForByte() {
    Bench bench;
    bench.connect(1, 2);
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += char(b);
    QCOMPARE(bench.type(1, everyByte), QByteArray()); // no echo online
    QCOMPARE(bench.read(2), everyByte);
    QCOMPARE(bench.type(2, "ATH\r"), QByteArray()); // online, commands are data
    QCOMPARE(bench.read(1), QByteArray("ATH\r"));
}

void ExchangeTest::escapeNeedsGuardTimes() {
    Bench bench;
    bench.connect(1, 2);
    bench.type(1, "data+++"); // no silence before
    bench.wait(kGuard + 1);
    QCOMPARE(bench.read(1), QByteArray());
    bench.type(1, "+++x"); // broken by data after it
    bench.wait(kGuard + 1);
    QCOMPARE(bench.read(1), QByteArray());
    bench.type(1, "+");
    bench.type(1, "+");
    bench.wait(kGuard); // too slow between characters
    bench.type(1, "+");
    bench.wait(kGuard + 1);
    QCOMPARE(bench.read(1), QByteArray());
    QVERIFY(bench.state(1) == ModemState::Online);
    QCOMPARE(bench.read(2), QByteArray("data++++++x+++")); // the escape characters are data too
}

void ExchangeTest::escapeThenBackOnline() {
    Bench bench;
    bench.connect(1, 2);
    bench.wait(kGuard);
    bench.type(1, "++");
    bench.wait(100);
    bench.type(1, "+");
    bench.wait(kGuard - 1);
    QCOMPARE(bench.read(1), QByteArray());
    bench.wait(1);
    QCOMPARE(bench.read(1), kOk);
    QVERIFY(bench.state(1) == ModemState::OnlineCommand);
    QCOMPARE(bench.read(2), QByteArray("+++"));
    QCOMPARE(bench.type(1, "ATI3\r"), "ATI3\r\r\nDuplink Simulated Modem 1.0\r\n" + kOk);
    bench.type(2, "lost");
    QCOMPARE(bench.type(1, "ATO\r"), "ATO\r" + kConnect);
    bench.type(2, "back");
    QCOMPARE(bench.read(1), QByteArray("back"));
}

void ExchangeTest::hangUpTellsTheOtherSide() {
    Bench bench;
    bench.connect(1, 2);
    bench.wait(kGuard);
    bench.type(2, "+++");
    bench.wait(kGuard);
    QCOMPARE(bench.type(2, "ATH\r"), kOk + "ATH\r" + kOk);
    QCOMPARE(bench.read(1), "+++" + kNoCarrier);
    QVERIFY(bench.state(1) == ModemState::Command);
    bench.connect(2, 1); // the lines are free again
    QVERIFY(bench.state(1) == ModemState::Online);
}

int runExchangeTests(int argc, char** argv) {
    ExchangeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExchangeTest.moc"
