#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "PtyPair.h"
#include "Ser2NetServer.h"
#include "serial/NetworkSerialControl.h"
#include "serial/SerialError.h"
#include "serial/network/GensioLoop.h"
#include "serial/network/RemoteAnswers.h"
#include "serial/network/RemoteLink.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gensio/gensio.h>
#include <gensio/sergensio.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qint16 kModemPort = 3; // RFC 2217 to a simulated modem
constexpr qint16 kRawPort = 4;   // raw TCP to a pty the test plays
constexpr qint16 kOtherPort = 5;
// What a call may take: the control's wait and a little for the machine.
constexpr int kCallMs = NetworkSerialControl::kWaitMs + 60;
// ser2net looks at the modem lines once a second.
constexpr int kLinesMs = 3000;

void pointPortAt(qint16 port, const QString& device) {
    qputenv("DUPLINK_COM" + QByteArray::number(port), device.toLocal8Bit());
}

// A socket listening on 127.0.0.1 that accepts nothing: callers wait in its queue, and once
// that is full further ones are never answered.
class Listener {
public:
    explicit Listener(quint16 port = 0, int queue = 8) {
        sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(m_fd, queue) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(m_fd); }
    quint16 port() const { return m_port; }
    bool hasCaller() const {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

private:
    int m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    quint16 m_port = 0;
};

quint16 freePort() {
    return Listener().port();
}

bool eventually(const std::function<bool()>& reached, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!reached() && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return reached();
}

// On a busy machine the network can take longer than a call waits, and the control finishes
// the job later; what a call does with an answer in time is looked at over a few tries.
bool withinAFewTries(const std::function<bool()>& attempt) {
    return attempt() || attempt() || attempt();
}

qint64 msToOpen(SerialControl& control) {
    QElapsedTimer clock;
    clock.start();
    control.setPortOpen(true);
    return clock.elapsed();
}

bool opens(SerialControl& control) {
    control.setPortOpen(true);
    return eventually([&] { return control.PortOpen(); });
}

QByteArray readUntil(SerialControl& control, const QByteArray& wanted) {
    QByteArray got;
    eventually([&] { return (got += control.readBytes()).contains(wanted); });
    return got;
}

termios farTermios(const QString& device) {
    termios t{};
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::tcgetattr(fd, &t);
    ::close(fd);
    return t;
}

speed_t farSpeed(const QString& device) {
    const termios t = farTermios(device);
    return cfgetospeed(&t);
}

// An RFC 2217 server whose line takes neither parity nor inbound flow control: each request is
// answered with the value asked for, but those, answered "none".
class StubbornServer {
public:
    StubbornServer() {
        m_loop.post([this] {
            const QByteArray address =
                "telnet(rfc2217),tcp,127.0.0.1," + QByteArray::number(m_port);
            str_to_gensio_accepter(address.constData(), m_loop.os(), onAccept, this, &m_accepter);
            gensio_acc_startup(m_accepter);
        });
    }
    // The connections go first: gensio frees what they share with the accepter with it.
    ~StubbornServer() {
        m_loop.post([this] {
            m_loop.hold();
            m_closing = 1;
            for (gensio* io : m_ios) {
                if (gensio_close(io, onClosed, this) == 0)
                    ++m_closing;
                else
                    gensio_free(io);
            }
            closed();
        });
    }
    quint16 port() const { return m_port; }
    unsigned modemStateMask() const { return m_mask; }

private:
    static int onAccept(gensio_accepter*, void* self, int event, void* data) {
        if (event != GENSIO_ACC_EVENT_NEW_CONNECTION)
            return GE_NOTSUP;
        auto* io = static_cast<gensio*>(data);
        static_cast<StubbornServer*>(self)->m_ios.push_back(io);
        gensio_set_callback(io, onEvent, self);
        gensio_set_read_callback_enable(io, true);
        return 0;
    }
    static int onEvent(gensio* io, void* self, int event, int, unsigned char* buf, gensiods*,
                       const char* const*) {
        using Answer = int (*)(sergensio*, unsigned, sergensio_done, void*);
        const std::pair<int, Answer> answers[] = {
            {GENSIO_EVENT_SER_BAUD, sergensio_baud},
            {GENSIO_EVENT_SER_DATASIZE, sergensio_datasize},
            {GENSIO_EVENT_SER_PARITY, sergensio_parity},
            {GENSIO_EVENT_SER_STOPBITS, sergensio_stopbits},
            {GENSIO_EVENT_SER_FLOWCONTROL, sergensio_flowcontrol},
            {GENSIO_EVENT_SER_IFLOWCONTROL, sergensio_iflowcontrol},
            {GENSIO_EVENT_SER_DTR, sergensio_dtr},
            {GENSIO_EVENT_SER_RTS, sergensio_rts}};
        const unsigned asked = buf ? *reinterpret_cast<unsigned*>(buf) : 0;
        for (const auto& [kind, answer] : answers) {
            if (event == kind)
                return answer(gensio_to_sergensio(io),
                              kind == GENSIO_EVENT_SER_PARITY         ? SERGENSIO_PARITY_NONE
                              : kind == GENSIO_EVENT_SER_IFLOWCONTROL ? SERGENSIO_FLOWCONTROL_NONE
                                                                      : asked,
                              nullptr, nullptr);
        }
        if (event == GENSIO_EVENT_SER_MODEMSTATE)
            static_cast<StubbornServer*>(self)->m_mask = asked;
        return event == GENSIO_EVENT_READ || event == GENSIO_EVENT_SER_MODEMSTATE ? 0 : GE_NOTSUP;
    }
    void closed() {
        if (--m_closing == 0)
            gensio_acc_shutdown(m_accepter, onShutDown, this);
    }
    static void onShutDown(gensio_accepter* accepter, void* self) {
        // gensio 2.6 frees an RFC 2217 accepter's serial part twice: one that is shut down
        // holds no socket, and is kept.
        static auto& kept = *new std::vector<gensio_accepter*>;
        kept.push_back(accepter);
        static_cast<StubbornServer*>(self)->m_loop.release();
    }
    static void onClosed(gensio* io, void* self) {
        gensio_free(io);
        static_cast<StubbornServer*>(self)->closed();
    }

