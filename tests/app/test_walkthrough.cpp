#include "LiveWindow.h"
#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "terminal/LampColours.h"
#include "terminal/TerminalChannel.h"
#include "ui/Lamp.h"
#include "ui/LogView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The simulator's options as tools/demo.sh gives them.
QStringList demoSimulatorOptions() {
    QFile file(QStringLiteral(DEMO_SIMULATOR_OPTIONS));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll())
        .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace

// The README's walkthrough "Trying it on the simulated modems", step by step on the whole
// program, against the simulator started as tools/demo.sh starts it: ports 1 to 3 on its lines
// 1 to 3. Each step goes on from where the one before left the window.
class WalkthroughTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void theModemsAreReady();
    void step1RunSendsAt();
    void step2DialRingsTerminal2();
    void step3AnswerConnects();
    void step4EscapeAndHangUp();
    void step5Terminal2OnTheDevice();
    void step6TheRelayCarriesBothWays();

private:
    QByteArray log(int channel) const { return m_window->log(channel)->bytes(); }
    void click(const char* name) { m_window->find<QAbstractButton>(QLatin1String(name))->click(); }

    QTemporaryDir m_state;
    std::unique_ptr<ModemSimulator> m_simulator;
    std::unique_ptr<LiveWindow> m_window;
};

void WalkthroughTest::initTestCase() {
    if (!qgetenv("LD_PRELOAD").contains("ptymodemlines"))
        QSKIP("needs the pty modem-line library preloaded (ctest does it)");
    qputenv(PtyModemLines::kStateFileVariable, QFile::encodeName(m_state.filePath("lines")));
    const QStringList options = demoSimulatorOptions();
    QVERIFY(!options.isEmpty());
    m_simulator = std::make_unique<ModemSimulator>(options, 3);
    QVERIFY(m_simulator->isRunning());
    for (int port = 1; port <= 3; ++port)
        qputenv(qPrintable(QStringLiteral("DUPLINK_COM%1").arg(port)),
                QFile::encodeName(m_simulator->link(port)));
    m_window = std::make_unique<LiveWindow>();
    m_window->start();
}

void WalkthroughTest::cleanupTestCase() {
    m_window.reset();
    m_simulator.reset();
}

void WalkthroughTest::theModemsAreReady() {
    QTRY_COMPARE(m_window->caption(0), ModemSimulator::identifiedCaption(1));
    QTRY_COMPARE(m_window->caption(1), ModemSimulator::identifiedCaption(2));
    for (const char* dsrOrCts : {"Shape2_2", "Shape2_3", "Shape4_2", "Shape4_3"})
        QTRY_COMPARE(m_window->lamp(dsrOrCts), kGreen);
    QCOMPARE(m_window->lamp("Shape2_4"), kOff);
}

void WalkthroughTest::step1RunSendsAt() {
    click("Check5");
    click("Command3");
    QTRY_COMPARE(log(0), QByteArray("\r\nPROG: AT\r\nCOM1: AT\r\r\nOK\r\n"));
    // Enter in the command box sends nothing: "Run" does.
    QTest::keyClick(m_window->find<QLineEdit>("Text4"), Qt::Key_Return);
    QTest::qWait(300);
    QCOMPARE(log(0).size(), 27);
}

void WalkthroughTest::step2DialRingsTerminal2() {
    m_window->run(0, QStringLiteral("ATD2"));
    QTRY_COMPARE(log(1), QByteArray("\r\nRING\r\n"));
    QElapsedTimer ringing;
    ringing.start();
    QCOMPARE(m_window->lamp("Shape4_5"), kOff);
    QTRY_COMPARE(log(1), QByteArray("\r\nRING\r\n\r\nRING\r\n"));
    QCOMPARE(m_window->lamp("Shape4_5"), kOff);
    QTRY_COMPARE(m_window->lamp("Shape4_5"), kGreen);
    QVERIFY2(ringing.elapsed() > 1500, qPrintable(QString::number(ringing.elapsed())));
    QTRY_COMPARE(log(1), QByteArray("\r\nRING\r\n\r\nRING\r\n\r\nRING\r\n"));
    QCOMPARE(m_window->lamp("Shape2_5"), kOff);
}

