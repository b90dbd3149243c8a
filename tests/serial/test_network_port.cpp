#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "PtyPair.h"
#include "Ser2NetServer.h"
#include "serial/NetworkSerialControl.h"
#include "serial/SerialError.h"
#include "serial/network/RemoteLink.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gensio/sergensio.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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
    int fd() const { return m_fd; }
    quint16 port() const { return m_port; }
    bool hasCaller() const {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

private:
    int m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    quint16 m_port = 0;
};

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

// Opens on `port` with these settings and flow control, and tells whether they are in force.
bool opensWith(SerialControl& control, qint16 port, const QString& settings, qint32 flow) {
    control.setCommPort(port);
    control.setSettings(settings);
    control.setHandshaking(flow);
    return opens(control) && control.Settings() == settings && control.Handshaking() == flow;
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

// An RFC 2217 server written byte by byte, for answers no real server would give. It says DO
// COM-PORT to each caller and answers each request (command and value bytes) with what
// `script` returns, in the same form: the command of an answer is the request's plus 100.
class ScriptedServer {
public:
    using Script = std::function<QList<QByteArray>(const QByteArray& request)>;

    explicit ScriptedServer(Script script) : m_script(std::move(script)) {}
    ~ScriptedServer() {
        m_stop = true;
        m_thread.join();
    }
    QString address() const {
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_listener.port());
    }
    int callers() const { return m_callers; }
    int connected() const { return m_connected; }
    QList<QByteArray> requests(char command) const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        QList<QByteArray> found;
        for (const QByteArray& request : m_requests) {
            if (request[0] == command)
                found << request;
        }
        return found;
    }
    static QList<QByteArray> echo(const QByteArray& request) {
        return {char(request[0] + 100) + request.mid(1)};
    }

private:
    void run() {
        std::vector<std::pair<int, QByteArray>> peers;
        while (!m_stop) {
            std::vector<pollfd> polled{{m_listener.fd(), POLLIN, 0}};
            for (const auto& peer : peers)
                polled.push_back({peer.first, POLLIN, 0});
            if (::poll(polled.data(), polled.size(), 20) <= 0)
                continue;
            for (size_t i = 1; i < polled.size(); ++i) {
                auto& [fd, got] = peers[i - 1];
                char bytes[512];
                const auto length = polled[i].revents ? ::read(fd, bytes, sizeof bytes) : -2;
                if (length > 0) {
                    got.append(bytes, length);
                    serve(fd, got);
                } else if (length > -2) {
                    ::close(std::exchange(fd, -1));
                    --m_connected;
                }
            }
            peers.erase(std::remove_if(peers.begin(), peers.end(),
                                       [](const auto& peer) { return peer.first < 0; }),
                        peers.end());
            if (polled[0].revents) {
                const int fd = ::accept4(m_listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
                peers.emplace_back(fd, QByteArray());
                ++m_callers;
                ++m_connected;
                [[maybe_unused]] const auto sent = ::write(fd, "\xff\xfd\x2c", 3);
            }
        }
        for (const auto& peer : peers)
            ::close(peer.first);
    }
    // Answers each whole COM-PORT request in `got`, leaving what is not whole yet.
    void serve(int fd, QByteArray& got) {
        for (;;) {
            got.remove(0, std::max<qsizetype>(0, got.indexOf('\xff')));
            if (got.size() < 3)
                return;
            if (got[1] != '\xfa') {
                got.remove(0, uchar(got[1]) >= 0xfb ? 3 : 2);
                continue;
            }
            QByteArray option;
            qsizetype i = 2;
            for (; i + 1 < got.size() && !(got[i] == '\xff' && got[i + 1] == '\xf0'); ++i)
                option += got[got[i] == '\xff' ? ++i : i];
            if (i + 1 >= got.size())
                return;
            got.remove(0, i + 2);
            if (option.size() < 2 || option[0] != 44)
                continue;
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_requests << option.mid(1);
            }
            for (const QByteArray& answer : m_script(option.mid(1))) {
                QByteArray out("\xff\xfa\x2c");
                for (const char c : answer)
                    out += c == '\xff' ? QByteArray(2, c) : QByteArray(1, c);
                out += "\xff\xf0";
                [[maybe_unused]] const auto sent = ::write(fd, out.constData(), out.size());
            }
        }
    }

    const Script m_script;
    const Listener m_listener;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_callers{0};
    std::atomic<int> m_connected{0};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::thread m_thread{[this] {
        run();
    }};
};