    const quint16 m_port = freePort();
    gensio_accepter* m_accepter = nullptr;
    std::vector<gensio*> m_ios;
    int m_closing = 0;
    std::atomic<unsigned> m_mask{0};
    GensioLoop m_loop;
};

} // namespace

class NetworkPortTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void modemAnswersWithinTheWait();
    void rawTcpCarriesEveryByteAndLosesNone();
    void settingsReachTheFarLine();
    void refusedSettingsKeepTheOld();
    void parityReachesTheFarLine_data();
    void parityReachesTheFarLine();
    void modemLinesBothWays();
    void serverGoingAwayAndComingBack();
    void addressesThatFailNeverBlock();
    void keepsTryingUntilClosed();

private:
    QTemporaryDir m_folder;
    std::unique_ptr<ModemSimulator> m_modem;
    PtyPair m_raw;
    PtyModemLines m_lines;
    std::unique_ptr<Ser2NetServer> m_server;
    quint16 m_modemTcp = 0;
    quint16 m_rawTcp = 0;
};

void NetworkPortTest::initTestCase() {
    if (!Ser2NetServer::installed())
        QSKIP("ser2net is not installed");
    m_modem = std::make_unique<ModemSimulator>(QStringList{}, 1);
    QVERIFY(m_modem->isRunning() && m_raw.isValid() && m_lines.isValid());
    QVERIFY(m_lines.reset(PtyModemLines::indexOfSlave(m_modem->device(1).toStdString())));
    m_server = std::make_unique<Ser2NetServer>(QString::fromStdString(m_lines.stateFile()));
    m_modemTcp = m_server->serve(m_modem->device(1), true);
    m_rawTcp = m_server->serve(m_raw.slavePath(), false);
    pointPortAt(kModemPort, QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_modemTcp));
    pointPortAt(kRawPort, QStringLiteral("tcp://127.0.0.1:%1").arg(m_rawTcp));
    QVERIFY(m_server->start());
}

void NetworkPortTest::cleanupTestCase() {
    m_server.reset();
}

