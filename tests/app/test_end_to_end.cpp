#include "DuplinkProcess.h"

#include "app/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace {

// Counts the settings files renamed into place in a folder: one for each save.
class SaveCounter {
public:
    explicit SaveCounter(const QString& folder) : m_fd(::inotify_init1(IN_NONBLOCK)) {
        ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_TO);
    }
    ~SaveCounter() { ::close(m_fd); }
    int saves() {
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                if (e->len && QByteArray(e->name) == "Duplink v.2.1.eng")
                    ++m_saves;
                p += sizeof(inotify_event) + e->len;
            }
        }
        return m_saves;
    }

private:
    int m_fd;
    int m_saves = 0;
};

// Writes into a device at 1.5 MB/s, faster than the fastest serial line, until stopped.
class Pump {
public:
    explicit Pump(const QString& device)
        : m_fd(::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)),
          m_thread([this] {
              const QByteArray block(15000, 'x');
              while (!m_stop) {
                  if (::write(m_fd, block.data(), size_t(block.size())) < 0)
                      QThread::msleep(1);
                  QThread::msleep(10);
              }
          }) {}
    ~Pump() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }

private:
    int m_fd;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool validSettings(const QString& path) {
    SettingsRecord r;
    return QFileInfo(path).size() == 11500 &&
           !LoadSettings(r, path, QFileInfo(path).path() + QLatin1Char('/'), QDateTime()).recovered;
}

} // namespace

// The real program, started as a user starts it, against the simulated modems.
class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void opensBothPortsAndEndsOnASignalSaving();
    void aSignalEndsAStartUpMessage();
    void aSignalEndsTheProgramWhenTheSaveFails();
    void everyEndingSignalSavesOnceWhileDataPours();
    void afterAKillTheNextStartOpensTheSamePorts();
};

void EndToEndTest::opensBothPortsAndEndsOnASignalSaving() {
    DuplinkProcess duplink;
    QVERIFY(duplink.simulator().isRunning());
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(1)));
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2)));
    QCOMPARE(QFileInfo(duplink.settingsFile()).size(), 11500);
    QVERIFY(QFile::remove(duplink.settingsFile()));
    QCOMPARE(duplink.terminate(), 0);
    QCOMPARE(QFileInfo(duplink.settingsFile()).size(), 11500);
}

void EndToEndTest::aSignalEndsAStartUpMessage() {
    // Port 1 is missing: start-up shows its message and waits, before port 2 is opened.
    DuplinkProcess duplink;
    QVERIFY(duplink.simulator().isRunning());
    duplink.setPortDevice(1, QStringLiteral("/dev/duplink-no-such-device"));
    QVERIFY(duplink.start());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(duplink.settingsFile()), 10000);
    QTest::qWait(500);
    QVERIFY(!duplink.isHolding(duplink.simulator().device(2)));
    QVERIFY(QFile::remove(duplink.settingsFile()));
    QCOMPARE(duplink.terminate(), 0);
    QCOMPARE(QFileInfo(duplink.settingsFile()).size(), 11500);
}

void EndToEndTest::aSignalEndsTheProgramWhenTheSaveFails() {
    DuplinkProcess duplink;
    QVERIFY(duplink.simulator().isRunning());
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2)));
    // A folder where the file should be: the save at shutdown cannot replace it.
    QVERIFY(QFile::remove(duplink.settingsFile()));
    QVERIFY(QDir().mkdir(duplink.settingsFile()));
    QCOMPARE(duplink.terminate(), 0);
    const QByteArray errors = duplink.errorOutput();
    QVERIFY2(errors.contains("The settings cannot be saved"), errors.constData());
}

void EndToEndTest::everyEndingSignalSavesOnceWhileDataPours() {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        // Raw lines 1-2 and 3-4 are cables; the pumps pour into the far ends, 2 and 4.
        DuplinkProcess duplink(
            {"--lines", "4", "--raw", "1", "--raw", "2", "--raw", "3", "--raw", "4"}, 4);
        QVERIFY(duplink.start());
        QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(3)));
        SaveCounter counter(duplink.dataFolder());
        {
            Pump into1(duplink.simulator().device(2));
            Pump into2(duplink.simulator().device(4));
            QTest::qWait(500);
            QCOMPARE(duplink.terminate(2000, signal), 0);
        }
        QCOMPARE(counter.saves(), 1);
        QVERIFY(validSettings(duplink.settingsFile()));
    }
}

void EndToEndTest::afterAKillTheNextStartOpensTheSamePorts() {
    DuplinkProcess duplink;
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2)));
    QCOMPARE(duplink.terminate(5000, SIGKILL), -1);
    // Its lock files are left behind; they are seen to be stale.
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(1)));
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2)));
    QVERIFY(validSettings(duplink.settingsFile()));
    QCOMPARE(duplink.terminate(), 0);
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "test_end_to_end.moc"
