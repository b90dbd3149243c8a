// The transmit relay: the program in transmit mode passing random bytes between two ptys both
// ways at once with both logs on, as text and as hex, against jpnevulator and socat relaying the
// same ptys, with the same pump and the same byte-for-byte check; and the program relaying as text
// with capture on, against the same without.

#include "BenchRun.h"
#include "CaptureTally.h"
#include "LiveWindow.h"
#include "PortLossWatch.h"
#include "ProcessUsage.h"
#include "PtyPair.h"
#include "RelayPump.h"
#include "Report.h"
#include "ui/LogView.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace {

enum class Relay { DuplinkText, DuplinkCapture, DuplinkHex, Jpnevulator, SocatHex, Socat };

bool isDuplink(Relay r) {
    return r == Relay::DuplinkText || r == Relay::DuplinkCapture || r == Relay::DuplinkHex;
}

QString nameOf(Relay r) {
    switch (r) {
    case Relay::DuplinkText:
    case Relay::DuplinkCapture:
    case Relay::DuplinkHex:
        return QStringLiteral("Duplink, transmit mode");
    case Relay::Jpnevulator:
        return QStringLiteral("jpnevulator --read --pass --ascii");
    case Relay::SocatHex:
        return QStringLiteral("socat -x");
    case Relay::Socat:
        return QStringLiteral("socat");
    }
    return {};
}

// The name that picks a relay's row on the command line.
QString rowName(Relay r) {
    switch (r) {
    case Relay::DuplinkText:
        return QStringLiteral("text");
    case Relay::DuplinkCapture:
        return QStringLiteral("capture");
    case Relay::DuplinkHex:
        return QStringLiteral("hex");
    case Relay::Jpnevulator:
        return QStringLiteral("jpnevulator");
    case Relay::SocatHex:
        return QStringLiteral("socat-x");
    case Relay::Socat:
        return QStringLiteral("socat");
    }
    return {};
}

QString loggingOf(Relay r) {
    if (r == Relay::DuplinkCapture)
        return QStringLiteral("both logs, text; capture on");
    if (isDuplink(r))
        return r == Relay::DuplinkHex ? QStringLiteral("both logs, hex")
                                      : QStringLiteral("both logs, text");
    if (r == Relay::Socat)
        return QStringLiteral("none (the ceiling)");
    return QStringLiteral("hex to /dev/null");
}

struct Outcome {
    double rate[2] = {0, 0}; // bytes per second each way
    double cpuShare = 0;     // of one core, the relay's own
    QString segments;        // each segment's rates, to show a trend
    bool exact = false;
    QString problem;
    // With capture on: whether the files hold every byte relayed, each port and each way.
    bool captureWhole = false;
    QString captureAccount;
};

// The relay as a process of its own, on the two ptys' slaves.
std::unique_ptr<QProcess> startProcess(Relay r, const PtyPair& a, const PtyPair& b) {
    QString program = QStringLiteral("socat");
    QStringList arguments;
    if (r == Relay::Jpnevulator) {
        program = QStringLiteral("jpnevulator");
        arguments = {QStringLiteral("--read"),
                     QStringLiteral("--pass"),
                     QStringLiteral("--ascii"),
                     QStringLiteral("--tty"),
                     a.slavePath(),
                     QStringLiteral("--tty"),
                     b.slavePath()};
    } else {
        if (r == Relay::SocatHex)
            arguments << QStringLiteral("-x");
        for (const PtyPair* l : {&a, &b})
            arguments << QStringLiteral("GOPEN:%1,raw,echo=0").arg(l->slavePath());
    }
    auto process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    return process;
}

// The program in transmit mode on the two ptys, its ports watched for being given up; capture,
// when on, starts after the modems' identification and goes into the data folder's results.
struct DuplinkRelay {
    DuplinkRelay(PtyPair& a, PtyPair& b, Relay r)
        : program(a, b), watch1(program.port1, QStringLiteral("port 1")),
          watch2(program.port2, QStringLiteral("port 2")), tally(program.capture) {
        program.start();
        started = program.waitPastIdentification(a, b);
        if (r == Relay::DuplinkCapture)
            started = started && program.capture.setOn(true);
        if (r == Relay::DuplinkHex) {
            program.find<QCheckBox>(QStringLiteral("Check9"))->click();
            program.find<QCheckBox>(QStringLiteral("Check10"))->click();
        }
        program.find<QPushButton>(QStringLiteral("Command5"))->click();
    }
    bool lost() const { return watch1.lost() || watch2.lost(); }
    QString lossAccount() const {
        return QStringList{watch1.account(), watch2.account()}.join(QLatin1Char(' ')).trimmed();
    }