void NetworkPortTest::modemAnswersWithinTheWait() {
    NetworkSerialControl control;
    control.setCommPort(kModemPort);
    QSignalSpy opened(&control, &SerialControl::portOpened);
    qint64 longest = 0;
    QVERIFY(withinAFewTries([&] {
        control.setPortOpen(false);
        opened.clear();
        longest = std::max(longest, msToOpen(control));
        return control.PortOpen();
    }));
    QVERIFY(longest < kCallMs);
    control.setOutput(QStringLiteral("ATI3\r"));
    QVERIFY(readUntil(control, "OK").contains("Duplink Simulated Modem 1.0"));
    QCOMPARE(control.bytesToSend(), 0);
    // Opened within the call: nothing more to say.
    QCOMPARE(opened.count(), 0);
    QVERIFY(control.devicePresent());
}

void NetworkPortTest::rawTcpCarriesEveryByteAndLosesNone() {
    NetworkSerialControl control;
    control.setCommPort(kRawPort);
    // Bytes only: settings and flow control are kept as given, the input lines read off.
    control.setSettings(QStringLiteral("300,e,7,2"));
    control.setHandshaking(comRTSXOnXOff);
    QVERIFY(opens(control));
    QCOMPARE(control.Settings(), QStringLiteral("300,e,7,2"));
    QCOMPARE(control.Handshaking(), comRTSXOnXOff);
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    control.writeBytes(every);
    QCOMPARE(m_raw.read(256), every);
    QVERIFY(m_raw.write(every));
    QCOMPARE(readUntil(control, every), every);
    QVERIFY(!control.CTSHolding() && !control.DSRHolding() && !control.CDHolding());

    // Not read for a while: the control holds what it may, the server keeps back the rest.
    QByteArray data(6 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char((i * 131) ^ (i >> 13));
    std::thread writer([&] { m_raw.write(data); });
    QTest::qWait(1500);
    QByteArray got = control.readBytes();
    const qint64 held = got.size();
    eventually([&] { return (got += control.readBytes()).size() >= data.size(); }, 20000);
    if (got.size() < data.size())
        m_raw.closeMaster(); // lets the writer go
    writer.join();
    QVERIFY(held > 0 && held <= RemoteLink::kReadBufferBytes);
    QVERIFY(got == data);
}

void NetworkPortTest::settingsReachTheFarLine() {
    NetworkSerialControl control;
    control.setCommPort(kModemPort);
    control.setSettings(QStringLiteral("4800,n,8,1"));
    QVERIFY(opens(control));
    const QString far = m_modem->device(1);
    QTRY_COMPARE(farSpeed(far), speed_t(B4800));

    QElapsedTimer clock;
    clock.start();
    control.setSettings(QStringLiteral("19200,n,8,2"));
    control.setHandshaking(comRTS);
    QVERIFY(clock.elapsed() < 2 * kCallMs);
    QTRY_COMPARE(farSpeed(far), speed_t(B19200));
    QVERIFY(farTermios(far).c_cflag & CSTOPB);
    QTRY_VERIFY(farTermios(far).c_cflag & CRTSCTS);
    QCOMPARE(control.Settings(), QStringLiteral("19200,n,8,2"));
    QCOMPARE(control.Handshaking(), comRTS);
}

void NetworkPortTest::parityReachesTheFarLine_data() {
    QTest::addColumn<QChar>("parity");
    QTest::addColumn<bool>("odd");
    QTest::newRow("odd") << QChar('o') << true;
    QTest::newRow("even") << QChar('e') << false;
    QTest::newRow("none") << QChar('n') << false;
}

void NetworkPortTest::parityReachesTheFarLine() {
    QFETCH(QChar, parity);
    QFETCH(bool, odd);
    // The codes RFC 2217 gives them; a pty drops PARENB, so only PARODD tells on the far line.
    const QString letters = QStringLiteral("noems");
    for (unsigned code = 1; code <= 5; ++code) {
        QCOMPARE(parityCode(letters[code - 1]), code);
        QCOMPARE(parityLetter(code), letters[code - 1]);
    }
    NetworkSerialControl control;
    control.setCommPort(kModemPort);
    control.setSettings(QStringLiteral("9600,%1,8,1").arg(parity));
    QVERIFY(opens(control));
    QTRY_COMPARE(bool(farTermios(m_modem->device(1)).c_cflag & PARODD), odd);
    QCOMPARE(control.Settings(), QStringLiteral("9600,%1,8,1").arg(parity));
}

void NetworkPortTest::refusedSettingsKeepTheOld() {
    StubbornServer server;
    pointPortAt(kOtherPort, QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.port()));
    NetworkSerialControl control;
    control.setCommPort(kOtherPort);
    const QString taken = QStringLiteral("2400,n,8,1");
    control.setSettings(taken);
    QVERIFY(opens(control));
    QTRY_COMPARE(server.modemStateMask(), 0xffu);

    // Thrown when the answer comes within the call; put back either way.
    QString refusal;
    QVERIFY(withinAFewTries([&] {
        try {
            control.setSettings(QStringLiteral("9600,e,8,1"));
        } catch (const SettingsRefused& e) {
            refusal = e.description();
        }
        return eventually([&] { return control.Settings() == taken; }) && !refusal.isEmpty();
    }));
    QCOMPARE(refusal, QStringLiteral("COM5 (rfc2217://127.0.0.1:%1): the device refuses the "
                                     "parity e")
                          .arg(server.port()));
    QVERIFY(control.PortOpen());
    // RTS/CTS with XON/XOFF needs inbound flow control.
    control.setHandshaking(comRTS);
    QVERIFY(withinAFewTries([&] {
        bool thrown = false;
        try {
            control.setHandshaking(comRTSXOnXOff);
        } catch (const SerialError&) {
            thrown = true;
        }
        return eventually([&] { return control.Handshaking() == comRTS; }) && thrown;
    }));

    // Given while closed, refused when the port opens: it opens with what was taken last.
    QVERIFY(withinAFewTries([&] {
        control.setPortOpen(false);
        control.setSettings(QStringLiteral("9600,o,8,1"));
        bool thrown = false;
        try {
            control.setPortOpen(true);
        } catch (const SettingsRefused&) {
            thrown = true;
        }
        return eventually([&] { return control.PortOpen() && control.Settings() == taken; }) &&
               thrown;
    }));
}

