#include "DuplinkProcess.h"
#include "LiveWindow.h"
#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "PtyPair.h"
#include "Ser2NetServer.h"
#include "terminal/LampColours.h"
#include "ui/Lamp.h"
#include "ui/LogView.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The real program on ports behind a real ser2net: only what the network control's own test
// cannot show.
class LiveNetworkTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aModemBehindRfc2217();
    void relayingBetweenALocalAndANetworkPort();
    void theProgramItselfOnAnRfc2217Port();

private:
    void startWindow(const QString& port1, const QString& port2);

    std::unique_ptr<PtyModemLines> m_lines;
    std::unique_ptr<ModemSimulator> m_modem;
    std::unique_ptr<Ser2NetServer> m_server;
    std::unique_ptr<LiveWindow> m_window;
};

void LiveNetworkTest::init() {
    if (!Ser2NetServer::installed())
        QSKIP("ser2net is not installed");
    m_lines = std::make_unique<PtyModemLines>();
    m_modem = std::make_unique<ModemSimulator>(QStringList{}, 1);
    QVERIFY(m_modem->isRunning());
    m_lines->reset(PtyModemLines::indexOfSlave(m_modem->device(1).toStdString()));
    m_server = std::make_unique<Ser2NetServer>(QString::fromStdString(m_lines->stateFile()));
}

void LiveNetworkTest::cleanup() {
    m_window.reset();
    m_server.reset();
    m_modem.reset();
}

void LiveNetworkTest::startWindow(const QString& port1, const QString& port2) {
    qputenv("DUPLINK_COM1", port1.toLocal8Bit());
    qputenv("DUPLINK_COM2", port2.toLocal8Bit());
    m_window = std::make_unique<LiveWindow>();
    QElapsedTimer clock;
    clock.start();
    m_window->start();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
}

void LiveNetworkTest::aModemBehindRfc2217() {
    const quint16 tcp = m_server->serve(m_modem->device(1), true);
    QVERIFY(m_server->start());
    PtyPair local;
    startWindow(QStringLiteral("rfc2217://127.0.0.1:%1").arg(tcp), local.slavePath());
    QTRY_COMPARE_WITH_TIMEOUT(m_window->caption(0), ModemSimulator::identifiedCaption(1), 5000);
    m_window->find<QCheckBox>("Check5")->click();
    m_window->find<QPushButton>("Command3")->click();
    QTRY_COMPARE(m_window->log(0)->bytes(), QByteArray("\r\nPROG: AT\r\nCOM1: AT\r\r\nOK\r\n"));
}

void LiveNetworkTest::relayingBetweenALocalAndANetworkPort() {
    PtyPair far;
    PtyPair local;
    const quint16 tcp = m_server->serve(far.slavePath(), false);
    QVERIFY(m_server->start());
    startWindow(QStringLiteral("tcp://127.0.0.1:%1").arg(tcp), local.slavePath());
    QTRY_COMPARE(m_window->lamp("Shape1"), kGreen);
    QTRY_COMPARE(m_window->channel(1).ModemState, qint16(2));
    QCOMPARE(far.read(5), QByteArray("ATI3\r"));
    QCOMPARE(local.read(5), QByteArray("ATI3\r"));
    m_window->find<QPushButton>("Command5")->click();

    // The network port's far end and the local pty talk to each other through the relay.
    const QByteArray data[2] = {randomBytes(1 << 20, 24), randomBytes(1 << 20, 25)};
    const auto out = crossTraffic(far, local, data[0], data[1]);
    QVERIFY(out[0] == data[0]);
    QVERIFY(out[1] == data[1]);
}

// The duplink executable as a user starts it: it identifies the modem through ser2net, its DTR
// reaches the far line, and it connects and asks again when the server comes back.
void LiveNetworkTest::theProgramItselfOnAnRfc2217Port() {
    PtyPair far;
    const quint16 tcp = m_server->serve(far.slavePath(), true);
    QVERIFY(m_server->start());
    DuplinkProcess duplink;
    duplink.setPortDevice(1, QStringLiteral("rfc2217://127.0.0.1:%1").arg(tcp));
    QVERIFY(duplink.start());
    QCOMPARE(far.read(5, 10000), QByteArray("ATI3\r"));
    const int pty = PtyModemLines::indexOfSlave(far.slavePath().toStdString());
    QTRY_VERIFY_WITH_TIMEOUT(m_lines->outputs(pty).dtr, 3000);

    m_server->stop();
    QVERIFY(m_server->start());
    QCOMPARE(far.read(5, 10000), QByteArray("ATI3\r"));
    QCOMPARE(duplink.terminate(), 0);
}

QTEST_MAIN(LiveNetworkTest)
#include "test_live_network.moc"
