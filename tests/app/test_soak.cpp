#include "LiveWindow.h"
#include "ModemSimulator.h"
#include "ui/LogView.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// The same pseudo-random stream for the writer and the reader that checks it.
class Stream {
public:
    explicit Stream(quint64 seed) : m_state(seed) {}
    void fill(char* out, qsizetype n) {
        for (qsizetype i = 0; i < n; ++i) {
            m_state ^= m_state << 13;
            m_state ^= m_state >> 7;
            m_state ^= m_state << 17;
            out[i] = char(m_state >> 24);
        }
    }

private:
    quint64 m_state;
};

// One direction through the program: pours the stream into one far end for a while and checks
// that exactly it comes out of the other.
class Direction {
public:
    Direction(const QString& into, const QString& outOf, quint64 seed)
        : m_into(::open(QFile::encodeName(into).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)),
          m_outOf(::open(QFile::encodeName(outOf).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        // What the program said before the pour (its "ATI3") is no part of the stream.
        char stale[4096];
        while (::read(m_outOf, stale, sizeof stale) > 0) {
        }
        m_writer = std::thread([this, seed] { write(seed); });
        m_reader = std::thread([this, seed] { read(seed); });
    }
    ~Direction() {
        m_writing = false;
        m_writer.join();
        m_reader.join();
        ::close(m_into);
        ::close(m_outOf);
    }
    void stopWriting() { m_writing = false; }
    // True once everything written has come out, or a byte came out wrong.
    bool settled() const { return m_wrong || (!m_writing && m_read == m_written); }
    void stopReading() { m_reading = false; }
    qint64 bytes() const { return m_read; }
    qint64 written() const { return m_written; }
    bool intact() const { return !m_wrong; }

private:
    void write(quint64 seed) {
        Stream stream(seed);
        char block[16384];
        qsizetype ready = 0;
        qsizetype sent = 0;
        while (m_writing) {
            if (sent == ready) {
                stream.fill(block, sizeof block);
                ready = sizeof block;
                sent = 0;
            }
            pollfd p{m_into, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::write(m_into, block + sent, size_t(ready - sent));
            if (n > 0) {
                sent += n;
                m_written += n;
            }
        }
    }
    void read(quint64 seed) {
        Stream stream(seed);
        char got[16384];
        char expected[16384];
        while (m_reading) {
            pollfd p{m_outOf, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(m_outOf, got, sizeof got);
            if (n <= 0)
                continue;
            stream.fill(expected, n);
            if (std::memcmp(got, expected, size_t(n)) != 0)
                m_wrong = true;
            m_read += n;
        }
    }

    int m_into;
    int m_outOf;
    std::atomic<bool> m_writing{true};
    std::atomic<bool> m_reading{true};
    std::atomic<bool> m_wrong{false};
    std::atomic<qint64> m_written{0};
    std::atomic<qint64> m_read{0};
    std::thread m_writer;
    std::thread m_reader;
};

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

} // namespace

// Transmit mode relaying random bytes both ways, as fast as it goes, through two raw simulated
// lines for SOAK_SECONDS (30 unless set): nothing lost or altered, and memory grows only by
// what the logs hold.
class SoakTest : public QObject {
    Q_OBJECT
private slots:
    void relayBothWaysForAWhile();
};

void SoakTest::relayBothWaysForAWhile() {
    const int seconds = qEnvironmentVariableIsSet("SOAK_SECONDS")
                            ? qEnvironmentVariableIntValue("SOAK_SECONDS")
                            : 30;
    // Lines 1-2 and 3-4 are cables: the far ends are lines 2 and 4.
    ModemSimulator simulator(
        {"--lines", "4", "--raw", "1", "--raw", "2", "--raw", "3", "--raw", "4"}, 4);
    QVERIFY(simulator.isRunning());
    qputenv("DUPLINK_COM1", QFile::encodeName(simulator.link(1)));
    qputenv("DUPLINK_COM2", QFile::encodeName(simulator.link(3)));
    LiveWindow window;
    window.start();
    QTRY_COMPARE(window.program->terminal().channel(1).ModemState, qint16(2));
    window.find<QPushButton>("Command5")->click();
    QTest::qWait(300); // the identification's "ATI3" reaches the far ends before the pour starts
    const long residentBefore = residentKilobytes();

    QElapsedTimer clock;
    clock.start();
    Direction toPort1(simulator.device(2), simulator.device(4), 1);
    Direction toPort2(simulator.device(4), simulator.device(2), 2);
    QTest::qWait(seconds * 1000);
    toPort1.stopWriting();
    toPort2.stopWriting();
    QTRY_VERIFY_WITH_TIMEOUT(toPort1.settled() && toPort2.settled(), 60000);
    const double elapsed = clock.elapsed() / 1000.0;
    toPort1.stopReading();
    toPort2.stopReading();
    QVERIFY(toPort1.intact());
    QVERIFY(toPort2.intact());

    const qint64 logged =
        window.find<LogView>("Text2")->size() + window.find<LogView>("Text6")->size();
    const long grown = residentKilobytes() - residentBefore;
    qInfo("%d s: %.2f MB/s into port 1, %.2f MB/s into port 2, relayed intact; logs %.1f MB, "
          "memory grew %.1f MB",
          seconds, toPort1.bytes() / elapsed / 1e6, toPort2.bytes() / elapsed / 1e6, logged / 1e6,
          grown / 1024.0);
    QVERIFY(toPort1.bytes() > 0 && toPort2.bytes() > 0);
    QCOMPARE(window.find<LogView>("Text6")->size(), toPort2.bytes());
#ifndef __SANITIZE_ADDRESS__ // the sanitizer keeps freed memory aside for a while
    QVERIFY(grown * 1024.0 < 1.5 * double(logged) + 64e6);
#endif
}

QTEST_MAIN(SoakTest)
#include "test_soak.moc"