void NetworkPortTest::modemLinesBothWays() {
    const int pty = PtyModemLines::indexOfSlave(m_modem->device(1).toStdString());
    NetworkSerialControl control;
    control.setCommPort(kModemPort);
    // Kept while closed, set when the connection comes up.
    control.setRTSEnable(true);
    control.setDTREnable(false);
    QVERIFY(opens(control));
    QTRY_VERIFY_WITH_TIMEOUT(m_lines.outputs(pty).rts && !m_lines.outputs(pty).dtr, kLinesMs);
    control.setRTSEnable(false);
    control.setDTREnable(true);
    QTRY_VERIFY_WITH_TIMEOUT(!m_lines.outputs(pty).rts && m_lines.outputs(pty).dtr, kLinesMs);

    QList<qint16> codes;
    connect(&control, &SerialControl::OnComm, this, [&] { codes << control.CommEvent(); });
    m_lines.setInputs(pty, true, true, true);
    QTRY_COMPARE_WITH_TIMEOUT(codes, (QList<qint16>{comEvCTS, comEvDSR, comEvCD}), kLinesMs);
    QVERIFY(control.CTSHolding() && control.DSRHolding() && control.CDHolding());
    // Each ring long enough for the server to see it come and go.
    for (int ring = 0; ring < 3; ++ring) {
        m_lines.setRing(pty, true);
        QTest::qWait(1100);
        m_lines.setRing(pty, false);
        QTest::qWait(1100);
    }
    QTRY_COMPARE_WITH_TIMEOUT(codes.mid(3), (QList<qint16>{comEvRing, comEvRing, comEvRing}),
                              kLinesMs);

    control.setPortOpen(false);
    QVERIFY(!control.CTSHolding() && !control.DSRHolding() && !control.CDHolding());
    m_lines.setInputs(pty, false, false, false);
}

