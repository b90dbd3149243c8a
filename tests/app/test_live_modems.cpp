#include "DuplinkProcess.h"
#include "LiveWindow.h"
#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "terminal/LampColours.h"
#include "ui/Lamp.h"
#include "ui/LogView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kIdentity = QStringLiteral("   Duplink Simulated Modem 1.0    OK");

// The far end of a simulated cable, as a test talks on it.
struct FarEnd {
    explicit FarEnd(const QString& device)
        : fd(::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~FarEnd() { ::close(fd); }
    void write(const QByteArray& bytes) {
        QCOMPARE(::write(fd, bytes.data(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    QByteArray read() {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }
    int fd;
    QByteArray received;
};

} // namespace

// The real program and its real serial controls against the simulated modems, whose lines
// (DSR, CTS, DCD, RI) come through the pty modem-line library.
class LiveModemsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void bothFramesShowTheModemsIdentification();
    void aSlowModemIsNoModem();
    void runGetsOkAfterThePrefix();
    void aPickIdentifiesTheModemAgain();
    void dialAndAnswerRingThenCarry();
    void theTransmitSwitchRelaysTwoLines();
    void aModemThatGoesAndComesBackIsTakenUpAgain();
    void aBusyPortNamesItsHolder();

private:
    void start(const QStringList& simulatorOptions = {}, int lines = 2);
    QByteArray log(const char* name) const {
        return m_window->find<LogView>(QLatin1String(name))->bytes();
    }
    QString caption(const char* frame) const {
        return m_window->find<QGroupBox>(QLatin1String(frame))->title();
    }
    int lamp(const char* name) const {
        return m_window->find<Lamp>(QLatin1String(name))->fillColor();
    }
    // Types a command into a channel's command box and presses "Run".
    void run(int channel, const QString& command);

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

void LiveModemsTest::start(const QStringList& simulatorOptions, int lines) {
    m_simulator = std::make_unique<ModemSimulator>(simulatorOptions, lines);
    QVERIFY(m_simulator->isRunning());
    // With four lines, ports 1 and 2 are on lines 1 and 3.
    qputenv("DUPLINK_COM1", QFile::encodeName(m_simulator->link(1)));
    qputenv("DUPLINK_COM2", QFile::encodeName(m_simulator->link(lines == 4 ? 3 : 2)));
    m_window = std::make_unique<LiveWindow>();
    m_window->start();
}

void LiveModemsTest::run(int channel, const QString& command) {
    m_window->find<QLineEdit>(channel == 1 ? "Text4" : "Text7")->setText(command);
    m_window->find<QPushButton>(channel == 1 ? "Command3" : "Command6")->click();
}

void LiveModemsTest::bothFramesShowTheModemsIdentification() {
    start();
    QTRY_COMPARE(caption("Frame2"), QStringLiteral("Terminal 1: ") + kIdentity);
    QTRY_COMPARE(caption("Frame5"), QStringLiteral("Terminal 2: ") + kIdentity);
    // A modem that is ready holds DSR and CTS.
    QTRY_COMPARE(lamp("Shape2_3"), kGreen);
    QCOMPARE(lamp("Shape4_2"), kGreen);
    QCOMPARE(lamp("Shape2_4"), kOff);
}

void LiveModemsTest::aSlowModemIsNoModem() {
    // Line 1 says nothing at all; line 2 echoes at once but answers 400 ms later.
    start({"--mute", "1", "--delay", "2:400"});
    TerminalChannel& one = m_window->program->terminal().channel(0);
    TerminalChannel& two = m_window->program->terminal().channel(1);
    QTRY_VERIFY(one.ModemState == 2 && two.ModemState == 2);
    QCOMPARE(caption("Frame2"), QStringLiteral("Terminal 1: No Modem"));
    QCOMPARE(caption("Frame5"), QStringLiteral("Terminal 2: "));
    // The answer comes later, into the log.
    QTRY_COMPARE(log("Text6"), QByteArray("\r\nDuplink Simulated Modem 1.0\r\n\r\nOK\r\n"));
}

void LiveModemsTest::runGetsOkAfterThePrefix() {
    start();
    QTRY_COMPARE(caption("Frame2"), QStringLiteral("Terminal 1: ") + kIdentity);
    m_window->find<QCheckBox>("Check5")->click();
    m_window->find<QPushButton>("Command3")->click();
    QTRY_COMPARE(log("Text2"), QByteArray("\r\nPROG: AT\r\nCOM1: AT\r\r\nOK\r\n"));
    // Enter in the command box sends nothing.
    QTest::keyClick(m_window->find<QLineEdit>("Text4"), Qt::Key_Return);
    QTest::qWait(300);
    QCOMPARE(log("Text2").size(), 27);
}

void LiveModemsTest::aPickIdentifiesTheModemAgain() {
    start();
    QTRY_COMPARE(caption("Frame2"), QStringLiteral("Terminal 1: ") + kIdentity);
    TerminalChannel& ch = m_window->program->terminal().channel(0);
    QCOMPARE(ch.ModemState, qint16(2));
    auto* dataBits = m_window->find<QComboBox>("Combo1_3");
    dataBits->setFocus();
    QTest::keyClick(dataBits, Qt::Key_Up); // 8 to 7
    QCOMPARE(ch.ModemState, qint16(0));
    QTRY_COMPARE(ch.ModemState, qint16(2));
    // A pty keeps 8 data bits: the device refuses 7, and the port reopens as it was.
    QCOMPARE(m_window->messages, QStringList{"It is unacceptable"});
    QCOMPARE(caption("Frame2"), QStringLiteral("Terminal 1: ") + kIdentity);
    QCOMPARE(lamp("Shape1"), kGreen);
}

void LiveModemsTest::dialAndAnswerRingThenCarry() {
    start({"--ring-interval", "150"});
    QTRY_COMPARE(caption("Frame5"), QStringLiteral("Terminal 2: ") + kIdentity);
    run(1, QStringLiteral("ATD2"));
    // Three rings in a row light Terminal 2's RI lamp.
    QTRY_COMPARE_WITH_TIMEOUT(lamp("Shape4_5"), kGreen, 5000);
    QCOMPARE(lamp("Shape2_5"), kOff);
    QTRY_VERIFY(log("Text6").startsWith("\r\nRING\r\n\r\nRING\r\n\r\nRING\r\n"));
    run(2, QStringLiteral("ATA"));
    QTRY_COMPARE(lamp("Shape2_4"), kGreen);
    QTRY_COMPARE(lamp("Shape4_4"), kGreen);
    QTRY_VERIFY(log("Text2").endsWith("ATD2\r\r\nCONNECT 9600\r\n"));
    run(1, QStringLiteral("hello"));
    QTRY_VERIFY(log("Text6").endsWith("CONNECT 9600\r\nhello\r"));
    run(2, QStringLiteral("and back"));
    QTRY_VERIFY(log("Text2").endsWith("CONNECT 9600\r\nand back\r"));
}

void LiveModemsTest::theTransmitSwitchRelaysTwoLines() {
    // Lines 1-2 and 3-4 are cables: the test talks on lines 2 and 4 to ports 1 and 2.
    start({"--lines", "4", "--raw", "1", "--raw", "2", "--raw", "3", "--raw", "4"}, 4);
    FarEnd far1(m_simulator->device(2));
    FarEnd far2(m_simulator->device(4));
    TerminalChannel& two = m_window->program->terminal().channel(1);
    QTRY_COMPARE(two.ModemState, qint16(2));
    // Both ports asked their cables who they are.
    QTRY_COMPARE(far1.received += far1.read(), QByteArray("ATI3\r"));
    QTRY_COMPARE(far2.received += far2.read(), QByteArray("ATI3\r"));
    far1.received.clear();
    far2.received.clear();
    m_window->find<QPushButton>("Command5")->click();
    far2.write("to port 2\r");
    QTRY_COMPARE(far1.received += far1.read(), QByteArray("to port 2\r"));
    far1.write("to port 1");
    QTRY_COMPARE(far2.received += far2.read(), QByteArray("to port 1"));
    QTRY_COMPARE(log("Text2"), QByteArray("\r\nCOM2: to port 2\r\r\nCOM1: to port 1\r\n"));
    QCOMPARE(log("Text6"), QByteArray("to port 2\r"));

    m_window->find<QPushButton>("Command2")->click();
    far2.write("normal");
    QTRY_COMPARE(log("Text6"), QByteArray("to port 2\rnormal"));
    QTest::qWait(200);
    QCOMPARE(far1.read(), QByteArray());
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
    m_simulator = std::make_unique<ModemSimulator>(QStringList(), 2, links.path());
    qputenv("DUPLINK_COM1", QFile::encodeName(m_simulator->link(1)));
    qputenv("DUPLINK_COM2", QFile::encodeName(m_simulator->link(2)));
    m_window = std::make_unique<LiveWindow>();
    m_window->start();
    QTRY_COMPARE(caption("Frame2"), QStringLiteral("Terminal 1: ") + kIdentity);
    const int filesBefore = openFiles();
    for (int cycle = 0; cycle < 10; ++cycle) {
        // What came just before the loss stays in the log.
        run(1, QStringLiteral("AT"));
        QTRY_VERIFY(log("Text2").endsWith("AT\r\r\nOK\r\n"));
        QElapsedTimer clock;
        clock.start();
        m_simulator.reset();
        QTRY_COMPARE_WITH_TIMEOUT(lamp("Shape1"), kRed, 1000);
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE(caption("Frame2"), QStringLiteral("Terminal 1: No Modem"));

        m_simulator = std::make_unique<ModemSimulator>(QStringList(), 2, links.path());
        clock.restart();
        QTRY_COMPARE_WITH_TIMEOUT(lamp("Shape1"), kGreen, 2000);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE(caption("Frame2"), QStringLiteral("Terminal 1: ") + kIdentity);
        QTRY_COMPARE(lamp("Shape3"), kGreen);
    }
    QCOMPARE(openFiles(), filesBefore);
}

void LiveModemsTest::aBusyPortNamesItsHolder() {
    DuplinkProcess holder;
    QVERIFY(holder.start());
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

QTEST_MAIN(LiveModemsTest)
#include "test_live_modems.moc"
