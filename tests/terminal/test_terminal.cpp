#include "TerminalRig.h"
#include "terminal/Clock.h"

#include <QTest>

class TerminalTest : public QObject {
    Q_OBJECT
private slots:
    void timersRunOnTheHandMovedClock();
    void aHandlerWaitingIsNotEnteredAgain();
    void storedPortsOpenAndShowWhatIsInForce();
    void portOneFailureShowsTheErrorTextPortTwosDoesNot();
    void storedValuesThatAreNoNumberOrNotInTheList();
    void commandEditing();
};

void TerminalTest::timersRunOnTheHandMovedClock() {
    Clock clock;
    QList<QPair<char, qint64>> fired;
    Timer fast(clock, 100, [&] { fired.append({'f', clock.now()}); });
    Timer once(clock, 100, [&] {
        fired.append({'o', clock.now()});
        once.setEnabled(false);
    });
    fast.setEnabled(true);
    clock.advanceBy(250);
    // An interval counts from the moment the timer is enabled.
    once.setEnabled(true);
    clock.advanceBy(200);
    QCOMPARE(fired, (QList<QPair<char, qint64>>{
                        {'f', 100}, {'f', 200}, {'f', 300}, {'o', 350}, {'f', 400}}));
    QCOMPARE(clock.now(), 450);
    QCOMPARE(clock.nextDue(), std::optional<qint64>(500));
    fast.setEnabled(false);
    QCOMPARE(clock.nextDue(), std::nullopt);
    clock.advanceBy(1000);
    QCOMPARE(fired.size(), 5);
}

void TerminalTest::aHandlerWaitingIsNotEnteredAgain() {
    // A handler that waits (in a message box) while time goes on is not entered a second time,
    // but the other timers keep running.
    Clock clock;
    int applies = 0;
    int ticks = 0;
    Timer poll(clock, 100, [&] { ++ticks; });
    Timer apply(clock, 100, [&] {
        ++applies;
        clock.advanceBy(500);
        apply.setEnabled(false);
    });
    poll.setEnabled(true);
    apply.setEnabled(true);
    clock.advanceBy(100);
    QCOMPARE(applies, 1);
    QCOMPARE(ticks, 6);
}

void TerminalTest::storedPortsOpenAndShowWhatIsInForce() {
    TerminalRig rig;
    rig.settings[0] = PortSettings{"5", "115200,n,8,1", "9600", "e", "7", "2", "2"};
    rig.openBoth();
    QVERIFY(rig.port1.PortOpen() && rig.port2.PortOpen());
    QCOMPARE(rig.port1.CommPort(), qint16(5));
    QCOMPARE(rig.port1.Settings(), QStringLiteral("115200,n,8,1"));
    // The settings string is split back into the fields; a stored flow control is not applied.
    QCOMPARE(rig.view1.fields,
             (std::array<QString, kSettingFieldCount>{"5", "115200", "n", "8", "1", "0"}));
    QCOMPARE(rig.settings[0].Flow, QStringLiteral("0"));
    QCOMPARE(rig.port1.Handshaking(), 0);
    QCOMPARE(rig.view1.portLamp, kGreen);
    QCOMPARE(rig.view2.portLamp, kGreen);
    QVERIFY(rig.messages.isEmpty());
}

void TerminalTest::portOneFailureShowsTheErrorTextPortTwosDoesNot() {
    {
        TerminalRig rig;
        rig.port1.failOpeningWith(QStringLiteral("COM1 (/dev/ttyS0): No such device"));
        rig.openBoth();
        QCOMPARE(rig.messages, QStringList{"Duplink v.2.0 | COM1 (/dev/ttyS0): No such device"});
        QVERIFY(!rig.port1.PortOpen());
        QCOMPARE(rig.view1.portLamp, kRed);
        QCOMPARE(rig.view1.fields[FieldSpeed], QStringLiteral("9600"));
        QCOMPARE(rig.view2.portLamp, kGreen);
    }
    // Both channels on one port: the second fails without a word.
    TerminalRig rig;
    rig.settings[1].Port = QStringLiteral("1");
    rig.openBoth();
    QVERIFY(rig.port1.PortOpen());
    QVERIFY(!rig.port2.PortOpen());
    QVERIFY(rig.messages.isEmpty());
    QCOMPARE(rig.view2.portLamp, kRed);
}

void TerminalTest::storedValuesThatAreNoNumberOrNotInTheList() {
    TerminalRig rig;
    rig.settings[0].Port = QStringLiteral("COM one");
    rig.settings[1] = PortSettings{"12", "250000,m,5,1", "", "", "", "", "0"};
    rig.openBoth();
    // The conversion fails; the port keeps its number and the open is still tried.
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages[0].contains(QStringLiteral("\"COM one\"")), qPrintable(rig.messages[0]));
    QVERIFY(rig.port1.PortOpen());
    QCOMPARE(rig.settings[0].Port, QStringLiteral("1"));
    QCOMPARE(rig.view1.fields[FieldPort], QStringLiteral("1"));
    // Terminal 2's speed field offers only its list: it keeps its text, the later ones are set.
    QCOMPARE(rig.port2.Settings(), QStringLiteral("250000,m,5,1"));
    QCOMPARE(rig.view2.fields,
             (std::array<QString, kSettingFieldCount>{"12", "", "m", "5", "1", "0"}));
    QCOMPARE(rig.settings[1].Speed, QStringLiteral("250000"));
}

void TerminalTest::commandEditing() {
    TerminalRig rig;
    FakeChannelView& v = rig.view1;
    v.setCommandText(QString());
    QCOMPARE(v.commandHex, QString());
    for (const auto& [code, hex] : QList<QPair<QString, QString>>{{"13", "0D"},
                                                                  {"255", "0DFF"},
                                                                  {"300", "0DFF"},
                                                                  {"-1", "0DFF"},
                                                                  {" 6 5.9", "0DFF41"}}) {
        v.insertCode = code;
        emit v.insertClicked();
        QCOMPARE(v.commandHex, hex);
    }
    QCOMPARE(v.command, QStringLiteral("\r\u044FA"));
}

QTEST_MAIN(TerminalTest)
#include "test_terminal.moc"