void NetworkPortTest::serverGoingAwayAndComingBack() {
    NetworkSerialControl control;
    control.setCommPort(kModemPort);
    QSignalSpy lost(&control, &SerialControl::portLost);
    QSignalSpy opened(&control, &SerialControl::portOpened);
    QVERIFY(opens(control));
    opened.clear();

    m_server->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!lost.isEmpty(), 1000);
    QVERIFY(!control.PortOpen());
    const QString reason = lost.first().first().toString();
    QVERIFY2(reason.startsWith(QStringLiteral("COM3 (rfc2217://127.0.0.1:%1): ").arg(m_modemTcp)),
             qPrintable(reason));
    control.setOutput(QStringLiteral("lost"));
    QCOMPARE(control.bytesToSend(), 0);

    QTest::qWait(1500);
    QVERIFY(m_server->start());
    QTRY_VERIFY_WITH_TIMEOUT(!opened.isEmpty(), 2 * NetworkSerialControl::kMostRetryMs);
    QVERIFY2(control.PortOpen(), qPrintable(lost.last().first().toString()));
    control.readBytes();
    control.setOutput(QStringLiteral("ATI3\r"));
    QVERIFY(readUntil(control, "OK").contains("Duplink Simulated Modem 1.0"));
}

void NetworkPortTest::addressesThatFailNeverBlock() {
    auto control = std::make_unique<NetworkSerialControl>();
    control->setCommPort(kOtherPort);
    QSignalSpy lost(control.get(), &SerialControl::portLost);
    pointPortAt(kOtherPort, QStringLiteral("rfc2217://127.0.0.1"));
    try {
        control->setPortOpen(true);
        QFAIL("opened without a port number");
    } catch (const SerialError& e) {
        QCOMPARE(e.description(), QStringLiteral("COM5 (rfc2217://127.0.0.1): a network port is "
                                                 "named rfc2217://HOST:PORT or tcp://HOST:PORT"));
    }

    const QString refused = QStringLiteral("rfc2217://127.0.0.1:%1").arg(freePort());
    pointPortAt(kOtherPort, refused);
    QVERIFY(msToOpen(*control) < kCallMs);
    QVERIFY(!control->PortOpen());
    QTRY_COMPARE(lost.count(), 1);
    QCOMPARE(lost.takeFirst().first().toString(),
             QStringLiteral("COM5 (%1): Connection refused").arg(refused));
    control->setPortOpen(false);

    // One caller fills the queue of a server that never accepts; the next is never answered.
    const Listener full(0, 0);
    const QString silent = QStringLiteral("tcp://127.0.0.1:%1").arg(full.port());
    pointPortAt(kOtherPort, silent);
    NetworkSerialControl filler;
    filler.setCommPort(kOtherPort);
    QVERIFY(opens(filler));
    QVERIFY(msToOpen(*control) < kCallMs);
    QVERIFY(!control->PortOpen());
    QElapsedTimer clock;
    clock.start();
    control->setSettings(QStringLiteral("1200,n,8,1"));
    control->setRTSEnable(true);
    control->writeBytes("ignored");
    QVERIFY(clock.elapsed() < kCallMs);
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, NetworkSerialControl::kConnectTimeoutMs + 1000);
    QCOMPARE(lost.first().first().toString(), QStringLiteral("COM5 (%1): No answer").arg(silent));
    // Gone while connecting again.
    QTest::qWait(NetworkSerialControl::kFirstRetryMs + 100);
    clock.restart();
    control.reset();
    QVERIFY(clock.elapsed() < kCallMs);
}

void NetworkPortTest::keepsTryingUntilClosed() {
    const quint16 port = freePort();
    pointPortAt(kOtherPort, QStringLiteral("tcp://127.0.0.1:%1").arg(port));
    NetworkSerialControl control;
    control.setCommPort(kOtherPort);
    QSignalSpy lost(&control, &SerialControl::portLost);
    QSignalSpy opened(&control, &SerialControl::portOpened);
    control.setPortOpen(true);
    QTRY_COMPARE(lost.count(), 1);
    {
        const Listener server(port);
        QTRY_COMPARE(opened.count(), 1);
        QVERIFY(control.PortOpen());
        // Refused again and again, it told once.
        QCOMPARE(lost.count(), 1);
    }
    // Dropped, it says so; closed, it tries no more.
    QTRY_COMPARE(lost.count(), 2);
    QVERIFY(!control.PortOpen());
    control.setPortOpen(false);
    const Listener late(port);
    QTest::qWait(4 * NetworkSerialControl::kFirstRetryMs);
    QVERIFY(!late.hasCaller());
}

QTEST_MAIN(NetworkPortTest)
#include "test_network_port.moc"
