#include "TerminalRig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A chat script run on a channel from the window, on fake ports and the hand-moved clock.
class ChannelScriptTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void aScriptTalksThroughTheLogAndHoldsRun();
    void aScriptRefusedOrEndedSendsNothingMore();

private:
    // A script file of that text, offered by the next open-file chooser.
    QString offer(const QByteArray& text, const QString& name = QStringLiteral("dial.chat"));

    QTemporaryDir m_folder;
    std::unique_ptr<TerminalRig> m_rig;
};

void ChannelScriptTest::init() {
    m_rig = std::make_unique<TerminalRig>();
    m_rig->openBoth();
    m_rig->skipIdentification();
}

QString ChannelScriptTest::offer(const QByteArray& text, const QString& name) {
    QFile file(m_folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write the script");
    return m_rig->openFileAnswer = file.fileName();
}

void ChannelScriptTest::aScriptTalksThroughTheLogAndHoldsRun() {
    TerminalRig& rig = *m_rig;
    rig.view1.showCommand = true;
    offer("SAY 'dialling\\n'\nABORT BUSY REPORT CONNECT\n'' AT&FE1V1Q0 OK ATD2 CONNECT\n");
    emit rig.view1.runScriptChosen(); // at 100 ms; a byte every 10 ms from then
    QCOMPARE(rig.openFileTitles, QStringList("Run a script on Terminal 1"));
    QVERIFY(rig.view1.scriptRunning);

    // The modem echoes a reply while it is typed and a tick comes in between: its echo waits
    // for the reply's own.
    rig.clock.advanceBy(95);
    QCOMPARE(rig.port1.written(), QByteArray("AT&FE1V1Q"));
    rig.port1.receive("AT&FE1V1Q");
    rig.clock.advanceBy(20);
    QCOMPARE(rig.view1.log,
             QByteArray("\r\nPROG: dialling\r\n\r\nPROG: AT&FE1V1Q0\r\nCOM1: AT&FE1V1Q"));

    // "Run" while the script runs is echoed and waits until the script has ended.
    rig.port1.receive("0\r\r\nOK\r\n");
    rig.clock.advanceTo(300);
    emit rig.view1.runClicked();
    rig.clock.advanceBy(100);
    QCOMPARE(rig.port1.written(), QByteArray("AT&FE1V1Q0\rATD2\r"));
    rig.port1.receive("ATD2\r\r\nCONNECT 9600\r\n");
    rig.tick();
    QCOMPARE(rig.view1.log,
             QByteArray("\r\nPROG: dialling\r\n\r\nPROG: AT&FE1V1Q0\r\nCOM1: AT&FE1V1Q"
                        "0\r\r\nOK\r\n\r\nPROG: AT\r\nCOM1: "
                        "\r\nPROG: ATD2\r\nCOM1: ATD2\r\r\nCONNECT 9600\r\n"
                        "\r\nPROG: CONNECT 9600\r\n"
                        "\r\nPROG: dial.chat ended: 0\r\n"));
    QCOMPARE(rig.port1.written(), QByteArray("AT&FE1V1Q0\rATD2\rAT\r"));
    QVERIFY(!rig.view1.scriptRunning);
    QVERIFY(rig.messages.isEmpty());

    // An ABORT string ends it with its number; Terminal 2 runs its own script, no echo shown.
    offer("ABORT 'NO CARRIER' ABORT BUSY '' ATD1 CONNECT", QStringLiteral("busy.chat"));
    emit rig.view2.runScriptChosen();
    rig.port2.receive("BUSY\r\n");
    rig.tick();
    QCOMPARE(rig.port2.written(), QByteArray("ATD1\r"));
    QCOMPARE(rig.view2.log, QByteArray("BUSY\r\n\r\nPROG: busy.chat ended: 5, Failed (BUSY)\r\n"));
}

void ChannelScriptTest::aScriptRefusedOrEndedSendsNothingMore() {
    TerminalRig& rig = *m_rig;
    const QString good = offer("'' ATZ OK");
    rig.terminal->Command5_Click();
    emit rig.view1.runScriptChosen();
    rig.terminal->Command2_Click();
    rig.port1.setPortOpen(false);
    emit rig.view1.runScriptChosen();
    rig.port1.setPortOpen(true);
    const QString missing = m_folder.filePath("missing.chat");
    rig.openFileAnswer = missing;
    emit rig.view1.runScriptChosen();
    const QString unbalanced = offer("'' 'ATZ OK", QStringLiteral("quote.chat"));
    emit rig.view1.runScriptChosen();
    rig.openFileAnswer.clear(); // cancelled
    emit rig.view1.runScriptChosen();
    QCOMPARE(rig.openFileTitles.size(), 3);
    rig.clock.advanceBy(1000);
    QVERIFY(rig.port1.written().isEmpty() && rig.view1.log.isEmpty());
    QCOMPARE(rig.messages.size(), 4);
    QCOMPARE(rig.messages[0], "Duplink v.2.0 | A script does not run in transmit mode.");
    QCOMPARE(rig.messages[1], "Duplink v.2.0 | COM1 is closed: a script runs on an open port.");
    QVERIFY2(rig.messages[2].contains("The script " + missing + " could not be read: "),
             qPrintable(rig.messages[2]));
    QCOMPARE(rig.messages[3], "Duplink v.2.0 | The script " + unbalanced +
                                  " is refused: unterminated quote (line 1)");

    // One script at a time on a channel.
    rig.openFileAnswer = good;
    emit rig.view1.runScriptChosen();
    emit rig.view1.runScriptChosen();
    QCOMPARE(rig.messages.last(), "Duplink v.2.0 | A script is running on Terminal 1 already.");
    emit rig.view1.stopScriptChosen();

    // Stopped, or its port gone or taken, a script ends with 2 and sends nothing more.
    offer("'' ATZ OK ATD2 CONNECT");
    const QList<std::pair<std::function<void()>, QByteArray>> endings = {
        {[&] { emit rig.view1.stopScriptChosen(); }, "stopped"},
        {[&] { rig.terminal->Command5_Click(); }, "stopped"},
        {[&] { rig.view1.pick(FieldSpeed, "19200"); }, "port closed"},
        {[&] {
             rig.port1.loseDevice();
             rig.settle();
         },
         "COM1 (fake): the device went away"},
    };
    for (const auto& [end, reason] : endings) {
        rig.terminal->Command2_Click();
        rig.view1.log.clear();
        const QByteArray before = rig.port1.written();
        emit rig.view1.runScriptChosen();
        rig.clock.advanceBy(25);
        end();
        rig.skipIdentification(); // of the port a pick opens again
        QCOMPARE(rig.view1.log, "\r\nPROG: dial.chat ended: 2, " + reason + "\r\n");
        QVERIFY(!rig.view1.scriptRunning);
        // Nothing more is sent, and what comes is only logged.
        rig.port1.receive("OK\r\n");
        rig.clock.advanceBy(1000);
        QCOMPARE(rig.port1.written(), before + "AT");
    }
}

QTEST_MAIN(ChannelScriptTest)
#include "test_channel_script.moc"