// A line that takes neither parity nor inbound flow control: those are answered "none".
QList<QByteArray> stubborn(const QByteArray& request) {
    QByteArray answer = ScriptedServer::echo(request).first();
    if (request[0] == 3)
        answer[1] = char(SERGENSIO_PARITY_NONE);
    if (request[0] == 5 && uchar(request[1]) >= 13)
        answer[1] = char(13 + SERGENSIO_FLOWCONTROL_NONE);
    return {answer};
}

} // namespace

class NetworkPortTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rawTcpCarriesEveryByteAndLosesNone();
    void settingsReachTheFarLine();
    void refusedSettingsKeepTheOld();
    void impossibleAnswersAreNoAnswers();
    void aConnectionGoesOnlyWhenDoneWith();
    void modemLinesBothWays();
    void aModemAnswersAndTheServerGoesAndComesBack();
    void addressesThatFailNeverBlock();

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

void NetworkPortTest::rawTcpCarriesEveryByteAndLosesNone() {
    NetworkSerialControl control;
    // Bytes only: settings and flow control are kept as given, the input lines read off.
    QVERIFY(opensWith(control, kRawPort, QStringLiteral("300,e,7,2"), comRTSXOnXOff));
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
    control.setSettings(QStringLiteral("4800,o,8,1"));
    QVERIFY(opens(control));
    const QString far = m_modem->device(1);
    QTRY_COMPARE(farSpeed(far), speed_t(B4800));
    // A pty drops PARENB: only PARODD tells the parity on the far line.
    QTRY_VERIFY(farTermios(far).c_cflag & PARODD);

    QElapsedTimer clock;
    clock.start();
    control.setSettings(QStringLiteral("19200,e,8,2"));
    control.setHandshaking(comRTS);
    QVERIFY(clock.elapsed() < 2 * kCallMs);
    QTRY_COMPARE(farSpeed(far), speed_t(B19200));
    QTRY_COMPARE(farTermios(far).c_cflag & (CSTOPB | PARODD | CRTSCTS), tcflag_t(CSTOPB | CRTSCTS));
}

void NetworkPortTest::refusedSettingsKeepTheOld() {
    const ScriptedServer server(stubborn);
    pointPortAt(kOtherPort, server.address());
    NetworkSerialControl control;
    control.setCommPort(kOtherPort);
    const QString taken = QStringLiteral("2400,n,8,1");
    control.setSettings(taken);
    QVERIFY(opens(control));
    QTRY_COMPARE(server.requests(11), QList<QByteArray>{QByteArray("\x0b\xff")});

    // Thrown when the answer comes within the call; put back either way.
    QString refusal;
    bool settingsRefused = false;
    const auto refusedAndKept = [&](const std::function<void()>& change,
                                    const std::function<bool()>& kept) {
        return withinAFewTries([&] {
            refusal.clear();
            try {
                change();
            } catch (const SerialError& e) {
                refusal = e.description();
                settingsRefused = dynamic_cast<const SettingsRefused*>(&e);
            }
            return eventually(kept) && !refusal.isEmpty();
        });
    };
    QVERIFY(refusedAndKept([&] { control.setSettings(QStringLiteral("9600,e,8,1")); },
                           [&] { return control.Settings() == taken; }) &&
            settingsRefused);
    QCOMPARE(refusal,
             QStringLiteral("COM5 (%1): the device refuses the parity e").arg(server.address()));
    QVERIFY(control.PortOpen());
    // RTS/CTS with XON/XOFF needs inbound flow control.
    control.setHandshaking(comRTS);
    QVERIFY(refusedAndKept([&] { control.setHandshaking(comRTSXOnXOff); },
                           [&] { return control.Handshaking() == comRTS; }));

    // Given while closed, refused when the port opens: it opens with what was taken last.
    QVERIFY(refusedAndKept(
        [&] {
            control.setPortOpen(false);
            control.setSettings(QStringLiteral("9600,o,8,1"));
            control.setPortOpen(true);
        },
        [&] { return control.PortOpen() && control.Settings() == taken; }));
    QVERIFY(settingsRefused);
}

