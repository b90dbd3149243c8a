#include "TerminalRig.h"
#include "text/AnsiCodePage.h"

#include <QSignalSpy>
#include <QTest>

// Both ports open and past identification, where reception and sending begin.
struct ReadyRig : TerminalRig {
    ReadyRig() {
        openBoth();
        skipIdentification();
    }
};

// The poll loop and "Run", on fake ports and a hand-moved clock: one tick every 100 ms.
class PollLoopTest : public QObject {
    Q_OBJECT
private slots:
    void identificationTakesTheFirstTicks();
    void answersAndHowTheyAreShown_data();
    void answersAndHowTheyAreShown();
    void aClosedPortOneLeavesTerminalTwoToBeIdentified();
    void receivedDataAsTextOrHexEveryByteUnaltered();
    void transmitModeRelaysAndLogsBothWays();
    void theTransmitSwitchAndTheLinesItDrives();
    void runEchoesAndTheSendTakesTheBoxesWhenItGoes();
    void endCharacters_data();
    void endCharacters();
    void whatCameBeforeADeviceWentAwayIsKept();
    void aPortLostInTheMiddleOfTheRelay_data();
    void aPortLostInTheMiddleOfTheRelay();
};

void PollLoopTest::identificationTakesTheFirstTicks() {
    TerminalRig rig;
    rig.port1.receive("early"); // waits for the answer: the whole buffer is the answer
    rig.openBoth();
    // Start-up's apply had both ports closed at the first tick.
    QCOMPARE(rig.view1.frameCaption, QStringLiteral("Terminal 1: No Modem"));
    QCOMPARE(rig.view1.infoLine, QStringLiteral("DEC=255 HEX=FF CHAR=\u044F"));
    rig.tick();
    QCOMPARE(rig.port1.written(), QByteArray("ATI3\r"));
    QVERIFY(rig.port2.written().isEmpty());
    rig.port1.receive("ATI3\r\r\nX\r\n\r\nY\r\n");
    rig.tick();
    QCOMPARE(rig.view1.frameCaption, QStringLiteral("Terminal 1: earlyATI3   X    Y"));
    rig.tick();
    QCOMPARE(rig.port2.written(), QByteArray("ATI3\r"));
    rig.tick();
    QCOMPARE(rig.view2.frameCaption, QStringLiteral("Terminal 2: No Modem"));
    // Reception begins with the fifth tick; an answer that came too late is ordinary data.
    rig.port2.receive("\r\nLate Modem\r\n");
    rig.tick();
    QCOMPARE(rig.view2.log, QByteArray("\r\nLate Modem\r\n"));
    QCOMPARE(rig.terminal->channel(0).ModemState, qint16(2));
    // The information line follows its box from one tick to the next, back and forth.
    rig.view1.insertCode = QStringLiteral("13");
    rig.tick();
    QCOMPARE(rig.view1.infoLine, QStringLiteral("DEC=13 HEX=D CHAR=CR (Carriage Return)"));
    rig.view1.insertCode = QStringLiteral("255");
    rig.tick();
    QCOMPARE(rig.view1.infoLine, QStringLiteral("DEC=255 HEX=FF CHAR=\u044F"));
}

void PollLoopTest::answersAndHowTheyAreShown_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("logged");
    QTest::newRow("no echo") << QByteArray("\r\nModem 5\r\n") << "Terminal 1: Modem 5"
                             << QByteArray();
    QTest::newRow("lower-case echo kept")
        << QByteArray("ati3\rM\r\n") << "Terminal 1: ati3 M" << QByteArray();
    QTest::newRow("only line ends") << QByteArray("\r\n\r\n") << "Terminal 1: " << QByteArray();
    // A device that streams at once: the caption takes an answer's worth, the rest is data.
    const QByteArray flood = "\r\nModem 5\r\n" + QByteArray(4 << 20, 'x');
    QTest::newRow("flood") << flood << "Terminal 1: Modem 5  " + QString(245, 'x')
                           << flood.mid(256);
}

void PollLoopTest::answersAndHowTheyAreShown() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, caption);
    QFETCH(QByteArray, logged);
    TerminalRig rig;
    rig.openBoth();
    rig.tick();
    rig.port1.receive(answer);
    rig.tick();
    QCOMPARE(rig.view1.frameCaption, caption);
    QCOMPARE(rig.view1.log, logged);
}

