// Idle: what the program costs with nothing arriving, in CPU and in wake-ups (the times any of
// its threads went to sleep and was woken), against a bare window running a 100 ms timer, the
// program's own tick. Each row is a fresh process: both ports on plain ptys; both on ptys that
// have modem lines (the pty modem-line library preloaded); a port waiting for its device to
// appear; a network port waiting to reconnect; and the first again while another process opens
// and closes a pty ten times a second, as terminals and builds do (each change in /dev/pts is a
// device event to the program).

#include "BenchRun.h"
#include "ChildRun.h"
#include "LiveWindow.h"
#include "ProcessUsage.h"
#include "PtyPair.h"
#include "Report.h"

#ifdef DUPLINK_PTY_MODEM_LINES
#include "PtyModemLines.h"
#endif

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kBare = QStringLiteral("bare");
const QString kPtys = QStringLiteral("ptys");
const QString kLines = QStringLiteral("lines");
const QString kDevice = QStringLiteral("device");
const QString kNetwork = QStringLiteral("network");
const QString kPtyFolder = QStringLiteral("/dev/pts");

constexpr double kMostWakeupsPerSecond = 12;
constexpr double kMostTimesBare = 3;

int seconds() {
    return bench::fullOrQuick(10, 3);
}

// In the child: the caret's blinks, and of them those the process woke for alone: with no
// other timer or descriptor event (the program's tick among them) in the same pass of the
// event loop.
class CaretBlinks : public QObject {
public:
    // The focus stays where it is while the program idles; looking it up once keeps the cost
    // of counting out of the figures.
    CaretBlinks() : m_focus(QApplication::focusWidget()) {
        qApp->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
                &CaretBlinks::passEnded);
    }
    ~CaretBlinks() override { qApp->removeEventFilter(this); }

    int blinks = 0;
    int alone = 0;

private:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::Timer && event->type() != QEvent::SockAct)
            return false;
        // A text field's blink timer belongs to the field or, for a line edit, to its child
        // that keeps the text.
        const bool caret = event->type() == QEvent::Timer && m_focus &&
                           (receiver == m_focus || receiver->parent() == m_focus);
        (caret ? m_blinked : m_other) = true;
        return false;
    }
    void passEnded() {
        if (m_blinked) {
            ++blinks;
            alone += !m_other;
        }
        m_blinked = m_other = false;
    }

    QObject* m_focus;
    bool m_blinked = false;
    bool m_other = false;
};

// In the child: the CPU used and the wake-ups over `ms` of the event loop, how often /dev/pts
// changed meanwhile (ptys opened or closed anywhere on the machine), and the caret's part.
void reportOver(int ms) {
    QFileSystemWatcher ptys({kPtyFolder});
    int changes = 0;
    QObject::connect(&ptys, &QFileSystemWatcher::directoryChanged, [&changes] { ++changes; });
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = usage::processCpuSeconds();
    const qint64 wakeupsBefore = usage::voluntarySwitches();
    CaretBlinks caret;
    runEventLoopFor(ms);
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const double used = usage::processCpuSeconds() - cpuBefore;
    child::report(QStringLiteral("share"), used / elapsed);
    // Less the one wake-up that ends the run, which is the benchmark's.
    child::report(QStringLiteral("wakeups"),
                  double(usage::voluntarySwitches() - wakeupsBefore - 1) / elapsed);
    child::report(QStringLiteral("ptyChanges"), changes);
    child::report(QStringLiteral("caretBlinks"), caret.blinks / elapsed);
    child::report(QStringLiteral("caretWakeups"), caret.alone / elapsed);
}

// Settled: start-up done, the modems asked and not answering, a failed open reported.
constexpr int kSettleMs = 1500;

int measureBare() {
    QWidget window;
    window.resize(640, 480);
    window.show();
    QTimer tick;
    int ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(100);
    runEventLoopFor(kSettleMs);
    reportOver(seconds() * 1000);
    return ticks > 0 ? 0 : 1;
}

int measureBothOnPtys() {
    PtyPair a;
    PtyPair b;
    LiveWindow duplink(a, b);
    duplink.start();
    if (!duplink.waitPastIdentification(a, b) || !duplink.port1.PortOpen() ||
        !duplink.port2.PortOpen())
        return 1;
    runEventLoopFor(kSettleMs);
    reportOver(seconds() * 1000);
    return 0;
}

