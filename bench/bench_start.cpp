// Start-up: from starting the process to its window shown and painted, the program built as
// main() builds it against a bare window holding one QPlainTextEdit, both as processes of this
// benchmark started and timed the same way, offscreen.

#include "BenchRun.h"
#include "PtyPair.h"
#include "Report.h"
#include "app/WholeProgram.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

const QString kDuplink = QStringLiteral("duplink");
const QString kBare = QStringLiteral("bare");

// In the child: how long each step of start-up took, told to the parent after the window
// is shown.
class Steps {
public:
    Steps() { m_clock.start(); }
    void done(const char* step) {
        const qint64 now = m_clock.nsecsElapsed();
        m_lines += QStringLiteral("step %1 %2\n")
                       .arg(QLatin1String(step))
                       .arg(double(now - m_last) / 1e6, 0, 'f', 3);
        m_last = now;
    }
    QString lines() const { return m_lines; }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    QString m_lines;
};

// In the child: the window is up and painted; the parent stops its clock on this line.
void announceShown(QWidget& window, Steps& steps) {
    while (!(window.windowHandle() && window.windowHandle()->isExposed()))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    steps.done("shown_and_painted");
    std::puts("shown");
    std::fputs(qPrintable(steps.lines()), stdout);
    std::fflush(stdout);
}

int startDuplink(int argc, char** argv) {
    Steps steps;
    QApplication app(argc, argv);
    steps.done("QApplication");
    WholeProgram duplink;
    steps.done("WholeProgram_built");
    duplink.start();
    steps.done("started");
    announceShown(duplink.form, steps);
    return 0;
}

int startBare(int argc, char** argv) {
    Steps steps;
    QApplication app(argc, argv);
    steps.done("QApplication");
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QPlainTextEdit(&window));
    window.resize(640, 480);
    steps.done("window_built");
    window.show();
    announceShown(window, steps);
    return 0;
}

struct StartTime {
    double totalMs = -1;
    std::vector<std::pair<QString, double>> stepMs; // in the order they ran
};

// From starting the child until it says its window is shown; no total when it failed.
StartTime timeStart(const QString& mode) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {mode});
    StartTime time;
    QByteArray said;
    while (child.waitForReadyRead(10000)) {
        said += child.readAll();
        if (said.contains("shown")) {
            time.totalMs = double(clock.nsecsElapsed()) / 1e6;
            break;
        }
    }
    if (!child.waitForFinished(10000)) {
        child.kill();
        child.waitForFinished();
        return {};
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    said += child.readAll();
    double inMain = 0;
    for (const QByteArray& line : said.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 3 && parts[0] == "step") {
            time.stepMs.emplace_back(QString::fromLatin1(parts[1]), parts[2].toDouble());
            inMain += parts[2].toDouble();
        }
    }
    if (time.totalMs >= 0)
        time.stepMs.insert(time.stepMs.begin(),
                           {QStringLiteral("before_main"), time.totalMs - inMain});
    return time;
}

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == kDuplink)
        return startDuplink(argc, argv);
    if (mode == kBare)
        return startBare(argc, argv);

    QCoreApplication app(argc, argv);
    // The program's ports on two ptys and its data folder in a temporary one, kept for all runs.
    PtyPair a;
    PtyPair b;
    QTemporaryDir dataRoot;
    qputenv("ProgramFiles", QFile::encodeName(dataRoot.path()));
    qputenv("DUPLINK_COM1", QFile::encodeName(a.slavePath()));
    qputenv("DUPLINK_COM2", QFile::encodeName(b.slavePath()));

    const int runs = bench::fullOrQuick(7, 3);
    const QString modes[2] = {kDuplink, kBare};
    // The first start of each writes the settings file and fills the caches: not counted.
    for (const QString& m : modes)
        timeStart(m);
    std::vector<double> totals[2];
    std::vector<std::pair<QString, std::vector<double>>> steps[2];
    int failures[2] = {0, 0};
    for (int run = 0; run < runs; ++run) {
        bench::progress(QStringLiteral("start %1 of %2").arg(run + 1).arg(runs));
        for (int m = 0; m < 2; ++m) {
            const StartTime t = timeStart(modes[m]);
            if (t.totalMs < 0) {
                ++failures[m];
                continue;
            }
            totals[m].push_back(t.totalMs);
            for (size_t i = 0; i < t.stepMs.size(); ++i) {
                if (steps[m].size() <= i)
                    steps[m].emplace_back(t.stepMs[i].first, std::vector<double>());
                steps[m][i].second.push_back(t.stepMs[i].second);
            }
        }
    }

    Report report(QStringLiteral("Start: process start to a shown, painted window"));
    report.setColumns({QStringLiteral("Program"), QStringLiteral("Runs"),
                       QStringLiteral("Median ms"), QStringLiteral("Longest ms"),
                       QStringLiteral("Failed runs"), QStringLiteral("Median ms by step")});
    const QString names[2] = {QStringLiteral("Duplink as main() starts it, ports on ptys"),
                              QStringLiteral("bare window with one QPlainTextEdit")};
    double medians[2];
    for (int m = 0; m < 2; ++m) {
        medians[m] = bench::median(totals[m]);
        QStringList byStep;
        for (const auto& [step, ms] : steps[m])
            byStep << QStringLiteral("%1 %2").arg(step, bench::fixed(bench::median(ms), 1));
        report.addRow({names[m], QString::number(totals[m].size()), bench::fixed(medians[m], 1),
                       bench::fixed(bench::maximum(totals[m]), 1), QString::number(failures[m]),
                       byStep.join(QStringLiteral(", "))});
    }
    report.addNote(QStringLiteral(
        "Both are this benchmark's own executable started again with a mode argument, so both "
        "load the same libraries; the time runs from QProcess::start until the child has shown "
        "its window, seen it exposed and painted it (offscreen platform). The steps are timed "
        "inside the child; before_main is the rest (exec, loading, static initialisation). One "
        "unmeasured start of each comes first. Runs alternate."));
    const bool measured = !totals[0].empty() && !totals[1].empty();
    report.addGoal(QStringLiteral("Duplink shown within 0.5 s"),
                   bench::fixed(medians[0], 1) + QStringLiteral(" ms"),
                   measured && failures[0] == 0 && medians[0] < 500);
    const double ratio = measured ? medians[0] / medians[1] : 0;
    report.addGoal(QStringLiteral("Duplink within 2x of the bare window"), bench::ratio(ratio),
                   measured && ratio <= 2);
    return report.finish();
}