void NetworkPortTest::impossibleAnswersAreNoAnswers() {
    // Its answer to the modem state mask comes among the settings' answers, as a server busy
    // elsewhere may send it.
    const ScriptedServer lateMask([mask = QList<QByteArray>()](const QByteArray& request) mutable {
        if (request[0] == 11) {
            mask = ScriptedServer::echo(request);
            return QList<QByteArray>();
        }
        return (request[0] == 1 ? std::exchange(mask, {}) : QList<QByteArray>()) +
               ScriptedServer::echo(request);
    });
    // Each setting answered with a value no line has; the output lines as asked.
    const ScriptedServer absurd([](const QByteArray& request) {
        QByteArray answer = ScriptedServer::echo(request).first();
        if (request[0] == 1)
            answer = QByteArray("\x65\0\0\0\x03", 5);
        else if (request[0] < 5 || uchar(request[1]) < 7 || uchar(request[1]) > 12)
            answer[1] = 77;
        return QList<QByteArray>{answer};
    });
    for (const ScriptedServer* server : {&lateMask, &absurd}) {
        pointPortAt(kOtherPort, server->address());
        NetworkSerialControl control;
        QVERIFY(opensWith(control, kOtherPort, QStringLiteral("2400,e,7,2"), comRTS));
        control.setSettings(QStringLiteral("300,o,5,1"));
        control.setHandshaking(comXOnXoff);
        QTest::qWait(100);
        QCOMPARE(control.Settings(), QStringLiteral("300,o,5,1"));
        QCOMPARE(control.Handshaking(), comXOnXoff);
    }
}

void NetworkPortTest::aConnectionGoesOnlyWhenDoneWith() {
    const ScriptedServer server(ScriptedServer::echo);
    pointPortAt(kOtherPort, server.address());
    NetworkSerialControl control;
    control.setCommPort(kOtherPort);
    QVERIFY(opens(control));
    // As setting a port up does: closed, and opened again with new settings.
    control.setPortOpen(false);
    QTest::qWait(100);
    control.setSettings(QStringLiteral("4800,n,8,1"));
    QVERIFY(opens(control));
    QCOMPARE(server.callers(), 1);
    QTRY_COMPARE(server.requests(1).last(), QByteArray("\x01\0\0\x12\xc0", 5));
    // Closed for longer, it connects again.
    control.setPortOpen(false);
    QTRY_COMPARE(server.connected(), 0);
    QVERIFY(opens(control));
    QCOMPARE(server.callers(), 2);
    control.setPortOpen(false);
    QTRY_COMPARE(server.connected(), 0);

    // Closed before the server answers, it stays until gensio gives the request up: what
    // gensio keeps for a request goes then, not with its connection (LeakSanitizer tells).
    const ScriptedServer silent([](const QByteArray&) { return QList<QByteArray>(); });
    pointPortAt(kOtherPort, silent.address());
    for (int closed = 0; closed < 3; ++closed) {
        control.setPortOpen(true);
        QTRY_COMPARE(silent.requests(1).size(), closed + 1);
        control.setPortOpen(false);
    }
    QTRY_COMPARE_WITH_TIMEOUT(silent.connected(), 0, 10000);
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

void NetworkPortTest::aModemAnswersAndTheServerGoesAndComesBack() {
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

    QSignalSpy lost(&control, &SerialControl::portLost);
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

    const quint16 port = Listener().port(); // free once the listener is gone
    const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
    pointPortAt(kOtherPort, refused);
    QSignalSpy opened(control.get(), &SerialControl::portOpened);
    QVERIFY(msToOpen(*control) < kCallMs);
    QVERIFY(!control->PortOpen());
    QTRY_COMPARE(lost.count(), 1);
    QCOMPARE(lost.first().first().toString(),
             QStringLiteral("COM5 (%1): Connection refused").arg(refused));
    {
        // Refused again and again, it told once; it goes on trying.
        const Listener server(port);
        QTRY_COMPARE(opened.count(), 1);
        QCOMPARE(lost.count(), 1);
    }
    // Dropped, it says so; closed, it tries no more.
    QTRY_COMPARE(lost.count(), 2);
    control->setPortOpen(false);
    lost.clear();
    {
        const Listener late(port);
        QTest::qWait(4 * NetworkSerialControl::kFirstRetryMs);
        QVERIFY(!late.hasCaller());
    }

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

QTEST_MAIN(NetworkPortTest)
#include "test_network_port.moc"