int measureWithLines() {
#ifdef DUPLINK_PTY_MODEM_LINES
    PtyModemLines lines;
    if (!lines.isValid())
        return 1;
    qputenv(PtyModemLines::kStateFileVariable, QByteArray::fromStdString(lines.stateFile()));
    PtyPair a;
    PtyPair b;
    lines.reset(PtyModemLines::indexOfMaster(a.master()));
    lines.reset(PtyModemLines::indexOfMaster(b.master()));
    return measureBothOnPtys();
#else
    return 1;
#endif
}

// A local TCP port that nothing listens on, as far as anyone can tell.
int unusedTcpPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = -1;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (s >= 0)
        ::close(s);
    return port;
}

// Port 1 names a device that is not there, or a network address where nothing listens; port 2
// is a pty.
int measureWaitingPort(const QString& mode) {
    QTemporaryDir folder;
    QString port1 = folder.filePath(QStringLiteral("adapter-not-plugged-in"));
    if (mode == kNetwork) {
        const int unused = unusedTcpPort();
        if (unused <= 0)
            return 1;
        port1 = QStringLiteral("tcp://127.0.0.1:%1").arg(unused);
    }
    PtyPair b;
    LiveWindow duplink;
    qputenv("DUPLINK_COM1", port1.toUtf8());
    qputenv("DUPLINK_COM2", b.slavePath().toUtf8());
    duplink.start();
    runEventLoopFor(2 * kSettleMs);
    b.drain();
    if (duplink.port1.PortOpen() || !duplink.port2.PortOpen())
        return 1;
    reportOver(seconds() * 1000);
    return 0;
}

int measureIn(const QString& mode) {
    if (mode == kBare)
        return measureBare();
    if (mode == kPtys)
        return measureBothOnPtys();
    if (mode == kLines)
        return measureWithLines();
    return measureWaitingPort(mode);
}