void WalkthroughTest::step3AnswerConnects() {
    m_window->run(1, QStringLiteral("ATA"));
    QTRY_VERIFY(log(0).endsWith("\r\nPROG: ATD2\r\nCOM1: ATD2\r\r\nCONNECT 9600\r\n"));
    QTRY_VERIFY(log(1).endsWith("RING\r\nATA\r\r\nCONNECT 9600\r\n"));
    QTRY_COMPARE(m_window->lamp("Shape2_4"), kGreen);
    QTRY_COMPARE(m_window->lamp("Shape4_4"), kGreen);
    m_window->run(0, QStringLiteral("hello"));
    QTRY_VERIFY(log(1).endsWith("CONNECT 9600\r\nhello\r"));
    m_window->run(1, QStringLiteral("and back"));
    QTRY_VERIFY(log(0).endsWith("\r\nPROG: hello\r\nCOM1: and back\r"));
}

void WalkthroughTest::step4EscapeAndHangUp() {
    click("Check3");
    QTest::qWait(1100);
    m_window->run(0, QStringLiteral("+++"));
    QTest::qWait(500);
    QVERIFY(log(0).endsWith("\r\nPROG: +++\r\nCOM1: "));
    QTRY_VERIFY(log(0).endsWith("\r\nPROG: +++\r\nCOM1: \r\nOK\r\n"));
    QCOMPARE(m_window->lamp("Shape2_4"), kGreen); // still in the call
    click("Check3");
    m_window->run(0, QStringLiteral("ATH"));
    QTRY_VERIFY(log(0).endsWith("\r\nPROG: ATH\r\nCOM1: ATH\r\r\nOK\r\n"));
    QTRY_VERIFY(log(1).endsWith("hello\r+++\r\nNO CARRIER\r\n"));
    QTRY_COMPARE(m_window->lamp("Shape2_4"), kOff);
    QTRY_COMPARE(m_window->lamp("Shape4_4"), kOff);
}

void WalkthroughTest::step5Terminal2OnTheDevice() {
    auto* port = m_window->find<QComboBox>("Combo2_0");
    port->setFocus();
    QTest::keyClick(port, Qt::Key_Down); // 2 to 3
    QCOMPARE(port->currentText(), QStringLiteral("3"));
    QTRY_COMPARE(m_window->find<QLabel>("Label7")->text(),
                 QStringLiteral("COM3 9600,n,8,1 comNone"));
    QTRY_COMPARE(m_window->channel(1).ModemState, qint16(2));
    QCOMPARE(m_window->caption(1), QStringLiteral("Terminal 2: No Modem"));
    const QByteArray before = log(1);
    QTRY_COMPARE_WITH_TIMEOUT(log(1), before + "AT\r", 4000);
    QTRY_COMPARE_WITH_TIMEOUT(log(1), before + "AT\rAT\r", 4000);
}

void WalkthroughTest::step6TheRelayCarriesBothWays() {
    const QByteArray before = log(0);
    click("Command5");
    QVERIFY(m_window->find<QLabel>("Label4")->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(log(0), before + "\r\nCOM3: AT\r\r\nCOM1: AT\r\r\nOK\r\n\r\n", 4000);
    QVERIFY(log(1).endsWith("AT\rAT\rAT\r"));
    // A command waits while the relay is on, and goes out once the green arrow switches it off.
    m_window->run(0, QStringLiteral("AT"));
    QTest::qWait(300);
    QCOMPARE(m_window->channel(0).SendPending, qint16(1));
    click("Command2");
    QVERIFY(!m_window->find<QLabel>("Label4")->isVisible());
    QTRY_VERIFY(log(0).endsWith("\r\nPROG: AT\r\nCOM1: AT\r\r\nOK\r\n"));
}

QTEST_MAIN(WalkthroughTest)
#include "test_walkthrough.moc"