    LiveWindow program;
    PortLossWatch watch1;
    PortLossWatch watch2;
    CaptureTally tally;
    bool started = false;
};

// Port 1 received what went in at the first pty and sent what went in at the second; port 2 the
// other way round.
void checkCapture(DuplinkRelay& duplink, const RelayPump& pump, Outcome& outcome) {
    duplink.program.capture.setOn(false);
    if (!duplink.tally.count()) {
        outcome.captureAccount = duplink.tally.problem();
        return;
    }
    const CaptureTally& t = duplink.tally;
    outcome.captureWhole =
        t.received(0) == pump.delivered(0) && t.transmitted(1) == pump.delivered(0) &&
        t.received(1) == pump.delivered(1) && t.transmitted(0) == pump.delivered(1);
    outcome.captureAccount = QStringLiteral("%1 in %2 file(s); %3; relayed %4 and %5 MB")
                                 .arg(bench::megabytes(double(t.fileBytes())))
                                 .arg(t.files().size())
                                 .arg(t.perPort(), bench::fixed(double(pump.delivered(0)) / 1e6, 1),
                                      bench::fixed(double(pump.delivered(1)) / 1e6, 1));
}

Outcome measure(Relay r, int seconds) {
    Outcome outcome;
    PtyPair a;
    PtyPair b;
    if (!a.isValid() || !b.isValid()) {
        outcome.problem = QStringLiteral("no pty");
        return outcome;
    }
    std::unique_ptr<DuplinkRelay> duplink;
    std::unique_ptr<QProcess> process;
    if (isDuplink(r)) {
        duplink = std::make_unique<DuplinkRelay>(a, b, r);
        if (!duplink->started) {
            outcome.problem = QStringLiteral("the ports did not open");
            return outcome;
        }
    } else {
        process = startProcess(r, a, b);
        if (!process) {
            outcome.problem = QStringLiteral("did not start");
            return outcome;
        }
        // Until it has opened and set up both ttys.
        runEventLoopFor(500);
    }
    const auto cpuNow = [&] {
        return duplink ? usage::threadCpuSeconds() : usage::cpuSecondsOf(process->processId());
    };
    const auto lost = [&] {
        return duplink && duplink->lost();
    };

    RelayPump pump(a, b);
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = cpuNow();
    pump.start();
    // A second to fill the buffers on the way, then three equal segments; a relay that gives a
    // port up is not waited for.
    const auto runUntil = [&](qint64 ms) {
        while (clock.elapsed() < ms && !lost())
            runEventLoopFor(int(std::min<qint64>(100, ms - clock.elapsed())));
    };
    constexpr int kWarmUpMs = 1000;
    runUntil(kWarmUpMs);
    const int segmentMs = (seconds * 1000 - kWarmUpMs) / 3;
    std::vector<double> rates[2];
    qint64 lastAt = clock.nsecsElapsed();
    qint64 last[2] = {pump.delivered(0), pump.delivered(1)};
    for (int segment = 1; segment <= 3 && !lost(); ++segment) {
        runUntil(kWarmUpMs + segment * segmentMs);
        const qint64 at = clock.nsecsElapsed();
        for (int d = 0; d < 2; ++d) {
            const qint64 now = pump.delivered(d);
            rates[d].push_back(double(now - last[d]) / (double(at - lastAt) / 1e9));
            last[d] = now;
        }
        lastAt = at;
    }
    const double cpu = cpuNow() - cpuStart;
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    pump.stopWriting();
    QElapsedTimer draining;
    draining.start();
    while (!pump.allDelivered() && pump.intact() && !lost() && draining.elapsed() < 15000)
        runEventLoopFor(20);
    pump.stop();
    if (r == Relay::DuplinkCapture)
        checkCapture(*duplink, pump, outcome);

    QStringList each;
    for (size_t i = 0; i < rates[0].size(); ++i)
        each << QStringLiteral("%1/%2")
                    .arg(rates[0][i] / 1e6, 0, 'f', 1)
                    .arg(rates[1][i] / 1e6, 0, 'f', 1);
    outcome.segments = each.join(QStringLiteral(", "));
    for (int d = 0; d < 2; ++d) {
        // A relay that stopped early is rated by all it delivered over the time it ran.
        outcome.rate[d] = lost() ? double(pump.delivered(d)) / elapsed : bench::median(rates[d]);
    }
    outcome.cpuShare = cpu / elapsed;
    outcome.exact = pump.intact() && pump.allDelivered() && !lost();
    if (lost())
        outcome.problem = duplink->lossAccount();
    else if (!pump.intact())
        outcome.problem = pump.fault();
    else if (!pump.allDelivered())
        outcome.problem = QStringLiteral("%1 and %2 bytes never came out")
                              .arg(pump.written(0) - pump.delivered(0))
                              .arg(pump.written(1) - pump.delivered(1));
    if (process) {
        process->terminate();
        if (!process->waitForFinished(3000))
            process->kill();
        process->waitForFinished(3000);
    }
    return outcome;
}

