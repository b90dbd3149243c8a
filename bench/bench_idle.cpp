// Idle: the CPU the program uses with both ports open and nothing arriving, its ports' line
// watchers and the poll loop included, against a bare window holding one QPlainTextEdit. Each
// is measured in a fresh process of its own. A third row measures the program while another
// process opens and closes a pty ten times a second, as terminals and builds do: each change
// in /dev/pts is a device event to the program.

#include "BenchRun.h"
#include "ChildRun.h"
#include "LiveWindow.h"
#include "ProcessUsage.h"
#include "PtyPair.h"
#include "Report.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QPlainTextEdit>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

const QString kDuplink = QStringLiteral("duplink");
const QString kBare = QStringLiteral("bare");
const QString kPtyFolder = QStringLiteral("/dev/pts");

int seconds() {
    return bench::fullOrQuick(10, 3);
}

// In the child: the CPU used over `ms` of the event loop, and how often /dev/pts changed
// meanwhile (ptys opened or closed anywhere on the machine).
void reportCpuOver(int ms) {
    QFileSystemWatcher ptys({kPtyFolder});
    int changes = 0;
    QObject::connect(&ptys, &QFileSystemWatcher::directoryChanged, [&changes] { ++changes; });
    QElapsedTimer clock;
    clock.start();
    const double before = usage::processCpuSeconds();
    runEventLoopFor(ms);
    const double used = usage::processCpuSeconds() - before;
    child::report(QStringLiteral("share"), used / (double(clock.nsecsElapsed()) / 1e9));
    child::report(QStringLiteral("ptyChanges"), changes);
}

int measureIn(const QString& mode) {
    // Settled: start-up done, the modems asked and not answering.
    constexpr int kSettleMs = 1500;
    if (mode == kBare) {
        QPlainTextEdit edit;
        edit.resize(640, 480);
        edit.show();
        runEventLoopFor(kSettleMs);
        reportCpuOver(seconds() * 1000);
        return 0;
    }
    PtyPair a;
    PtyPair b;
    LiveWindow duplink(a, b);
    duplink.start();
    if (!duplink.waitPastIdentification(a, b) || !duplink.port1.PortOpen() ||
        !duplink.port2.PortOpen())
        return 1;
    runEventLoopFor(kSettleMs);
    reportCpuOver(seconds() * 1000);
    return 0;
}

// In the parent, for the third row: a pty opened and closed every 100 ms while it lives.
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
    bool churn;
};

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (mode == kDuplink || mode == kBare)
        return measureIn(mode);

    Report report(QStringLiteral("Idle: CPU with both ports open and nothing arriving"));
    report.setColumns({QStringLiteral("Program"), QStringLiteral("Runs"),
                       QStringLiteral("CPU, % of one core (median)"),
                       QStringLiteral("Runs, % of one core"),
                       QStringLiteral("/dev/pts changes seen per run")});
    const Row rows[] = {
        {QStringLiteral("Duplink, both ports open on ptys"), kDuplink, 3, false},
        {QStringLiteral("bare QPlainTextEdit window (reference)"), kBare, 1, false},
        {QStringLiteral("Duplink, while another process opens and closes a pty every 100 ms"),
         kDuplink, 1, true},
    };
    double shares[3] = {-1, -1, -1};
    int quietRunsDisturbed = 0;
    for (int r = 0; r < 3; ++r) {
        std::vector<double> got;
        QStringList each;
        QStringList changes;
        for (int run = 0; run < rows[r].runs; ++run) {
            bench::progress(QStringLiteral("%1, run %2 of %3")
                                .arg(rows[r].name)
                                .arg(run + 1)
                                .arg(rows[r].runs));
            std::unique_ptr<PtyChurn> churn;
            if (rows[r].churn)
                churn = std::make_unique<PtyChurn>();
            const QMap<QString, double> result = child::runSelf({rows[r].mode}, 60000);
            if (!result.contains(QStringLiteral("share")))
                continue;
            got.push_back(result.value(QStringLiteral("share")) * 100);
            each << bench::fixed(got.back(), 3);
            const int seen = int(result.value(QStringLiteral("ptyChanges")));
            changes << QString::number(seen);
            if (!rows[r].churn && seen > 0)
                ++quietRunsDisturbed;
        }
        if (!got.empty())
            shares[r] = bench::median(got);
        report.addRow({rows[r].name, QString::number(got.size()),
                       shares[r] < 0 ? QStringLiteral("-") : bench::fixed(shares[r], 3),
                       each.join(QStringLiteral(", ")), changes.join(QStringLiteral(", "))});
    }
    report.addNote(
        QStringLiteral("Each run is a fresh process: start-up, 1.5 s to settle, then user and "
                       "system time (getrusage) over %1 s of the event loop. The last column "
                       "counts the changes a watcher of /dev/pts saw in that time: other "
                       "programs opening or closing ptys, to which the program reacts.")
            .arg(seconds()));
    if (quietRunsDisturbed > 0)
        report.addNote(QStringLiteral("%1 of the quiet runs saw ptys come and go elsewhere on the "
                                      "machine; their figure includes the program's reaction.")
                           .arg(quietRunsDisturbed));
    report.addGoal(QStringLiteral("Duplink idle: under 1% of one core"),
                   shares[0] < 0 ? QStringLiteral("not measured")
                                 : bench::fixed(shares[0], 3) + QStringLiteral(" %"),
                   shares[0] >= 0 && shares[0] < 1);
    return report.finish();
}
