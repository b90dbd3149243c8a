// Resident memory per character a log holds after 50 MB of received modem text: the program's
// LogView against the stock QPlainTextEdit, each measured in a fresh process of its own; the real
// executable fed modem text through a pty as fast as the pty takes it; and how soon the window's
// "Clear" gives a full log's memory back to the system.

#include "BenchRun.h"
#include "ChildRun.h"
#include "DuplinkProcess.h"
#include "LiveWindow.h"
#include "ModemText.h"
#include "ProcessUsage.h"
#include "PtyPair.h"
#include "Report.h"
#include "ShownLog.h"
#include "terminal/ChannelView.h"
#include "terminal/TerminalChannel.h"
#include "text/AnsiCodePage.h"
#include "ui/LogView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <array>
#include <functional>

namespace {

// What a port receiving 1.5 MB/s brings to one tick of the poll loop.
constexpr qsizetype kTickBytes = 150 * 1000;
const QString kLogView = QStringLiteral("logview");
const QString kStock = QStringLiteral("plaintext");
const QString kCleared = QStringLiteral("clear");
// Resident memory this close to where it was before filling counts as given back.
constexpr qint64 kGivenBackWithin = 2 * 1000 * 1000;

qint64 textSize() {
    return bench::fullOrQuick<qint64>(50, 10) * 1000 * 1000;
}

qint64 executableTextSize() {
    return bench::fullOrQuick<qint64>(20, 5) * 1000 * 1000;
}

// Hands `append` the received text tick by tick until textSize() is held, letting the window
// paint now and then as it would between ticks. Gives the characters held.
qint64 fillTickByTick(const std::function<void(const QByteArray&)>& append) {
    std::array<QByteArray, 8> ticks;
    for (size_t i = 0; i < ticks.size(); ++i)
        ticks[i] = modemLines(kTickBytes, quint32(i));
    qint64 held = 0;
    for (size_t tick = 0; held < textSize(); ++tick) {
        const QByteArray& received = ticks[tick % ticks.size()];
        append(received);
        held += received.size();
        if (tick % 10 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    return held;
}

// In the child: fills one log tick by tick and reports what it cost.
int measureIn(const QString& kind) {
    QPlainTextEdit stock;
    LogView log;
    QWidget& shown = kind == kLogView ? static_cast<QWidget&>(log) : stock;
    bench::showAndSettle(shown);

    const qint64 before = usage::residentBytes();
    const qint64 held = fillTickByTick([&](const QByteArray& received) {
        if (kind == kLogView) {
            log.appendBytes(received);
            return;
        }
        QTextCursor end(stock.document());
        end.movePosition(QTextCursor::End);
        end.insertText(ansi::decode(received));
        stock.moveCursor(QTextCursor::End);
    });
    child::report(QStringLiteral("characters"), double(held));
    child::report(QStringLiteral("resident"), double(usage::residentBytes() - before));
    child::report(QStringLiteral("peak"), double(usage::peakResidentBytes() - before));
    return 0;
}

// In the child: the whole window fills Terminal 1's log, then its "Clear" button is pressed;
// reports how long until resident memory is back near where it was before filling.
int measureClearIn() {
    PtyPair device1;
    PtyPair device2;
    LiveWindow live(device1, device2);
    live.start();
    if (!live.waitPastIdentification(device1, device2))
        return 1;
    runEventLoopFor(300);
    const qint64 before = usage::residentBytes();
    ChannelView& view = live.channel(0).view;
    const qint64 held =
        fillTickByTick([&view](const QByteArray& received) { view.appendToLog(received); });
    child::report(QStringLiteral("characters"), double(held));
    child::report(QStringLiteral("resident"), double(usage::residentBytes() - before));
    child::report(QStringLiteral("peak"), double(usage::peakResidentBytes() - before));

    QElapsedTimer since;
    since.start();
    live.find<QPushButton>(QStringLiteral("Command4"))->click();
    double givenBackMs = -1;
    while (since.elapsed() < 1000) {
        if (usage::residentBytes() - before < kGivenBackWithin) {
            givenBackMs = double(since.nsecsElapsed()) / 1e6;
            break;
        }
        QApplication::processEvents();
        QThread::msleep(2);
    }
    runEventLoopFor(int(std::max<qint64>(0, 1000 - since.elapsed())));
    child::report(QStringLiteral("givenBackMs"), givenBackMs);
    child::report(QStringLiteral("left"), double(usage::residentBytes() - before));
    return 0;
}

// Another process's resident memory once it has stopped changing: the last half second (five
// poll ticks) within 64 KB, after at least `atLeastMs`.
qint64 settledResidentOf(qint64 pid, int atLeastMs) {
    QThread::msleep(ulong(atLeastMs));
    std::vector<qint64> samples;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
        samples.push_back(usage::residentBytesOf(pid));
        if (samples.size() >= 6) {
            const auto last = samples.end() - 6;
            const auto [low, high] = std::minmax_element(last, samples.end());
            if (*high - *low < (64 << 10))
                break;
        }
        QThread::msleep(100);
    }
    return samples.back();
}

// The real executable, its port 1 on a pty as the default settings open it, fed modem text as
// fast as the pty takes it once start-up has settled. Reports as a child does; empty when the
// program did not run through.
QMap<QString, double> measureExecutable() {
    PtyPair device;
    DuplinkProcess duplink;
    duplink.setPortDevice(1, device.slavePath());
    if (!duplink.start() || !duplink.waitUntilHolding(device.slavePath()))
        return {};
    const qint64 pid = duplink.pid();
    // Past asking port 1 who it is (nobody answers) and the window's first paints.
    const qint64 before = settledResidentOf(pid, 2000);
    device.drain();
    const QByteArray text = modemLines(executableTextSize(), 7);
    if (!device.write(text))
        return {};
    QElapsedTimer waited;
    waited.start();
    while (device.unreadByProgram() > 0 && waited.elapsed() < 60000)
        QThread::msleep(20);
    const qint64 after = settledResidentOf(pid, 500);
    const qint64 peak = usage::peakResidentBytesOf(pid);
    if (duplink.terminate() != 0 || device.unreadByProgram() > 0)
        return {};
    return {{QStringLiteral("characters"), double(text.size())},
            {QStringLiteral("resident"), double(after - before)},
            {QStringLiteral("peak"), double(peak - before)}};
}

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (mode == kLogView || mode == kStock)
        return measureIn(mode);
    if (mode == kCleared)
        return measureClearIn();

    Report report(QStringLiteral("Memory: resident bytes per character held"));
    report.setColumns({QStringLiteral("Log"), QStringLiteral("Text held"), QStringLiteral("Runs"),
                       QStringLiteral("Resident growth"), QStringLiteral("Bytes per character"),
                       QStringLiteral("Peak growth"), QStringLiteral("After \"Clear\"")});
    struct Row {
        QString name;
        std::function<QMap<QString, double>()> run;
    };
    const auto inChild = [](const QString& kind) {
        return [kind] {
            return child::runSelf({kind}, 600000);
        };
    };
    const std::array<Row, 4> rows = {{
        {QStringLiteral("LogView"), inChild(kLogView)},
        {QStringLiteral("QPlainTextEdit"), inChild(kStock)},
        {QStringLiteral("duplink executable, port 1 fed through a pty"), measureExecutable},
        {QStringLiteral("Whole window, Terminal 1's log, then \"Clear\""), inChild(kCleared)},
    }};
    std::array<double, rows.size()> perCharacter{};
    double slowestGiveBack = -1;
    for (size_t k = 0; k < rows.size(); ++k) {
        const int runs = bench::fullOrQuick(3, 1);
        std::vector<double> resident;
        std::vector<double> peak;
        std::vector<double> givenBack;
        std::vector<double> left;
        double characters = 0;
        for (int run = 0; run < runs; ++run) {
            bench::progress(
                QStringLiteral("%1, run %2 of %3").arg(rows[k].name).arg(run + 1).arg(runs));
            const QMap<QString, double> got = rows[k].run();
            if (got.isEmpty())
                continue;
            characters = got.value(QStringLiteral("characters"));
            resident.push_back(got.value(QStringLiteral("resident")));
            peak.push_back(got.value(QStringLiteral("peak")));
            if (got.contains(QStringLiteral("givenBackMs"))) {
                givenBack.push_back(got.value(QStringLiteral("givenBackMs")));
                left.push_back(got.value(QStringLiteral("left")));
            }
        }
        const double growth = bench::median(resident);
        perCharacter[k] = characters > 0 ? growth / characters : 0;
        QString afterClear = QStringLiteral("-");
        if (!givenBack.empty()) {
            // A run that never came back within the second counts as the slowest.
            const bool allBack =
                std::find(givenBack.begin(), givenBack.end(), -1.0) == givenBack.end();
            slowestGiveBack = allBack ? bench::maximum(givenBack) : -1;
            afterClear =
                QStringLiteral("%1; %2 left after 1 s")
                    .arg(allBack
                             ? QStringLiteral("back in %1 at most").arg(bench::ms(slowestGiveBack))
                             : QStringLiteral("not back within 1 s"),
                         bench::megabytes(bench::maximum(left)));
        }
        report.addRow({rows[k].name, bench::megabytes(characters), QString::number(resident.size()),
                       bench::megabytes(growth), bench::fixed(perCharacter[k]),
                       bench::megabytes(bench::median(peak)), afterClear});
    }
    report.addNote(QStringLiteral(
        "Each log is filled in a fresh process, in ticks of 150 KB of modem text (what 1.5 MB/s "
        "brings in 100 ms), with the caret kept at the end and the log shown and repainted every "
        "tenth tick. Growth is VmRSS after minus before filling; peak is VmHWM minus the same "
        "start. Medians of the runs."));
    report.addNote(
        QStringLiteral(
            "The executable is started as a user starts it, offscreen, with port 1 on a pty "
            "(DUPLINK_COM1) and port 2 on a simulated modem, both opened by the default settings. "
            "Once its memory has settled after start-up, %1 of modem text is written into the pty "
            "as fast as it takes it; once the program has read all of it and its memory has been "
            "steady for half a second (five poll ticks), the growth is divided by the characters.")
            .arg(bench::megabytes(double(executableTextSize()))));
    report.addNote(
        QStringLiteral(
            "\"Clear\": the whole program in the benchmark's process (ports on ptys) appends the "
            "text to Terminal 1's log as the poll loop does, then its \"Clear\" button is pressed; "
            "given back means VmRSS within %1 of where it was before filling, timed from the "
            "press. The slowest run.")
            .arg(bench::megabytes(double(kGivenBackWithin))));
    const double logView = perCharacter[0];
    const double stock = perCharacter[1];
    const double executable = perCharacter[2];
    report.addGoal(QStringLiteral("LogView: at most 1.2 bytes per character"),
                   bench::fixed(logView), logView > 0 && logView <= 1.2);
    const double below = logView > 0 && stock > 0 ? stock / logView : 0;
    report.addGoal(QStringLiteral("LogView: at least 5x below QPlainTextEdit"), bench::ratio(below),
                   below >= 5);
    report.addGoal(
        QStringLiteral("Executable fed through a pty: at most 1.4 bytes per character"),
        QStringLiteral("%1 (%2 the LogView)")
            .arg(bench::fixed(executable), bench::ratio(logView > 0 ? executable / logView : 0)),
        executable > 0 && executable <= 1.4);
    report.addGoal(QStringLiteral("\"Clear\": the log's memory back within a second"),
                   slowestGiveBack >= 0 ? bench::ms(slowestGiveBack) : QStringLiteral("no"),
                   slowestGiveBack >= 0 && slowestGiveBack <= 1000);
    return report.finish();
}
