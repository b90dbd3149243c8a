#include "DuplinkProcess.h"
#include "LiveWindow.h"
#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "terminal/LampColours.h"
#include "ui/Lamp.h"
#include "ui/LogView.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The real program and its real serial controls against the simulated modems, whose lines
// (DSR, CTS, DCD, RI) come through the pty modem-line library.
class LiveModemsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aSlowModemIsNoModem();
    void aModemThatGoesAndComesBackIsTakenUpAgain();
    void aBusyPortNamesItsHolder();
    void aPickIdentifiesAgainAndAScriptDialsFromTheLogsMenu();

private:
    // The links go into `linkFolder` when given.
    void start(const QStringList& simulatorOptions = {}, const QString& linkFolder = {});

    QTemporaryDir m_state;
    std::unique_ptr<ModemSimulator> m_simulator;
    std::unique_ptr<LiveWindow> m_window;
};

void LiveModemsTest::init() {
    if (!qgetenv("LD_PRELOAD").contains("ptymodemlines"))
        QSKIP("needs the pty modem-line library preloaded (ctest does it)");
    qputenv(PtyModemLines::kStateFileVariable, QFile::encodeName(m_state.filePath("lines")));
}

void LiveModemsTest::cleanup() {
    m_window.reset();
    m_simulator.reset();
}

void LiveModemsTest::start(const QStringList& simulatorOptions, const QString& linkFolder) {
    m_simulator = std::make_unique<ModemSimulator>(simulatorOptions, 2, linkFolder);
    QVERIFY(m_simulator->isRunning());
    qputenv("DUPLINK_COM1", QFile::encodeName(m_simulator->link(1)));
    qputenv("DUPLINK_COM2", QFile::encodeName(m_simulator->link(2)));
    m_window = std::make_unique<LiveWindow>();
    m_window->start();
}

void LiveModemsTest::aSlowModemIsNoModem() {
    // Line 1 says nothing at all; line 2 echoes at once but answers 400 ms later.
    start({"--mute", "1", "--delay", "2:400"});
    QTRY_VERIFY(m_window->channel(0).ModemState == 2 && m_window->channel(1).ModemState == 2);
    QCOMPARE(m_window->caption(0), QStringLiteral("Terminal 1: No Modem"));
    QCOMPARE(m_window->caption(1), QStringLiteral("Terminal 2: "));
    // The answer comes later, into the log.
    QTRY_COMPARE(m_window->log(1)->bytes(),
                 QByteArray("\r\nDuplink Simulated Modem 1.0\r\n\r\nOK\r\n"));
}

namespace {

int openFiles() {
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::System | QDir::NoDotAndDotDot)
        .size();
}

} // namespace

void LiveModemsTest::aModemThatGoesAndComesBackIsTakenUpAgain() {
    QTemporaryDir links;
    start({}, links.path());
    QTRY_COMPARE(m_window->caption(0), ModemSimulator::identifiedCaption(1));
    const int filesBefore = openFiles();
    for (int cycle = 0; cycle < 10; ++cycle) {
        // What came just before the loss stays in the log.
        m_window->run(0, QStringLiteral("AT"));
        QTRY_VERIFY(m_window->log(0)->bytes().endsWith("AT\r\r\nOK\r\n"));
        m_simulator.reset();
        // Noticed when the device goes, not by a later poll; timed from the moment it has gone.
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->lamp("Shape1"), kRed, 1000);
        QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE(m_window->caption(0), QStringLiteral("Terminal 1: No Modem"));

        m_simulator = std::make_unique<ModemSimulator>(QStringList(), 2, links.path());
        clock.restart();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->lamp("Shape1"), kGreen, 2000);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE(m_window->caption(0), ModemSimulator::identifiedCaption(1));
        QTRY_COMPARE(m_window->lamp("Shape3"), kGreen);
    }
    QCOMPARE(openFiles(), filesBefore);
}

void LiveModemsTest::aBusyPortNamesItsHolder() {
    DuplinkProcess holder;
    QVERIFY(holder.start());
    QVERIFY(holder.waitUntilHolding(holder.simulator().device(1)));
    // Start-up lets the port go and takes it again 100 ms later, when it applies the fields.
    QTest::qWait(500);
    QVERIFY(holder.waitUntilHolding(holder.simulator().device(1)));
    qputenv("DUPLINK_COM1", QFile::encodeName(holder.simulator().link(1)));
    qputenv("DUPLINK_COM2", "/dev/duplink-no-such-device");
    m_window = std::make_unique<LiveWindow>();
    m_window->start();
    QCOMPARE(m_window->messages.size(), 1);
    QCOMPARE(m_window->messages[0], QStringLiteral("COM1 (%1): in use by duplink (pid %2)")
                                        .arg(holder.simulator().link(1))
                                        .arg(holder.pid()));
}

void LiveModemsTest::aPickIdentifiesAgainAndAScriptDialsFromTheLogsMenu() {
    start();
    QTRY_COMPARE(m_window->caption(0), ModemSimulator::identifiedCaption(1));
    TerminalChannel& ch = m_window->channel(0);
    QCOMPARE(ch.ModemState, qint16(2));
    auto* dataBits = m_window->find<QComboBox>("Combo1_3");
    dataBits->setFocus();
    QTest::keyClick(dataBits, Qt::Key_Up); // 8 to 7
    QCOMPARE(ch.ModemState, qint16(0));
    QTRY_COMPARE(ch.ModemState, qint16(2));
    // A pty keeps 8 data bits: the device refuses 7, and the port reopens as it was.
    QCOMPARE(m_window->messages, QStringList{"It is unacceptable"});
    QCOMPARE(m_window->caption(0), ModemSimulator::identifiedCaption(1));
    QCOMPARE(m_window->lamp("Shape1"), kGreen);

    QTRY_VERIFY(m_window->channel(1).ModemState == 2);
    // Line 2 answers at the first ring.
    m_window->run(1, QStringLiteral("ATS0=1"));
    QTRY_VERIFY(m_window->log(1)->bytes().endsWith("OK\r\n"));
    QTemporaryDir folder;
    QFile script(folder.filePath(QStringLiteral("dial.chat")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("ABORT BUSY '' ATZ OK ATD2 CONNECT\n");
    script.close();
    m_window->openFileAnswer = script.fileName();
    QAction* runScript = nullptr;
    QAction* stopScript = nullptr;
    for (QAction* a : m_window->log(0)->actions()) {
        runScript = a->objectName() == "runScript" ? a : runScript;
        stopScript = a->objectName() == "stopScript" ? a : stopScript;
    }
    QVERIFY(runScript && stopScript && !stopScript->isVisible());
    runScript->trigger();
    // While it runs the log's menu offers to stop it instead.
    QVERIFY(stopScript->isVisible() && !runScript->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->log(0)->bytes().contains("\r\nPROG: dial.chat ended: "),
                             10000);
    const QByteArray log = m_window->log(0)->bytes();
    QVERIFY2(log.contains("CONNECT") && log.endsWith("\r\nPROG: dial.chat ended: 0\r\n"),
             log.constData());
    QCOMPARE(m_window->messages.size(), 1);
    QVERIFY(!stopScript->isVisible() && runScript->isEnabled());
    QTRY_VERIFY(m_window->log(1)->bytes().contains("CONNECT 9600"));
}

QTEST_MAIN(LiveModemsTest)
#include "test_live_modems.moc"
