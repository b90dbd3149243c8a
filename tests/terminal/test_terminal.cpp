#include "TerminalRig.h"
#include "serial/TickMarkTimer.h"
#include "terminal/Clock.h"
#include "terminal/CommandHistory.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TerminalTest : public QObject {
    Q_OBJECT
private slots:
    void timersRunOnTheHandMovedAndTheRealClock();
    void storedPortsOpenAndShowWhatIsInForce();
    void portOneFailureShowsTheErrorText();
    void storedValuesThatAreNoNumberOrNotInTheList();
    void commandEditingAndHistory();
    void threeRingsInARowLightRI();
    void lampsRtsBoxAndSummaryFollowTheControl();
    void aPickClosesThePortAndAppliesTheFieldsOnce();
    void whatIsRefusedKeepsWhatIsInForce();
    void rtsAndDtrBoxesDriveTheLines();
    void aDeviceThatComesBackIsOpenedAgain();
};

void TerminalTest::timersRunOnTheHandMovedAndTheRealClock() {
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

    // A handler that waits (in a message box) while time goes on is not entered a second time,
    // but the other timers keep running.
    int applies = 0;
    Timer apply(clock, 100, [&] {
        ++applies;
        clock.advanceBy(500);
        apply.setEnabled(false);
    });
    fast.setEnabled(true);
    apply.setEnabled(true);
    clock.advanceBy(100);
    QCOMPARE(applies, 1);
    QCOMPARE(fired.size(), 5 + 6);

    // In real time, the process wakes once per tick, not again for a tick it woke too early
    // for; after the first tick the ticks are due on the 100 ms marks of the monotonic clock,
    // where the window's coarse timers (the caret's blink) expire too.
    Clock real;
    int ticks = 0;
    Timer poll(real, 100, [&] { ++ticks; });
    poll.setEnabled(true);
    int wakeups = 0;
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
            [&wakeups] { ++wakeups; });
    real.followRealTime();
    QEventLoop loop;
    QTimer::singleShot(1550, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
    // Two more: the loop's start and the wake-up that ends it.
    QVERIFY2(ticks >= 10 && wakeups <= ticks + 2,
             qPrintable(QStringLiteral("%1 ticks, %2 wake-ups").arg(ticks).arg(wakeups)));
    // The clock and the monotonic clock read one after the other: a millisecond apart at most.
    const qint64 offMark =
        (*real.nextDue() - real.now() + tickMarks::monotonicMs()) % tickMarks::kEveryMs;
    QVERIFY2(offMark <= 1 || offMark >= tickMarks::kEveryMs - 1,
             qPrintable(QString::number(offMark)));
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

void TerminalTest::portOneFailureShowsTheErrorText() {
    TerminalRig rig;
    rig.port1.failOpeningWith(QStringLiteral("COM1 (/dev/ttyS0): No such device"));
    rig.openBoth();
    QCOMPARE(rig.messages, QStringList{"Duplink v.2.0 | COM1 (/dev/ttyS0): No such device"});
    QVERIFY(!rig.port1.PortOpen());
    QCOMPARE(rig.view1.portLamp, kRed);
    QCOMPARE(rig.view1.fields[FieldSpeed], QStringLiteral("9600"));
    QCOMPARE(rig.view2.portLamp, kGreen);
}

void TerminalTest::storedValuesThatAreNoNumberOrNotInTheList() {
    TerminalRig rig;
    rig.settings[0].Port = QStringLiteral("COM one");
    rig.settings[1] = PortSettings{"12", "250000,m,5,1", "", "", "", "", "0"};
    rig.openBoth();
    // The conversion fails; the port keeps its number and the open is still tried. Terminal 2's
    // empty speed field makes the start-up apply refuse its settings: the port ends open with
    // the stored ones all the same.
    QCOMPARE(rig.messages.size(), 2);
    QVERIFY2(rig.messages[0].contains(QStringLiteral("\"COM one\"")), qPrintable(rig.messages[0]));
    QCOMPARE(rig.messages[1], QStringLiteral("Duplink v.2.0 | It is unacceptable"));
    QVERIFY(rig.port2.PortOpen());
    QVERIFY(rig.port1.PortOpen());
    QCOMPARE(rig.settings[0].Port, QStringLiteral("1"));
    QCOMPARE(rig.view1.fields[FieldPort], QStringLiteral("1"));
    // Terminal 2's speed field offers only its list: it keeps its text, the later ones are set.
    QCOMPARE(rig.port2.Settings(), QStringLiteral("250000,m,5,1"));
    QCOMPARE(rig.view2.fields,
             (std::array<QString, kSettingFieldCount>{"12", "", "m", "5", "1", "0"}));
    QCOMPARE(rig.settings[1].SettingsText, QStringLiteral("250000,m,5,1"));
}

void TerminalTest::commandEditingAndHistory() {
    CommandHistory history;
    QVERIFY(history.add("ATZ") && history.add("ATI") && history.add("ATZ"));
    QVERIFY(!history.add("ATZ") && !history.add(QString()));
    QCOMPARE(history.entries(), QStringList({"ATZ", "ATI", "ATZ"}));
    QCOMPARE(history.newer(), std::nullopt);
    // What was typed comes back past the newest; nothing happens past either end.
    QStringList walked;
    for (int i = 0; i < 4; ++i)
        walked << history.older(QStringLiteral("AT+")).value_or(QStringLiteral("-"));
    for (int i = 0; i < 5; ++i)
        walked << history.newer().value_or(QStringLiteral("-"));
    QCOMPARE(walked, QStringList({"ATZ", "ATI", "ATZ", "-", "ATI", "ATZ", "AT+", "-", "-"}));
    // A send in the middle of a walk starts it over from the box.
    history.older(QStringLiteral("typed"));
    history.add(QStringLiteral("ATI"));
    QCOMPARE(history.newer(), std::nullopt);
    QCOMPARE(history.older(QStringLiteral("next")), QStringLiteral("ATI"));
    QCOMPARE(history.newer(), QStringLiteral("next"));

    QStringList many;
    for (int i = 250; i > 0; --i)
        many << QString::number(i) << QString::number(i);
    history.restore(many);
    QCOMPARE(history.entries().size(), CommandHistory::kKept);
    QCOMPARE(history.entries().front(), QStringLiteral("250"));
    QCOMPARE(history.entries().back(), QStringLiteral("51"));

    // In a channel: "Insert Char 0-255" and "*" edit the box; "Run" keeps it as the click found
    // it; a recalled command is set as typing would set it, and Terminal 1's hex box follows.
    TerminalRig rig;
    QSignalSpy changes(rig.terminal.get(), &Terminal::commandHistoryChanged);
    FakeChannelView& v = rig.view1;
    for (const auto& [code, hex] : QList<QPair<QString, QString>>{{"13", "41540D"},
                                                                  {"255", "41540DFF"},
                                                                  {"300", "41540DFF"},
                                                                  {" 6 5.9", "41540DFF41"}}) {
        v.insertCode = code;
        emit v.insertClicked();
        QCOMPARE(v.commandHex, hex);
    }
    QCOMPARE(v.command, QStringLiteral("AT\r\u044FA"));
    emit v.emptyClicked();
    QCOMPARE(v.command, QString());
    QCOMPARE(v.commandHex, QString());
    QVERIFY(v.commandFocused);
    for (const char* sent : {"ATD1", "ATD1", "ATH"}) {
        v.command = QLatin1String(sent);
        emit v.runClicked();
    }
    QCOMPARE(changes.count(), 2);
    v.command = QStringLiteral("AT&V");
    emit v.olderCommandAsked();
    emit v.olderCommandAsked();
    QCOMPARE(v.command, QStringLiteral("ATD1"));
    QCOMPARE(v.commandHex, QStringLiteral("41544431"));
    emit v.newerCommandAsked();
    emit v.newerCommandAsked();
    QCOMPARE(v.command, QStringLiteral("AT&V"));
    QCOMPARE(rig.terminal->channel(1).history.entries(), QStringList());
}

void TerminalTest::threeRingsInARowLightRI() {
    TerminalRig rig;
    rig.openBoth();
    const auto& history = rig.terminal->channel(0).LineEventHistory;
    const QStringList joined = {"6", "66", "666"};
    for (int ring = 0; ring < 3; ++ring) {
        rig.port1.raiseEvent(comEvRing);
        rig.settle();
        QCOMPARE(history[3], joined[ring]);
        QCOMPARE(rig.view1.lineLamps[5], ring == 2 ? kGreen : kOff);
    }
    // Codes that are no line event change nothing, not even a lamp.
    rig.view1.lineLamps.fill(0);
    for (const qint16 other : {0, 1, 2, 7, 1008})
        rig.port1.raiseEvent(other);
    rig.settle();
    QCOMPARE(history[3], QStringLiteral("666"));
    QCOMPARE(rig.view1.lineLamps[5], 0);
    rig.port1.raiseEvent(comEvCTS);
    rig.settle();
    QCOMPARE(history[3], QStringLiteral("663"));
    QCOMPARE(rig.view1.lineLamps[5], kOff);
    QCOMPARE(rig.terminal->channel(1).LineEventHistory[3], QString());
}

void TerminalTest::lampsRtsBoxAndSummaryFollowTheControl() {
    TerminalRig rig;
    rig.openBoth();
    rig.port1.setInputLines(true, false, true);
    rig.port1.raiseEvent(comEvCTS);
    rig.settle();
    QCOMPARE(rig.view1.lineLamps, (std::array<int, 6>{kOff, kRed, kGreen, kOff, kGreen, kOff}));
    QCOMPARE(rig.view1.summary, QStringLiteral("COM1 9600,n,8,1 comNone"));

    // Under RTS/CTS flow control RTS is the driver's: lamp red, box hidden.
    rig.view1.pick(FieldFlow, QStringLiteral("2"));
    rig.clock.advanceBy(100);
    QCOMPARE(rig.view1.lineLamps[0], kRed);
    QVERIFY(!rig.view1.rtsBoxVisible);
    rig.view1.pick(FieldFlow, QStringLiteral("0"));
    rig.clock.advanceBy(100);
    QCOMPARE(rig.view1.lineLamps[0], kOff);
    QVERIFY(rig.view1.rtsBoxVisible);

    rig.view2.pick(FieldSpeed, QStringLiteral("115200"));
    rig.view2.pick(FieldFlow, QStringLiteral("2"));
    rig.clock.advanceBy(100);
    QCOMPARE(rig.view2.summary, QStringLiteral("COM2 115200,n,8,1 comRTS"));

    // Transmit mode following CTS/DSR takes the RTS box away too, even without flow control.
    rig.terminal->TransmitMode = 1;
    rig.terminal->COM_Events(rig.terminal->channel(0));
    QVERIFY(!rig.view1.rtsBoxVisible);
    rig.transmit.followLines = false;
    rig.terminal->COM_Events(rig.terminal->channel(0));
    QVERIFY(rig.view1.rtsBoxVisible);
}

void TerminalTest::aPickClosesThePortAndAppliesTheFieldsOnce() {
    TerminalRig rig;
    rig.openBoth();
    TerminalChannel& ch = rig.terminal->channel(0);
    for (int field = 0; field < kSettingFieldCount; ++field) {
        ch.ModemState = 2;
        const int opens = rig.port1.openCount();
        rig.view1.pick(field, rig.view1.fields[size_t(field)]);
        QVERIFY(!rig.port1.PortOpen());
        QCOMPARE(ch.ModemState, qint16(0));
        rig.clock.advanceBy(99);
        QVERIFY(!rig.port1.PortOpen());
        rig.clock.advanceBy(1);
        QVERIFY(rig.port1.PortOpen());
        QCOMPARE(rig.port1.openCount(), opens + 1);
        QVERIFY(!ch.applyTimer.isEnabled());
    }
    // Typing applies nothing until the next pick, which takes every field as it is then; two
    // picks before the apply give one apply.
    rig.view1.fields[FieldSpeed] = QStringLiteral("57600");
    rig.clock.advanceBy(500);
    QCOMPARE(rig.port1.Settings(), QStringLiteral("9600,n,8,1"));
    const int opens = rig.port1.openCount();
    rig.view1.pick(FieldDataBits, QStringLiteral("7"));
    rig.view1.pick(FieldStopBits, QStringLiteral("2"));
    rig.clock.advanceBy(100);
    QCOMPARE(rig.port1.openCount(), opens + 1);
    QCOMPARE(rig.port1.Settings(), QStringLiteral("57600,n,7,2"));
    QCOMPARE(rig.settings[0].SettingsText, QStringLiteral("57600,n,7,2"));
    QCOMPARE(rig.settings[0].Speed, QStringLiteral("57600"));
    QCOMPARE(rig.view1.summaryColour, kGreen);
}

void TerminalTest::whatIsRefusedKeepsWhatIsInForce() {
    TerminalRig rig;
    rig.openBoth();
    rig.port1.refuseSettings(QStringLiteral("250000,n,8,1"));
    rig.view1.fields[FieldSpeed] = QStringLiteral("250000");
    rig.view1.pick(FieldFlow, QStringLiteral("1"));
    rig.clock.advanceBy(100);
    QCOMPARE(rig.messages, QStringList{"Duplink v.2.0 | It is unacceptable"});
    // Opened with this apply's port and flow control and the settings it had before.
    QVERIFY(rig.port1.PortOpen());
    QCOMPARE(rig.port1.Handshaking(), 1);
    QCOMPARE(rig.view1.fields[FieldSpeed], QStringLiteral("250000"));
    QCOMPARE(rig.settings[0].Speed, QStringLiteral("250000"));
    QCOMPARE(rig.settings[0].SettingsText, QStringLiteral("9600,n,8,1"));
    QCOMPARE(rig.view1.summary, QStringLiteral("COM1 9600,n,8,1 comXOnXOff"));
    rig.view1.fields[FieldSpeed] = QStringLiteral("9600");
    rig.messages.clear();

    // Port 2 moved to the port Terminal 1 holds: red, without a word.
    rig.view2.pick(FieldPort, QStringLiteral("1"));
    rig.clock.advanceBy(100);
    QVERIFY(!rig.port2.PortOpen());
    QCOMPARE(rig.view2.portLamp, kRed);
    QCOMPARE(rig.view2.summaryColour, kRed);
    QVERIFY(rig.messages.isEmpty());

    // A typed port that is no number from 1 to 16 is refused; the port stays closed.
    for (const QString& typed :
         {QString(), QStringLiteral("0"), QStringLiteral("17"), QStringLiteral("abc"),
          QStringLiteral("1e2"), QString(600, QLatin1Char('7'))}) {
        rig.messages.clear();
        rig.view1.pick(FieldPort, typed);
        rig.clock.advanceBy(100);
        QCOMPARE(rig.messages, QStringList{"Duplink v.2.0 | It is unacceptable"});
        QVERIFY(!rig.port1.PortOpen());
        QCOMPARE(rig.view1.portLamp, kRed);
        QCOMPARE(rig.view1.summaryColour, kRed);
        QVERIFY(!rig.terminal->channel(0).applyTimer.isEnabled());
        QCOMPARE(rig.settings[0].Port, QStringLiteral("1"));
    }
    rig.view1.pick(FieldPort, QStringLiteral("3"));
    rig.clock.advanceBy(100);
    QVERIFY(rig.port1.PortOpen());
    QCOMPARE(rig.view1.summary, QStringLiteral("COM3 9600,n,8,1 comXOnXOff"));
}

void TerminalTest::rtsAndDtrBoxesDriveTheLines() {
    TerminalRig rig;
    rig.openBoth();
    rig.port2.setPortOpen(false); // written whether the port is open or not
    for (FakeChannelView* view : {&rig.view1, &rig.view2}) {
        FakeSerialControl& port = view == &rig.view1 ? rig.port1 : rig.port2;
        view->rtsBox = 1;
        emit view->rtsBoxClicked();
        QVERIFY(port.RTSEnable());
        QCOMPARE(view->lineLamps[0], kRed);
        view->rtsBox = 2; // grayed counts as clear
        emit view->rtsBoxClicked();
        QVERIFY(!port.RTSEnable());
        view->dtrBox = 0;
        emit view->dtrBoxClicked();
        QVERIFY(!port.DTREnable());
        QCOMPARE(view->lineLamps[1], kOff);
    }
    // Only Terminal 1's RTS box beeps.
    QCOMPARE(rig.beeps, 2);
}

void TerminalTest::aDeviceThatComesBackIsOpenedAgain() {
    TerminalRig rig;
    rig.port2.failOpeningWith(QStringLiteral("COM2 (/dev/ttyS1): No such device"));
    rig.openBoth();
    rig.skipIdentification();
    // Port 2's failure at start shows on its lamp alone.
    QVERIFY(rig.messages.isEmpty());
    QCOMPARE(rig.view2.portLamp, kRed);
    // What the system says of the devices comes through the device watch alone.
    QCOMPARE(rig.view1.portDescriptions, rig.devices.descriptions);
    QCOMPARE(rig.devices.watched.size(), 2);
    QCOMPARE(rig.view2.portDetails,
             QStringLiteral("COM2: (fake)\nCOM2 (/dev/ttyS1): No such device"));

    rig.port1.loseDevice();
    rig.settle();
    rig.port1.present = false;
    emit rig.view1.runClicked();
    rig.devices.change();
    QVERIFY(!rig.port1.PortOpen());
    QCOMPARE(rig.view1.summaryColour, kRed);
    QVERIFY(rig.view1.portDetails.endsWith(QStringLiteral("the device went away")));
    // Back: opened with its settings, the modem asked who it is, then the command goes out.
    rig.port1.present = true;
    rig.devices.change();
    QVERIFY(rig.port1.PortOpen());
    QCOMPARE(rig.view1.portLamp, kGreen);
    QCOMPARE(rig.view1.summaryColour, kGreen);
    QCOMPARE(rig.terminal->channel(0).ModemState, qint16(0));
    for (int i = 0; i < 3; ++i)
        rig.tick();
    QCOMPARE(rig.port1.written(), QByteArray("ATI3\rAT\r"));

    // A pick about to be applied comes first; a port that failed at start opens when it can.
    rig.port1.loseDevice();
    rig.settle();
    rig.view1.pick(FieldStopBits, QStringLiteral("2"));
    const int opens = rig.port1.openCount();
    rig.port2.failOpeningWith(QString());
    rig.devices.change();
    QCOMPARE(rig.port1.openCount(), opens);
    QVERIFY(rig.port2.PortOpen());
    rig.tick();
    QCOMPARE(rig.port1.openCount(), opens + 1);
    QCOMPARE(rig.port1.Settings(), QStringLiteral("9600,n,8,2"));
}

QTEST_MAIN(TerminalTest)
#include "test_terminal.moc"
