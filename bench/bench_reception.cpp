// Reception: both ports receiving 1.5 MB/s of modem text each in normal mode until each log
// holds 100 MB, while the poll loop's ticks, the event loop's stalls and clicks on "Run" are
// timed.

#include "BenchRun.h"
#include "ClickProbe.h"
#include "EventTiming.h"
#include "LiveWindow.h"
#include "PacedFeed.h"
#include "ProcessUsage.h"
#include "PtyPair.h"
#include "Report.h"
#include "StallWatch.h"
#include "ui/LogView.h"

#include <QElapsedTimer>
#include <QPushButton>

#include <algorithm>
#include <utility>

namespace {

constexpr double kRate = 1.5e6;

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    EventTiming app(argc, argv);
    const qint64 target = bench::fullOrQuick<qint64>(100, 10) * 1000 * 1000;

    Report report(QStringLiteral("Reception: both ports at 1.5 MB/s until each log holds %1")
                      .arg(bench::megabytes(double(target))));
    PtyPair a;
    PtyPair b;
    LiveWindow duplink(a, b);
    duplink.start();
    if (!a.isValid() || !b.isValid() || !duplink.waitPastIdentification(a, b)) {
        report.addGoal(QStringLiteral("The ports open"), QStringLiteral("no"), false);
        return report.finish();
    }
    app.countTicksOf(&duplink.clock, &duplink.clock + 1);
    app.reset();

    StallWatch stalls;
    ClickProbe clicks(
        {duplink.find<QPushButton>(QStringLiteral("Command3")),
         duplink.find<QPushButton>(QStringLiteral("Command6"))},
        [&](int channel) { return duplink.channel(channel).SendPending == 1; }, 250);
    PacedFeed feed(a, b, kRate, target);
    const auto held = [&] {
        return std::min(duplink.log(0)->size(), duplink.log(1)->size());
    };

    QElapsedTimer clock;
    clock.start();
    const double cpuStart = usage::threadCpuSeconds();
    usage::OthersLoad others;
    others.start();
    stalls.start();
    feed.start();
    clicks.start();
    const qint64 timeoutMs = qint64(double(target) / kRate * 1000) + 30000;
    qint64 reportedAt = 0;
    while (held() < target && clock.elapsed() < timeoutMs) {
        runEventLoopFor(100);
        if (clock.elapsed() - reportedAt >= 10000) {
            reportedAt = clock.elapsed();
            bench::progress(QStringLiteral("%1 s: the logs hold %2 and %3")
                                .arg(reportedAt / 1000)
                                .arg(bench::megabytes(double(duplink.log(0)->size())),
                                     bench::megabytes(double(duplink.log(1)->size()))));
        }
    }
    const double seconds = double(clock.elapsed()) / 1000;
    const double cpu = usage::threadCpuSeconds() - cpuStart;
    const double othersCores = others.coresBusy();
    clicks.stop();
    feed.stop();
    stalls.stop();
    // Clicks posted at the very end are handled now.
    runEventLoopFor(200);

    const double longestTick = bench::maximum(app.tickMs);
    const double longestClick = bench::maximum(clicks.latencyMs);
    report.setColumns({QStringLiteral("Figure"), QStringLiteral("Value")});
    report.addRow(
        {QStringLiteral("Logs hold"), QStringLiteral("%1 and %2 after %3 s")
                                          .arg(bench::megabytes(double(duplink.log(0)->size())),
                                               bench::megabytes(double(duplink.log(1)->size())))
                                          .arg(bench::fixed(seconds, 1))});
    report.addRow(
        {QStringLiteral("Poll ticks: count, median, 99th percentile, longest"),
         QStringLiteral("%1, %2, %3, %4")
             .arg(app.tickMs.size())
             .arg(bench::ms(bench::median(app.tickMs)),
                  bench::ms(bench::percentile(app.tickMs, 0.99)), bench::ms(longestTick))});
    report.addRow(
        {QStringLiteral("Repaints: count, median, longest"),
         QStringLiteral("%1, %2, %3")
             .arg(app.paintMs.size())
             .arg(bench::ms(bench::median(app.paintMs)), bench::ms(bench::maximum(app.paintMs)))});
    const std::pair<QString, const EventTiming::Handling*> longest[] = {
        {QStringLiteral("tick"), &app.longestTick},
        {QStringLiteral("repaint"), &app.longestPaint},
        {QStringLiteral("other event"), &app.longestOther}};
    for (const auto& [name, h] : longest) {
        report.addRow({QStringLiteral("Longest %1: wall, GUI thread CPU").arg(name),
                       QStringLiteral("%1, %2 (%3)")
                           .arg(bench::ms(h->wallMs), bench::ms(h->cpuMs), h->what)});
    }
    report.addRow({QStringLiteral("Longest event-loop stall (lateness of a %1 ms timer)")
                       .arg(StallWatch::kIntervalMs),
                   bench::ms(stalls.longestStallMs()) +
                       QStringLiteral(", %1 over 20 ms").arg(stalls.longStalls())});
    report.addRow({QStringLiteral("Run clicks: count, median, longest until SendPending = 1"),
                   QStringLiteral("%1, %2, %3")
                       .arg(clicks.latencyMs.size())
                       .arg(bench::ms(bench::median(clicks.latencyMs)), bench::ms(longestClick))});
    report.addRow({QStringLiteral("Most bytes a pty refused (program behind)"),
                   QString::number(feed.largestBacklog())});
    report.addRow({QStringLiteral("GUI thread CPU"),
                   bench::fixed(cpu / seconds * 100, 0) + QStringLiteral(" % of a core")});
    report.addRow({QStringLiteral("Other processes on the machine meanwhile"),
                   bench::fixed(othersCores, 2) + QStringLiteral(" cores busy on average")});
    report.addNote(QStringLiteral(
        "The program runs in the benchmark's process on two ptys; a thread writes modem text "
        "into both masters at 1.5 MB/s each. The application object times every event the event "
        "loop hands out; the poll loop's ticks are the wake-ups of the program's Clock. "
        "Another thread posts a click on Terminal 1's or Terminal 2's Run every 250 ms; the time "
        "counted runs from the post until the channel's SendPending is 1. An event whose wall time "
        "is far above its CPU time was waiting for a core, not working."));

    const bool filled = held() >= target;
    report.addGoal(QStringLiteral("Both logs reach %1").arg(bench::megabytes(double(target))),
                   filled ? QStringLiteral("yes") : QStringLiteral("no"), filled);
    report.addGoal(QStringLiteral("No poll tick longer than 50 ms"), bench::ms(longestTick),
                   !app.tickMs.empty() && longestTick <= 50);
    report.addGoal(QStringLiteral("No event-loop stall longer than 50 ms"),
                   bench::ms(stalls.longestStallMs()), stalls.longestStallMs() <= 50);
    const bool clicksOk =
        !clicks.latencyMs.empty() && clicks.clicksWithoutEffect == 0 && longestClick <= 100;
    report.addGoal(QStringLiteral("Every Run click handled within 100 ms"),
                   bench::ms(longestClick) +
                       (clicks.clicksWithoutEffect
                            ? QStringLiteral(", %1 without effect").arg(clicks.clicksWithoutEffect)
                            : QString()),
                   clicksOk);
    return report.finish();
}