QString rateText(double bytesPerSecond) {
    return bench::fixed(bytesPerSecond / 1e6, 2);
}

} // namespace

// The long run: Duplink alone, relaying as text for SOAK_SECONDS (600 unless set), and what it
// holds in memory at the end.
int soak() {
    const int seconds = qEnvironmentVariableIntValue("SOAK_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("SOAK_SECONDS")
                            : 600;
    Report report(QStringLiteral("Relay soak: random bytes both ways at once, logged as text"));
    report.setColumns({QStringLiteral("Seconds"), QStringLiteral("Port 1 to 2, MB/s"),
                       QStringLiteral("Port 2 to 1, MB/s"), QStringLiteral("Resident at the end"),
                       QStringLiteral("Peak resident"), QStringLiteral("Byte-exact")});
    bench::progress(QStringLiteral("soak, %1 s").arg(seconds));
    const Outcome o = measure(Relay::DuplinkText, seconds);
    QString exact = o.exact ? QStringLiteral("yes") : QStringLiteral("no");
    if (!o.problem.isEmpty())
        exact += QStringLiteral(": ") + o.problem;
    report.addRow({QString::number(seconds), rateText(o.rate[0]), rateText(o.rate[1]),
                   bench::megabytes(double(usage::residentBytes())),
                   bench::megabytes(double(usage::peakResidentBytes())), exact});
    report.addNote(QStringLiteral("Both logs keep everything relayed; past 128 MB each, the "
                                  "older part of a log is in a file in the cache folder."));
    report.addGoal(QStringLiteral("Relayed byte-exact each way, no port lost"),
                   o.exact ? QStringLiteral("yes") : QStringLiteral("no"), o.exact);
    return report.finish();
}

// The long relay: Duplink alone, relaying as text until each way has carried `megabytes` MB,
// and what it holds in memory at the end. Both logs keep everything, the older part of each in
// its file in the cache folder.
int longRelay(qint64 megabytes) {
    const qint64 target = megabytes * 1000 * 1000;
    constexpr double kResidentBound = 512.0 * 1024 * 1024;
    Report report(QStringLiteral("Long relay: %1 MB each way, logged as text").arg(megabytes));
    report.setColumns({QStringLiteral("Seconds"), QStringLiteral("Port 1 to 2, MB/s"),
                       QStringLiteral("Port 2 to 1, MB/s"), QStringLiteral("Logs hold"),
                       QStringLiteral("Of that in files"), QStringLiteral("Resident at the end"),
                       QStringLiteral("Peak resident"), QStringLiteral("Byte-exact")});
    PtyPair a;
    PtyPair b;
    if (!a.isValid() || !b.isValid())
        return 1;
    DuplinkRelay duplink(a, b, Relay::DuplinkText);
    if (!duplink.started)
        return 1;
    RelayPump pump(a, b);
    QElapsedTimer clock;
    clock.start();
    pump.start();
    qint64 lastProgress = 0;
    while ((pump.delivered(0) < target || pump.delivered(1) < target) && pump.intact() &&
           !duplink.lost()) {
        runEventLoopFor(100);
        if (clock.elapsed() - lastProgress >= 30000) {
            lastProgress = clock.elapsed();
            bench::progress(QStringLiteral("%1 s: %2 and %3 delivered, %4 resident")
                                .arg(clock.elapsed() / 1000)
                                .arg(bench::megabytes(double(pump.delivered(0))),
                                     bench::megabytes(double(pump.delivered(1))),
                                     bench::megabytes(double(usage::residentBytes()))));
        }
    }
    const double seconds = double(clock.elapsed()) / 1000;
    pump.stopWriting();
    QElapsedTimer draining;
    draining.start();
    while (!pump.allDelivered() && pump.intact() && !duplink.lost() && draining.elapsed() < 15000)
        runEventLoopFor(20);
    pump.stop();
    runEventLoopFor(500);

    const bool exact = pump.intact() && pump.allDelivered() && !duplink.lost();
    QString exactText = exact ? QStringLiteral("yes") : QStringLiteral("no");
    if (duplink.lost())
        exactText += QStringLiteral(": ") + duplink.lossAccount();
    else if (!pump.intact())
        exactText += QStringLiteral(": ") + pump.fault();
    qint64 held = 0;
    qint64 inFiles = 0;
    for (int channel = 0; channel < 2; ++channel) {
        const LogView* log = duplink.program.log(channel);
        held += log->size();
        if (!log->storeFiles().isEmpty())
            inFiles += QFileInfo(log->storeFiles().first()).size();
    }
    const double resident = double(usage::residentBytes());
    report.addRow({bench::fixed(seconds, 0), rateText(double(pump.delivered(0)) / seconds),
                   rateText(double(pump.delivered(1)) / seconds), bench::megabytes(double(held)),
                   bench::megabytes(double(inFiles)), bench::megabytes(resident),
                   bench::megabytes(double(usage::peakResidentBytes())), exactText});
    report.addNote(QStringLiteral(
        "Random bytes (all 256 values) both ways at once, as fast as they are taken, until each "
        "way has carried the amount; both logs on, as text. Resident is VmRSS of the benchmark's "
        "process, which holds the program; peak is VmHWM. MB is 10^6 bytes; the bound is "
        "512 MiB."));
    report.addGoal(QStringLiteral("Relayed byte-exact each way, no port lost"),
                   exact ? QStringLiteral("yes") : QStringLiteral("no"), exact);
    report.addGoal(QStringLiteral("Logs hold all that was relayed"), bench::megabytes(double(held)),
                   held >= pump.delivered(0) + pump.delivered(1));
    report.addGoal(QStringLiteral("Resident at the end under 512 MiB"), bench::megabytes(resident),
                   resident < kResidentBound);
    return report.finish();
}

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("soak"))
        return soak();
    // bench_relay long [megabytes each way, 4000 unless given]
    if (app.arguments().value(1) == QLatin1String("long")) {
        const qint64 megabytes = app.arguments().value(2).toLongLong();
        return longRelay(megabytes > 0 ? megabytes : 4000);
    }
    // bench_relay [row...]: only the rows named (text capture hex jpnevulator socat-x socat),
    // and only the goals those rows measure.
    const QStringList wanted = app.arguments().mid(1);
    const int seconds = bench::fullOrQuick(30, 5);

    Report report(QStringLiteral("Transmit relay: random bytes both ways at once"));
    report.setColumns({QStringLiteral("Relay"), QStringLiteral("Logging"),
                       QStringLiteral("Port 1 to 2, MB/s"), QStringLiteral("Port 2 to 1, MB/s"),
                       QStringLiteral("Segments, MB/s each way"),
                       QStringLiteral("Relay CPU, % of a core"), QStringLiteral("Byte-exact")});
    std::map<Relay, Outcome> outcomes;
    std::set<Relay> measured;
    for (const Relay r : {Relay::DuplinkText, Relay::DuplinkCapture, Relay::DuplinkHex,
                          Relay::Jpnevulator, Relay::SocatHex, Relay::Socat}) {
        if (!wanted.isEmpty() && !wanted.contains(rowName(r)))
            continue;
        bench::progress(QStringLiteral("%1 (%2), %3 s").arg(nameOf(r), loggingOf(r)).arg(seconds));
        const Outcome o = measure(r, seconds);
        outcomes[r] = o;
        measured.insert(r);
        QString exact = o.exact ? QStringLiteral("yes") : QStringLiteral("no");
        if (!o.problem.isEmpty())
            exact += QStringLiteral(": ") + o.problem;
        report.addRow({nameOf(r), loggingOf(r), rateText(o.rate[0]), rateText(o.rate[1]),
                       o.segments, bench::fixed(o.cpuShare * 100, 0), exact});
    }
    report.addNote(
        QStringLiteral(
            "Each relay joins the slaves of two pty pairs; the benchmark writes random bytes (all "
            "256 values) into both masters as fast as they are taken and checks every byte that "
            "comes out of the other master against what went in. %1 s per relay: a second to "
            "fill the buffers, then the median of three equal segments; a relay that gives a port "
            "up is stopped there and rated by what it delivered until then. MB is 10^6 bytes. "
            "Duplink runs in the benchmark's process and its CPU is the GUI thread's; the others "
            "are processes of their own with their log sent to /dev/null. A port the program "
            "gives up as lost ends its run and fails its goals. With capture on, the capture "
            "starts after the modems' identification, in the run's temporary data folder; once the "
            "relay has stopped it is turned off and its files are read back.")
            .arg(seconds));

    const auto ran = [&](std::initializer_list<Relay> rows) {
        return std::all_of(rows.begin(), rows.end(), [&](Relay r) { return measured.count(r); });
    };
    const Outcome& jpn = outcomes[Relay::Jpnevulator];
    const auto timesJpn = [&](const Outcome& o) {
        if (!(jpn.rate[0] > 0 && jpn.rate[1] > 0))
            return 0.0;
        return std::min(o.rate[0] / jpn.rate[0], o.rate[1] / jpn.rate[1]);
    };
    const Outcome& text = outcomes[Relay::DuplinkText];
    const Outcome& hex = outcomes[Relay::DuplinkHex];
    if (ran({Relay::DuplinkText, Relay::DuplinkHex}))
        report.addGoal(QStringLiteral("Text and hex: relayed byte-exact each way, no port lost"),
                       text.exact && hex.exact ? QStringLiteral("yes") : QStringLiteral("no"),
                       text.exact && hex.exact);
    if (ran({Relay::DuplinkText, Relay::Jpnevulator})) {
        const double textTimes = timesJpn(text);
        report.addGoal(QStringLiteral("Text: at least 4x jpnevulator each way"),
                       bench::ratio(textTimes), text.exact && textTimes >= 4);
    }
    if (ran({Relay::DuplinkText})) {
        const double slower = std::min(text.rate[0], text.rate[1]);
        report.addGoal(QStringLiteral("Text: at least 3 MB/s each way"),
                       rateText(slower) + QStringLiteral(" MB/s"), text.exact && slower >= 3e6);
    }
    if (ran({Relay::DuplinkHex, Relay::Jpnevulator})) {
        const double hexTimes = timesJpn(hex);
        report.addGoal(QStringLiteral("Hex: at least 2x jpnevulator each way"),
                       bench::ratio(hexTimes), hex.exact && hexTimes >= 2);
    }
    if (ran({Relay::DuplinkHex})) {
        const double slower = std::min(hex.rate[0], hex.rate[1]);
        report.addGoal(QStringLiteral("Hex: at least 20 MB/s each way"),
                       rateText(slower) + QStringLiteral(" MB/s"), hex.exact && slower >= 20e6);
    }
    const Outcome& captured = outcomes[Relay::DuplinkCapture];
    if (ran({Relay::DuplinkText, Relay::DuplinkCapture})) {
        const double kept =
            text.rate[0] > 0 && text.rate[1] > 0
                ? std::min(captured.rate[0] / text.rate[0], captured.rate[1] / text.rate[1])
                : 0;
        report.addGoal(
            QStringLiteral("Text with capture on: at least 80% of text without, each way"),
            bench::fixed(kept * 100, 0) + QStringLiteral(" %"), captured.exact && kept >= 0.8);
    }
    if (ran({Relay::DuplinkCapture}))
        report.addGoal(QStringLiteral("Capture holds every byte relayed, each port and each way"),
                       captured.captureAccount, captured.captureWhole);
    return report.finish();
}