void PollLoopTest::aClosedPortOneLeavesTerminalTwoToBeIdentified() {
    TerminalRig rig;
    rig.port1.failOpeningWith(QStringLiteral("COM1: No such device"));
    rig.openBoth();
    rig.view1.frameCaption.clear();
    rig.tick();
    QCOMPARE(rig.port2.written(), QByteArray("ATI3\r"));
    QCOMPARE(rig.view1.frameCaption, QString()); // the tick ended at Terminal 2's question
    rig.port2.receive("Modem 2");
    rig.tick();
    QCOMPARE(rig.view2.frameCaption, QStringLiteral("Terminal 2: Modem 2"));
    rig.tick();
    QCOMPARE(rig.view1.frameCaption, QStringLiteral("Terminal 1: No Modem"));
}

void PollLoopTest::receivedDataAsTextOrHexEveryByteUnaltered() {
    ReadyRig rig;
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    rig.port1.receive(all);
    rig.view2.hexFormat = true;
    rig.port2.receive("OK\r\n");
    rig.tick();
    QCOMPARE(rig.view1.log, all);
    QCOMPARE(rig.view2.log, QByteArray(" 4F 4B 0D 0A\r\n"));
    rig.tick();
    QCOMPARE(rig.view1.appends, 1); // nothing received, nothing appended
}

void PollLoopTest::transmitModeRelaysAndLogsBothWays() {
    for (const bool hex : {false, true}) {
        ReadyRig rig;
        rig.terminal->TransmitMode = 1;
        rig.view1.hexFormat = rig.view2.hexFormat = hex;
        rig.port2.receive(QByteArray("A\0\xFF", 3));
        rig.port1.receive("B");
        rig.tick();
        QCOMPARE(rig.port1.written(), QByteArray("A\0\xFF", 3));
        QCOMPARE(rig.port2.written(), QByteArray("B"));
        if (hex) {
            QCOMPARE(rig.view1.log, QByteArray("\r\nCOM2:  41 00 FF\r\n\r\nCOM1:  42\r\n"));
            QCOMPARE(rig.view2.log, QByteArray(" 41 00 FF\r\n"));
        } else {
            QCOMPARE(rig.view1.log, QByteArray("\r\nCOM2: A\0\xFF\r\nCOM1: B\r\n", 22));
            QCOMPARE(rig.view2.log, QByteArray("A\0\xFF", 3));
        }
        // A port that cannot take more keeps the other's data waiting with its device. One still
        // sending a megabyte gets more if it sends fast enough for that to go within two ticks;
        // a slow one holds no more than a quarter megabyte.
        rig.port1.stuck = 1024 * 1024;
        rig.port2.receive("held");
        rig.tick();
        QCOMPARE(rig.port1.written().size(), 3);
        rig.port1.stuck = 600 * 1024;
        rig.tick();
        QVERIFY(rig.port1.written().endsWith("held"));
        rig.port2.receive("slow");
        rig.port1.stuck = 590 * 1024;
        rig.tick();
        QCOMPARE(rig.port1.written().size(), 7);
        rig.port1.stuck = 0;
        rig.tick();
        QVERIFY(rig.port1.written().endsWith("slow"));
        // A command left pending waits for normal mode.
        rig.terminal->channel(0).SendPending = 1;
        rig.tick();
        QCOMPARE(rig.port1.written().size(), 11);
        rig.terminal->TransmitMode = 0;
        rig.tick();
        QVERIFY(rig.port1.written().endsWith("AT\r"));
    }
}

