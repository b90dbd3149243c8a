// Capture under load: both ports receiving 1.5 MB/s of modem text each, in normal mode and in
// transmit mode, with capture off and on, while the poll loop's ticks are timed; with capture
// on, the files are read back and must hold every byte each port received and sent.

#include "BenchRun.h"
#include "CaptureTally.h"
#include "EventTiming.h"
#include "LiveWindow.h"
#include "PacedFeed.h"
#include "ProcessUsage.h"
#include "PtyPair.h"
#include "Report.h"
#include "terminal/CaptureSwitch.h"

#include <QElapsedTimer>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr double kRate = 1.5e6;

struct Outcome {
    bool started = false;
    std::vector<double> tickMs;
    EventTiming::Handling longestTick;
    double cpuShare = 0;
    qint64 backlog = 0;
    // With capture on: whether the files hold what each port received, and what it sent on.
    bool captureWhole = false;
    QString captureAccount;
};

Outcome measure(EventTiming& app, bool transmit, bool capture, int seconds) {
    Outcome outcome;
    PtyPair a;
    PtyPair b;
    LiveWindow duplink(a, b);
    CaptureTally tally(duplink.capture);
    duplink.start();
    if (!a.isValid() || !b.isValid() || !duplink.waitPastIdentification(a, b))
        return outcome;
    if (capture && !duplink.capture.setOn(true))
        return outcome;
    if (transmit)
        duplink.find<QPushButton>(QStringLiteral("Command5"))->click();
    outcome.started = true;
    // The Clock wakes a little early now and then and only sleeps again; a tick is a wake
    // with a timer due: the poll loop, or the capture's check for a new file once a second.
    Clock& timers = duplink.clock;
    app.countTicksOf(&timers, &timers + 1, [&timers] {
        const std::optional<qint64> due = timers.nextDue();
        return due && *due <= timers.now();
    });
    app.reset();

    const qint64 total = qint64(kRate * seconds);
    PacedFeed feed(a, b, kRate, total);
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = usage::threadCpuSeconds();
    feed.start();
    while ((feed.sent(0) < total || feed.sent(1) < total) && clock.elapsed() < seconds * 2000)
        runEventLoopFor(100);
    // Until the program has read what is left in the ptys.
    runEventLoopFor(1000);
    outcome.cpuShare = (usage::threadCpuSeconds() - cpuStart) / (double(clock.elapsed()) / 1000);
    feed.stop();
    outcome.tickMs = app.tickMs;
    outcome.longestTick = app.longestTick;
    outcome.backlog = feed.largestBacklog();
    app.countTicksOf(nullptr, nullptr);
    if (!capture)
        return outcome;

    duplink.capture.setOn(false);
    if (!tally.count()) {
        outcome.captureAccount = tally.problem();
        return outcome;
    }
    bool whole = true;
    for (int port = 0; port < 2; ++port) {
        whole = whole && tally.received(port) == feed.sent(port) &&
                tally.transmitted(1 - port) == (transmit ? feed.sent(port) : 0);
    }
    outcome.captureWhole = whole;
    outcome.captureAccount = QStringLiteral("%1; %2; sent %3 and %4 MB")
                                 .arg(bench::megabytes(double(tally.fileBytes())), tally.perPort(),
                                      bench::fixed(double(feed.sent(0)) / 1e6, 1),
                                      bench::fixed(double(feed.sent(1)) / 1e6, 1));
    return outcome;
}

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    EventTiming app(argc, argv);
    const int seconds = bench::fullOrQuick(20, 5);

    Report report(QStringLiteral("Capture: both ports at 1.5 MB/s, the poll loop's ticks"));
    report.setColumns(
        {QStringLiteral("Mode"), QStringLiteral("Capture"), QStringLiteral("Ticks"),
         QStringLiteral("Median tick"), QStringLiteral("99th percentile"),
         QStringLiteral("Longest tick: wall, CPU"), QStringLiteral("GUI thread CPU, % of a core"),
         QStringLiteral("Most bytes a pty refused"), QStringLiteral("Capture files")});
    double longestWithCapture = 0;
    bool allStarted = true;
    bool captureWhole = true;
    QStringList accounts;
    // bench_capture [normal|transmit] [on|off]: only those rows, for a profiler.
    const QStringList only = app.arguments().mid(1);
    for (const bool transmit : {false, true}) {
        for (const bool capture : {false, true}) {
            if (only.contains(transmit ? QStringLiteral("normal") : QStringLiteral("transmit")) ||
                only.contains(capture ? QStringLiteral("off") : QStringLiteral("on")))
                continue;
            const QString mode = transmit ? QStringLiteral("transmit") : QStringLiteral("normal");
            const QString on = capture ? QStringLiteral("on") : QStringLiteral("off");
            bench::progress(QStringLiteral("%1 mode, capture %2, %3 s").arg(mode, on).arg(seconds));
            const Outcome o = measure(app, transmit, capture, seconds);
            allStarted = allStarted && o.started;
            const double longest = bench::maximum(o.tickMs);
            if (capture) {
                longestWithCapture = std::max(longestWithCapture, longest);
                captureWhole = captureWhole && o.captureWhole;
                accounts << mode + QStringLiteral(": ") + o.captureAccount;
            }
            report.addRow(
                {mode, on, QString::number(o.tickMs.size()), bench::ms(bench::median(o.tickMs)),
                 bench::ms(bench::percentile(o.tickMs, 0.99)),
                 QStringLiteral("%1, %2").arg(bench::ms(longest), bench::ms(o.longestTick.cpuMs)),
                 bench::fixed(o.cpuShare * 100, 0), QString::number(o.backlog),
                 capture ? o.captureAccount : QStringLiteral("-")});
        }
    }
    report.addNote(
        QStringLiteral(
            "Each row is a fresh program in the benchmark's process on two ptys, past the modems' "
            "identification; a thread writes modem text into both masters at 1.5 MB/s each for %1 "
            "s "
            "and throws away what comes back. In transmit mode each port sends on what the other "
            "received, so the capture records twice the bytes. The application object times the "
            "timer events of the program's Clock, the poll loop's ticks (wall time; CPU is the GUI "
            "thread's). With capture on, the capture goes into the run's temporary data folder and "
            "is turned off at the end, and its files are read back.")
            .arg(seconds));
    report.addGoal(QStringLiteral("The ports open and capture starts"),
                   allStarted ? QStringLiteral("yes") : QStringLiteral("no"), allStarted);
    report.addGoal(QStringLiteral("Capture on: no poll tick longer than 50 ms"),
                   bench::ms(longestWithCapture), allStarted && longestWithCapture <= 50);
    report.addGoal(QStringLiteral("Capture holds every byte each port received and sent"),
                   captureWhole ? QStringLiteral("yes") : QStringLiteral("no"),
                   allStarted && captureWhole);
    return report.finish();
}