// In the parent, for the last row: a pty opened and closed every 100 ms while it lives.
class PtyChurn {
public:
    PtyChurn() {
        m_thread = std::thread([this] {
            while (!m_stop) {
                PtyPair passing;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~PtyChurn() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct Row {
    QString name;
    QString mode;
    int runs;
    bool churn = false;
    bool wakeupGoal = false;
    bool cpuGoal = false;
};

struct Measured {
    double share = -1;   // % of one core, median
    double wakeups = -1; // per second, median
};

// The library is preloaded into the child only.
class PreloadedLines {
public:
    explicit PreloadedLines(bool wanted) {
#ifdef DUPLINK_PTY_MODEM_LINES
        if (wanted)
            qputenv("LD_PRELOAD", PtyModemLines::libraryPath());
#else
        Q_UNUSED(wanted);
#endif
    }
    ~PreloadedLines() {
        qunsetenv("LD_PRELOAD");
    }
};

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (!mode.isEmpty())
        return measureIn(mode);

    Report report(QStringLiteral("Idle: CPU and wake-ups with nothing arriving"));
    report.setColumns({QStringLiteral("Program"), QStringLiteral("Runs"),
                       QStringLiteral("CPU, % of one core (median)"),
                       QStringLiteral("Wake-ups a second (median)"),
                       QStringLiteral("Runs: % of one core / wake-ups a second"),
                       QStringLiteral("Caret's blinks a second / of them in wake-ups of their own"),
                       QStringLiteral("/dev/pts changes seen per run")});
    const int mainRuns = bench::fullOrQuick(3, 1);
    const QList<Row> rows = {
        {QStringLiteral("bare window with a 100 ms timer (baseline)"), kBare, mainRuns},
        {QStringLiteral("Duplink, both ports open on ptys"), kPtys, mainRuns, false, true, true},
        {QStringLiteral("Duplink, both ports on ptys with modem lines"), kLines, mainRuns, false,
         true, true},
        {QStringLiteral("Duplink, port 1 waiting for its device"), kDevice, mainRuns, false, true,
         true},
        {QStringLiteral("Duplink, port 1 a network port waiting to reconnect"), kNetwork, mainRuns,
         false, true, true},
        {QStringLiteral("Duplink, both on ptys, while another process opens and closes a pty "
                        "every 100 ms"),
         kPtys, 1, true},
    };
    QList<Measured> measured;
    int quietRunsDisturbed = 0;
    for (const Row& row : rows) {
        std::vector<double> shares;
        std::vector<double> wakeups;
        QStringList each;
        QStringList caret;
        QStringList changes;
        for (int run = 0; run < row.runs; ++run) {
            bench::progress(
                QStringLiteral("%1, run %2 of %3").arg(row.name).arg(run + 1).arg(row.runs));
            std::unique_ptr<PtyChurn> churn;
            if (row.churn)
                churn = std::make_unique<PtyChurn>();
            const PreloadedLines preload(row.mode == kLines);
            const QMap<QString, double> result = child::runSelf({row.mode}, 60000);
            if (!result.contains(QStringLiteral("share")))
                continue;
            shares.push_back(result.value(QStringLiteral("share")) * 100);
            wakeups.push_back(result.value(QStringLiteral("wakeups")));
            each << bench::fixed(shares.back(), 3) + QStringLiteral(" / ") +
                        bench::fixed(wakeups.back(), 1);
            caret << bench::fixed(result.value(QStringLiteral("caretBlinks")), 1) +
                         QStringLiteral(" / ") +
                         bench::fixed(result.value(QStringLiteral("caretWakeups")), 1);
            const int seen = int(result.value(QStringLiteral("ptyChanges")));
            changes << QString::number(seen);
            if (!row.churn && seen > 0)
                ++quietRunsDisturbed;
        }
        Measured m;
        if (!shares.empty()) {
            m.share = bench::median(shares);
            m.wakeups = bench::median(wakeups);
        }
        measured << m;
        report.addRow({row.name, QString::number(shares.size()),
                       m.share < 0 ? QStringLiteral("-") : bench::fixed(m.share, 3),
                       m.wakeups < 0 ? QStringLiteral("-") : bench::fixed(m.wakeups, 1),
                       each.join(QStringLiteral(", ")), caret.join(QStringLiteral(", ")),
                       changes.join(QStringLiteral(", "))});
    }
    report.addNote(
        QStringLiteral(
            "Each run is a fresh process: start-up, 1.5 s to settle (3 s for a waiting port), "
            "then over %1 s of the event loop the user and system time and the voluntary "
            "context switches of all its threads (getrusage), each one a thread put to sleep "
            "and woken again, less the one that ends the run. The caret column counts the blinks "
            "of a focused text field's caret (two a second per flash period), which is kept, and "
            "of them those the process woke for alone; one that expires in the same wake-up as "
            "the program's tick (both on the 100 ms marks of the monotonic clock) costs none. The "
            "last "
            "column counts the changes a watcher of /dev/pts saw meanwhile: other programs "
            "opening or closing ptys, to which the program reacts.")
            .arg(seconds()));
    if (quietRunsDisturbed > 0)
        report.addNote(QStringLiteral("%1 of the quiet runs saw ptys come and go elsewhere on the "
                                      "machine; their figure includes the program's reaction.")
                           .arg(quietRunsDisturbed));
    const double bare = measured.value(0).share;
    for (int r = 1; r < rows.size(); ++r) {
        const Measured& m = measured[r];
        if (rows[r].wakeupGoal)
            report.addGoal(QStringLiteral("%1: at most %2 wake-ups a second")
                               .arg(rows[r].name)
                               .arg(kMostWakeupsPerSecond),
                           m.wakeups < 0 ? QStringLiteral("not measured")
                                         : bench::fixed(m.wakeups, 1),
                           m.wakeups >= 0 && m.wakeups <= kMostWakeupsPerSecond);
        if (rows[r].cpuGoal) {
            const bool known = m.share >= 0 && bare > 0;
            report.addGoal(QStringLiteral("%1: CPU within %2x the bare window")
                               .arg(rows[r].name)
                               .arg(kMostTimesBare),
                           known ? QStringLiteral("x ") + bench::fixed(m.share / bare, 1)
                                 : QStringLiteral("not measured"),
                           known && m.share <= kMostTimesBare * bare);
        }
    }
    const double quiet = measured.value(1).share;
    report.addGoal(QStringLiteral("Duplink idle: under 1% of one core"),
                   quiet < 0 ? QStringLiteral("not measured")
                             : bench::fixed(quiet, 3) + QStringLiteral(" %"),
                   quiet >= 0 && quiet < 1);
    return report.finish();
}