void PollLoopTest::theTransmitSwitchAndTheLinesItDrives() {
    ReadyRig rig;
    emit rig.transmit.switchOnClicked();
    QCOMPARE(rig.terminal->TransmitMode, qint16(1));
    QVERIFY(rig.transmit.shownOn);
    // Following port 2's CTS and DSR: the four boxes go, both ports' lines follow.
    rig.port2.setInputLines(true, false, false);
    rig.tick();
    QCOMPARE(rig.view2.lineLamps[0], kRed);
    for (FakeChannelView* v : {&rig.view1, &rig.view2})
        QVERIFY(!v->rtsBoxVisible && !v->dtrBoxVisible);
    for (FakeSerialControl* p : {&rig.port1, &rig.port2})
        QVERIFY(p->RTSEnable() && !p->DTREnable());

    // Manual, with port 2 closed: the boxes drive the lines, both displays are redrawn, and
    // nothing is read or relayed.
    rig.transmit.followLines = false;
    rig.port2.setPortOpen(false);
    rig.port1.receive("kept");
    rig.view1.rtsBox = 0;
    rig.view1.dtrBox = 2; // grayed counts as set here
    rig.view2.summary.clear();
    rig.tick();
    QVERIFY(rig.view1.rtsBoxVisible && rig.view2.dtrBoxVisible);
    QVERIFY(!rig.port1.RTSEnable() && rig.port1.DTREnable());
    QCOMPARE(rig.view2.summary, QStringLiteral("COM2 9600,n,8,1 comNone"));
    QCOMPARE(rig.port1.readBytes(), QByteArray("kept"));
    QVERIFY(rig.view1.log.isEmpty());

    // Off: the boxes come back and give the four lines their values (grayed counts as set),
    // and the lamps show them at once.
    rig.port2.setPortOpen(true);
    rig.view1.rtsBox = 2;
    rig.view1.dtrBox = 1;
    rig.view2.rtsBox = 0;
    rig.view2.dtrBox = 1;
    emit rig.transmit.switchOffClicked();
    QCOMPARE(rig.terminal->TransmitMode, qint16(0));
    QVERIFY(!rig.transmit.shownOn);
    for (FakeChannelView* v : {&rig.view1, &rig.view2})
        QVERIFY(v->rtsBoxVisible && v->dtrBoxVisible);
    QVERIFY(rig.port1.RTSEnable() && rig.port1.DTREnable());
    QVERIFY(!rig.port2.RTSEnable() && rig.port2.DTREnable());
    QCOMPARE(rig.view1.lineLamps, (std::array<int, 6>{kRed, kRed, kOff, kOff, kOff, kOff}));
    QCOMPARE(rig.view2.lineLamps, (std::array<int, 6>{kOff, kRed, kGreen, kOff, kOff, kOff}));
    // Normal reception again.
    rig.port2.receive("after");
    rig.tick();
    QCOMPARE(rig.view2.log, QByteArray("after"));
}

void PollLoopTest::runEchoesAndTheSendTakesTheBoxesWhenItGoes() {
    ReadyRig rig;
    FakeChannelView& v = rig.view1;
    v.showCommand = true;
    emit v.runClicked();
    QCOMPARE(v.log, QByteArray("\r\nPROG: AT\r\nCOM1: "));
    QCOMPARE(v.appends, 2);
    QVERIFY(rig.port1.written().isEmpty());
    rig.tick();
    QCOMPARE(rig.port1.written(), QByteArray("AT\r"));
    rig.port1.receive("\r\nOK\r\n");
    rig.tick();
    QVERIFY(v.log.endsWith("COM1: \r\nOK\r\n"));

    // In hex the echo shows what is sent, end character included; three presses, one send.
    v.log.clear();
    v.hexFormat = true;
    for (int i = 0; i < 3; ++i)
        emit v.runClicked();
    QCOMPARE(v.log, QByteArray("\r\nPROG:  41 54 0D\r\nCOM1: ").repeated(3));
    rig.tick();
    QCOMPARE(rig.port1.written(), QByteArray("AT\rAT\r"));

    // Without the echo the log gains nothing, but its caret goes to the end.
    v.log.clear();
    v.showCommand = false;
    v.caretAtEnd = false;
    emit v.runClicked();
    QVERIFY(v.log.isEmpty() && v.caretAtEnd);

    // Run with the port closed: the send waits, and takes the boxes as they are when it goes.
    rig.port2.setPortOpen(false);
    rig.view2.showCommand = true;
    emit rig.view2.runClicked();
    rig.view2.command = QStringLiteral("ATZ");
    rig.view2.endCode = QStringLiteral("10"); // Terminal 2's own end-character box
    rig.tick();
    QVERIFY(rig.port2.written().isEmpty());
    QCOMPARE(rig.terminal->channel(1).SendPending, qint16(1));
    emit rig.view2.clearClicked();
    QVERIFY(rig.view2.log.isEmpty());
    rig.port2.setPortOpen(true);
    rig.tick();
    QCOMPARE(rig.port2.written(), QByteArray("ATZ\n"));
    rig.tick();
    QCOMPARE(rig.port2.written(), QByteArray("ATZ\n"));
    QCOMPARE(rig.port1.written(), QByteArray("AT\r").repeated(3));
}

