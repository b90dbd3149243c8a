// One tick's append to a log that already holds a lot: 1 KB received, appended as text or as
// hex, the caret moved to the end and the log repainted. The program's LogView against the stock
// QPlainTextEdit, appended to with a cursor and by setting the whole text again.

#include "BenchRun.h"
#include "ModemText.h"
#include "Report.h"
#include "ShownLog.h"
#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"
#include "ui/LogView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QWindow>

#include <functional>
#include <map>
#include <tuple>

namespace {

constexpr qint64 kKilobyte = 1024;
constexpr qint64 kMegabyte = 1000 * 1000;

enum class Method { LogViewAppend, CursorAppend, SetWholeText };

QString methodName(Method m) {
    switch (m) {
    case Method::LogViewAppend:
        return QStringLiteral("LogView appendBytes");
    case Method::CursorAppend:
        return QStringLiteral("QPlainTextEdit cursor insertText");
    case Method::SetWholeText:
        return QStringLiteral("QPlainTextEdit setPlainText(toPlainText() + new)");
    }
    return {};
}

QByteArray randomBytes(qint64 size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

// What one tick received, and how the program logs it.
QByteArray received(int tick, bool hex) {
    return hex ? randomBytes(kKilobyte, quint32(tick)) : modemLines(kKilobyte, quint32(tick));
}

QByteArray asLogged(const QByteArray& data, bool hex) {
    return hex ? StringToHEX(data) + "\r\n" : data;
}

// A log as it would look after many ticks of the same kind.
QByteArray filledLog(qint64 size, bool hex) {
    if (!hex)
        return modemLines(size, 7);
    QByteArray log;
    log.reserve(size + 4 * kKilobyte);
    const QByteArray tick = asLogged(randomBytes(kKilobyte, 7), true);
    while (log.size() < size)
        log += tick;
    return log;
}

struct TickTimes {
    double medianMs = 0;
    double maxMs = 0;
};

TickTimes timeTicks(int ticks, const std::function<void(const QByteArray&)>& tick, bool hex) {
    constexpr int kWarmUp = 3;
    std::vector<double> times;
    for (int i = 0; i < kWarmUp + ticks; ++i) {
        const QByteArray data = received(i, hex);
        QElapsedTimer clock;
        clock.start();
        tick(data);
        if (i >= kWarmUp)
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return {bench::median(times), bench::maximum(times)};
}

TickTimes measureLogView(qint64 holding, bool hex, int ticks) {
    LogView log;
    bench::showAndSettle(log);
    log.appendBytes(filledLog(holding, hex));
    QApplication::processEvents();
    return timeTicks(
        ticks,
        [&](const QByteArray& data) {
            log.appendBytes(asLogged(data, hex));
            log.viewport()->repaint();
        },
        hex);
}

TickTimes measureStock(Method method, qint64 holding, bool hex, int ticks) {
    QPlainTextEdit edit;
    bench::showAndSettle(edit);
    edit.setPlainText(ansi::decode(filledLog(holding, hex)));
    edit.moveCursor(QTextCursor::End);
    QApplication::processEvents();
    return timeTicks(
        ticks,
        [&](const QByteArray& data) {
            const QString addition = ansi::decode(asLogged(data, hex));
            if (method == Method::SetWholeText) {
                edit.setPlainText(edit.toPlainText() + addition);
            } else {
                QTextCursor end(edit.document());
                end.movePosition(QTextCursor::End);
                end.insertText(addition);
            }
            edit.moveCursor(QTextCursor::End);
            edit.viewport()->repaint();
        },
        hex);
}

struct Case {
    Method method;
    qint64 holding;
    int ticks;
};

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);

    // Arguments for a profiler: the cases of one log (logview, cursor or whole), how many ticks
    // each, and one kind of text (text or hex).
    const QString only = app.arguments().value(1);
    const int ticksAsked = app.arguments().value(2).toInt();
    const QString kindOnly = app.arguments().value(3);
    const int ticks = ticksAsked > 0 ? ticksAsked : bench::fullOrQuick(40, 10);
    const std::vector<Case> cases = {
        {Method::LogViewAppend, 1 * kMegabyte, ticks},
        {Method::LogViewAppend, 10 * kMegabyte, ticks},
        {Method::LogViewAppend, 100 * kMegabyte, ticks},
        {Method::CursorAppend, 1 * kMegabyte, ticks},
        {Method::CursorAppend, 10 * kMegabyte, bench::fullOrQuick(20, 5)},
        {Method::SetWholeText, 1 * kMegabyte, bench::fullOrQuick(7, 3)},
        {Method::SetWholeText, 10 * kMegabyte, bench::fullOrQuick(3, 1)},
    };

    const auto skipped = [&only](Method m) {
        static const std::map<Method, QString> names = {{Method::LogViewAppend, "logview"},
                                                        {Method::CursorAppend, "cursor"},
                                                        {Method::SetWholeText, "whole"}};
        return !only.isEmpty() && names.at(m) != only;
    };

    std::map<std::tuple<Method, qint64, bool>, TickTimes> results;
    Report report(QStringLiteral("Append: one tick of 1 KB received, with its repaint"));
    report.setColumns({QStringLiteral("Log"), QStringLiteral("Holding"), QStringLiteral("Ticks"),
                       QStringLiteral("Text: median ms"), QStringLiteral("Text: max ms"),
                       QStringLiteral("Hex: median ms"), QStringLiteral("Hex: max ms")});
    for (const Case& c : cases) {
        if (skipped(c.method))
            continue;
        QStringList row{methodName(c.method), bench::megabytes(double(c.holding)),
                        QString::number(c.ticks)};
        for (const bool hex : {false, true}) {
            if (!kindOnly.isEmpty() && (kindOnly == QStringLiteral("hex")) != hex) {
                row << QStringLiteral("-") << QStringLiteral("-");
                continue;
            }
            bench::progress(QStringLiteral("%1 holding %2 %3")
                                .arg(methodName(c.method), bench::megabytes(double(c.holding)),
                                     hex ? QStringLiteral("hex") : QStringLiteral("text")));
            const TickTimes t = c.method == Method::LogViewAppend
                                    ? measureLogView(c.holding, hex, c.ticks)
                                    : measureStock(c.method, c.holding, hex, c.ticks);
            results[{c.method, c.holding, hex}] = t;
            row << bench::fixed(t.medianMs, 3) << bench::fixed(t.maxMs, 3);
        }
        report.addRow(row);
    }
    report.addNote(
        QStringLiteral("Each log is %1x%2 pixels, as Terminal 1's log in the window, shown "
                       "offscreen. A tick appends 1 KB received (modem text, or random bytes "
                       "logged as hex and a line end), puts the caret at the end and repaints the "
                       "viewport; medians after three warm-up ticks.")
            .arg(bench::kLogSize.width())
            .arg(bench::kLogSize.height()));

    if (!only.isEmpty())
        return report.finish();
    for (const bool hex : {false, true}) {
        const QString kind = hex ? QStringLiteral("hex") : QStringLiteral("text");
        const auto at = [&](Method m, qint64 mb) {
            return results[{m, mb * kMegabyte, hex}].medianMs;
        };
        const double logView10 = at(Method::LogViewAppend, 10);
        const double growth = at(Method::LogViewAppend, 100) / at(Method::LogViewAppend, 1);
        report.addGoal(QStringLiteral("LogView %1: cost at 100 MB within 1.5x of 1 MB").arg(kind),
                       bench::ratio(growth), growth <= 1.5);
        const double cursor = at(Method::CursorAppend, 10) / logView10;
        report.addGoal(
            QStringLiteral("LogView %1 at 10 MB: 3x cheaper than the cursor append").arg(kind),
            bench::ratio(cursor), cursor >= 3);
        const double whole = at(Method::SetWholeText, 10) / logView10;
        report.addGoal(
            QStringLiteral("LogView %1 at 10 MB: 1000x cheaper than setting the whole text")
                .arg(kind),
            bench::ratio(whole), whole >= 1000);
    }
    return report.finish();
}
