#include "DuplinkProcess.h"
#include "capture/CaptureFile.h"

#include "ModemSimulator.h"
#include "app/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
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

// The program run from a command line with no desktop, some variables set ("NAME=value"): its
// exit code, output and error output.
QStringList runWithoutDesktop(const QStringList& arguments, const QStringList& variables) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& variable : variables)
        environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess duplink;
    duplink.setProcessEnvironment(environment);
    duplink.start(QStringLiteral(DUPLINK_PATH), arguments);
    duplink.waitForFinished(10000);
    return {QString::number(duplink.exitCode()), QString::fromUtf8(duplink.readAllStandardOutput()),
            QString::fromUtf8(duplink.readAllStandardError())};
}

// The processes whose parent is pid.
QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ...: the name may hold blanks, the fields after it do not.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> after = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (after.value(1).toLongLong() == pid)
            children << entry.toLongLong();
    }
    return children;
}

} // namespace

// The real program, started as a user starts it, against the simulated modems.
class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void aSignalEndsAStartUpMessage();
    void aSignalEndsTheProgramWhenTheSaveFails();
    void everyEndingSignalSavesOnceWhileDataPours();
    void modemsTakenAwayAndBackAreHeldAgainAndWaitingCostsNothing();
    void listPortsShowsTheMapAndTheDevices();
    void printShowsACaptureAndWhereItIsCutShort();
    void theDemoRunsOnASimulatorOfItsOwnAndStopsIt();
};

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

namespace {

// Processor time a process has used, in clock ticks.
long cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong(); // utime and stime
}

} // namespace

void EndToEndTest::modemsTakenAwayAndBackAreHeldAgainAndWaitingCostsNothing() {
    DuplinkProcess duplink;
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2)));
    duplink.stopSimulator();
    // Both ports wait for their devices: no polling while they do.
    QTest::qWait(300);
    const long before = cpuTicks(duplink.pid());
    // Long enough that the clock's 10 ms ticks of CPU time do not decide it: 1% of a core.
    QTest::qWait(6000);
    const long used = cpuTicks(duplink.pid()) - before;
    QVERIFY2(used * 1000 / ::sysconf(_SC_CLK_TCK) < 60, qPrintable(QString::number(used)));
    duplink.startSimulator();
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(1), 1000));
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2), 1000));
    QCOMPARE(duplink.terminate(), 0);
}

void EndToEndTest::listPortsShowsTheMapAndTheDevices() {
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("Duplink v.2.1")));
    ModemSimulator simulator;
    QFile map(root.filePath(QStringLiteral("Duplink v.2.1/Duplink ports.ini")));
    QVERIFY(map.open(QIODevice::WriteOnly));
    map.write("COM5=" + QFile::encodeName(simulator.link(1)) + "\nCOM6=/dev/duplink-unplugged\n");
    map.close();
    const QStringList list =
        runWithoutDesktop({"--list-ports"}, {"ProgramFiles=" + root.path(),
                                             "DUPLINK_COM7=/dev/from-the-environment"});
    QCOMPARE(list[0], "0");
    const QStringList lines = list[1].split('\n');
    const auto line = [&lines](int n) {
        return lines.value(n - 1).simplified();
    };
    QCOMPARE(line(5),
             QStringLiteral("COM5 %1 (%2) present").arg(simulator.link(1), simulator.device(1)));
    QCOMPARE(line(6), QStringLiteral("COM6 /dev/duplink-unplugged not present"));
    QVERIFY(line(7).startsWith(QStringLiteral("COM7 /dev/from-the-environment")));
    QVERIFY(line(9).startsWith(QStringLiteral("COM9 /dev/ttyACM0")));
    QVERIFY2(lines.contains(QStringLiteral("The port map %1:").arg(map.fileName())) &&
                 lines.contains(
                     QStringLiteral("  line 2: COM6: /dev/duplink-unplugged is not there now")),
             qPrintable(lines.join('\n')));
}

void EndToEndTest::printShowsACaptureAndWhereItIsCutShort() {
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("both ports.pcapng"));
    {
        CaptureFile capture(fileName, {QStringLiteral("COM1 (/dev/ttyUSB0)"), "COM2"});
        capture.append({0, RtacSerial::Event::DataTransmitted, 0, "ATZ\r", {}, 1765000000123456});
        capture.append({1, RtacSerial::Event::DataReceived, 0, "\xcf\r\n", {}, 1765000000200000});
    }
    const auto print = [](const QStringList& arguments) {
        return runWithoutDesktop(QStringList{"--print"} + arguments, {"TZ=UTC"});
    };
    const QString sent = QStringLiteral("2025-12-06 05:46:40.123 COM1 > ATZ\\r\n");
    QCOMPARE(print({fileName}),
             (QStringList{"0", sent + "2025-12-06 05:46:40.200 COM2 < \u041f\\r\\n\n", ""}));
    QCOMPARE(runWithoutDesktop({fileName}, {}).value(2),
             "Duplink: " + fileName + ": only --print and --timeline take a file.\n");
    QCOMPARE(print({fileName, "--hex"}).value(1), "2025-12-06 05:46:40.123 COM1 > 41 54 5A 0D\n"
                                                  "2025-12-06 05:46:40.200 COM2 < CF 0D 0A\n");
    QFile file(fileName);
    QVERIFY(file.resize(file.size() - 1));
    const QStringList cut = print({fileName});
    QCOMPARE(cut.mid(0, 2), (QStringList{"1", sent}));
    QVERIFY2(cut[2].startsWith("Duplink: " + fileName + " is cut short"), qPrintable(cut[2]));
}

void EndToEndTest::theDemoRunsOnASimulatorOfItsOwnAndStopsIt() {
    DuplinkProcess duplink;
    QVERIFY(duplink.start({QStringLiteral("--demo")}));
    QList<qint64> children;
    QTRY_VERIFY_WITH_TIMEOUT(!(children = childrenOf(duplink.pid())).isEmpty(), 10000);
    QCOMPARE(children.size(), 1);
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(children.first()));
    QVERIFY(commandLine.open(QIODevice::ReadOnly));
    const QList<QByteArray> arguments = commandLine.readAll().split('\0');
    QVERIFY2(arguments.first().endsWith("duplink-modem-sim"), arguments.first().constData());
    QStringList links;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "--link")
            links << QFile::decodeName(arguments[i + 1]);
    }
    QCOMPARE(links.size(), 3);
    QVERIFY(arguments.contains("--device"));
    // Ports 1 and 2 open the demo's lines, not the ones the environment named.
    QVERIFY(duplink.waitUntilHolding(links[0]));
    QVERIFY(duplink.waitUntilHolding(links[1]));
    QVERIFY(!duplink.isHolding(duplink.simulator().device(1)));
    const QString demoFolder = QFileInfo(links[0]).path();
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(demoFolder + QStringLiteral("/Duplink v.2.1/Duplink v.2.1.eng")), 10000);
    QCOMPARE(duplink.terminate(), 0);
    QVERIFY(!QFile::exists(QStringLiteral("/proc/%1").arg(children.first())));
    QVERIFY(!QFile::exists(demoFolder));
    QVERIFY(!QFile::exists(duplink.dataFolder()));
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "test_end_to_end.moc"