// How the box's text reads as a code is the text layer's to test; here, what is sent with it.
void PollLoopTest::endCharacters_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("hexEcho");
    QTest::newRow("unchecked") << "13" << false << QByteArray("AT") << QByteArray(" 41 54");
    QTest::newRow("blank and 10") << " 10" << true << QByteArray("AT\n") << QByteArray(" 41 54 0A");
    QTest::newRow("empty") << "" << true << QByteArray("AT\0", 3) << QByteArray(" 41 54 00");
    QTest::newRow("names no character")
        << "300" << true << QByteArray("AT") << QByteArray(" 41 54");
}

void PollLoopTest::endCharacters() {
    QFETCH(QString, code);
    QFETCH(bool, checked);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, hexEcho);
    ReadyRig rig;
    rig.view1.endCode = code;
    rig.view1.endCodeOn = checked;
    rig.view1.showCommand = rig.view1.hexFormat = true;
    emit rig.view1.runClicked();
    QCOMPARE(rig.view1.log, "\r\nPROG: " + hexEcho + "\r\nCOM1: ");
    rig.tick();
    QCOMPARE(rig.port1.written(), sent);
}

void PollLoopTest::whatCameBeforeADeviceWentAwayIsKept() {
    ReadyRig rig;
    rig.port1.receive("last words");
    emit rig.view1.runClicked();
    rig.port1.loseDevice();
    rig.settle();
    QCOMPARE(rig.view1.log, QByteArray("last words"));
    QCOMPARE(rig.view1.portLamp, kRed);
    rig.tick();
    QCOMPARE(rig.view1.frameCaption, QStringLiteral("Terminal 1: No Modem"));
    QCOMPARE(rig.terminal->channel(0).SendPending, qint16(1));

    // In transmit mode they are relayed and logged as any other.
    rig.terminal->TransmitMode = 1;
    rig.port2.receive("bye");
    rig.port1.setPortOpen(true);
    rig.port2.loseDevice();
    rig.settle();
    QCOMPARE(rig.port1.written(), QByteArray("bye"));
    QCOMPARE(rig.view1.log, QByteArray("last words\r\nCOM2: bye"));
    QCOMPARE(rig.view2.log, QByteArray("bye"));
    // A device that comes back while relaying is not asked who it is: its first words are
    // relayed like any others.
    rig.devices.change();
    QVERIFY(rig.port2.PortOpen());
    const QByteArray first(3000, 'f');
    rig.port2.receive(first);
    rig.tick();
    QCOMPARE(rig.port1.written(), "bye" + first);
    QVERIFY(!rig.port2.written().contains("ATI3"));
}

void PollLoopTest::aPortLostInTheMiddleOfTheRelay_data() {
    QTest::addColumn<bool>("loseOne");
    QTest::addColumn<bool>("loseTwo");
    QTest::newRow("port 1 while written") << true << false;
    QTest::newRow("port 2 while written") << false << true;
    QTest::newRow("both") << true << true;
}

void PollLoopTest::aPortLostInTheMiddleOfTheRelay() {
    QFETCH(bool, loseOne);
    QFETCH(bool, loseTwo);
    ReadyRig rig;
    rig.terminal->TransmitMode = 1;
    rig.port2.receive("A");
    rig.port1.receive("B");
    rig.port1.loseDeviceInNextWrite = loseOne;
    rig.port2.loseDeviceInNextWrite = loseTwo;
    QSignalSpy lost1(&rig.port1, &SerialControl::portLost);
    QSignalSpy lost2(&rig.port2, &SerialControl::portLost);
    rig.tick();
    // Told once the tick is over, not in the middle of the relay.
    QCOMPARE(lost1.count() + lost2.count(), 0);
    rig.settle();
    QCOMPARE(lost1.count(), int(loseOne));
    QCOMPARE(lost2.count(), int(loseTwo));
    // Both directions in the relay's order; the write that found its device gone took nothing.
    QCOMPARE(rig.view1.log, QByteArray("\r\nCOM2: A\r\nCOM1: B\r\n"));
    QCOMPARE(rig.port1.written(), loseOne ? QByteArray() : QByteArray("A"));
    QCOMPARE(rig.port2.written(), loseTwo ? QByteArray() : QByteArray("B"));
    QCOMPARE(rig.view1.portLamp, loseOne ? kRed : kGreen);
    QCOMPARE(rig.view2.portLamp, loseTwo ? kRed : kGreen);
    rig.tick();
    rig.settle();
    QCOMPARE(lost1.count() + lost2.count(), int(loseOne) + int(loseTwo));
}

QTEST_MAIN(PollLoopTest)
#include "test_poll_loop.moc"
