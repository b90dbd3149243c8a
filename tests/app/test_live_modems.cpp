#include "LiveWindow.h"
#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "terminal/LampColours.h"
#include "ui/Lamp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kIdentity = QStringLiteral("   Duplink Simulated Modem 1.0    OK");

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
    void aPickIdentifiesTheModemAgain();
    void dialAndAnswerRingThenCarry();

private:
    void start(const QStringList& simulatorOptions = {});
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

void LiveModemsTest::start(const QStringList& simulatorOptions) {
    m_simulator = std::make_unique<ModemSimulator>(simulatorOptions);
    QVERIFY(m_simulator->isRunning());
    qputenv("DUPLINK_COM1", QFile::encodeName(m_simulator->link(1)));
    qputenv("DUPLINK_COM2", QFile::encodeName(m_simulator->link(2)));
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
    start({"--delay", "1:400"});
    QTRY_COMPARE(caption("Frame2"), QStringLiteral("Terminal 1: No Modem"));
    QTRY_COMPARE(caption("Frame5"), QStringLiteral("Terminal 2: ") + kIdentity);
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
    run(2, QStringLiteral("ATA"));
    QTRY_COMPARE(lamp("Shape2_4"), kGreen);
    QTRY_COMPARE(lamp("Shape4_4"), kGreen);
}

QTEST_MAIN(LiveModemsTest)
#include "test_live_modems.moc"
