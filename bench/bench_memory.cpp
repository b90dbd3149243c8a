// Resident memory per character a log holds after 50 MB of received modem text: the program's
// LogView against the stock QPlainTextEdit. Each log is measured in a fresh process of its own.

#include "BenchRun.h"
#include "ChildRun.h"
#include "ModemText.h"
#include "ProcessUsage.h"
#include "Report.h"
#include "ShownLog.h"
#include "text/AnsiCodePage.h"
#include "ui/LogView.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QWindow>

#include <array>

namespace {

// What a port receiving 1.5 MB/s brings to one tick of the poll loop.
constexpr qsizetype kTickBytes = 150 * 1000;
const QString kLogView = QStringLiteral("logview");
const QString kStock = QStringLiteral("plaintext");

qint64 textSize() {
    return bench::fullOrQuick<qint64>(50, 10) * 1000 * 1000;
}

// In the child: fills one log tick by tick and reports what it cost.
int measureIn(const QString& kind) {
    std::array<QByteArray, 8> ticks;
    for (size_t i = 0; i < ticks.size(); ++i)
        ticks[i] = modemLines(kTickBytes, quint32(i));
    QPlainTextEdit stock;
    LogView log;
    QWidget& shown = kind == kLogView ? static_cast<QWidget&>(log) : stock;
    bench::showAndSettle(shown);

    const qint64 before = usage::residentBytes();
    qint64 held = 0;
    for (size_t tick = 0; held < textSize(); ++tick) {
        const QByteArray& received = ticks[tick % ticks.size()];
        if (kind == kLogView) {
            log.appendBytes(received);
        } else {
            QTextCursor end(stock.document());
            end.movePosition(QTextCursor::End);
            end.insertText(ansi::decode(received));
            stock.moveCursor(QTextCursor::End);
        }
        held += received.size();
        // Paint now and then, as the window would between ticks.
        if (tick % 10 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    child::report(QStringLiteral("characters"), double(held));
    child::report(QStringLiteral("resident"), double(usage::residentBytes() - before));
    child::report(QStringLiteral("peak"), double(usage::peakResidentBytes() - before));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (mode == kLogView || mode == kStock)
        return measureIn(mode);

    Report report(QStringLiteral("Memory: resident bytes per character held"));
    report.setColumns({QStringLiteral("Log"), QStringLiteral("Text held"), QStringLiteral("Runs"),
                       QStringLiteral("Resident growth"), QStringLiteral("Bytes per character"),
                       QStringLiteral("Peak growth")});
    double perCharacter[2] = {0, 0};
    const QString kinds[2] = {kLogView, kStock};
    const QString names[2] = {QStringLiteral("LogView"), QStringLiteral("QPlainTextEdit")};
    for (int k = 0; k < 2; ++k) {
        const int runs = bench::fullOrQuick(3, 1);
        std::vector<double> resident;
        std::vector<double> peak;
        double characters = 0;
        for (int run = 0; run < runs; ++run) {
            bench::progress(
                QStringLiteral("%1, run %2 of %3").arg(names[k]).arg(run + 1).arg(runs));
            const QMap<QString, double> got = child::runSelf({kinds[k]}, 600000);
            if (got.isEmpty())
                continue;
            characters = got.value(QStringLiteral("characters"));
            resident.push_back(got.value(QStringLiteral("resident")));
            peak.push_back(got.value(QStringLiteral("peak")));
        }
        const double growth = bench::median(resident);
        perCharacter[k] = characters > 0 ? growth / characters : 0;
        report.addRow({names[k], bench::megabytes(characters), QString::number(resident.size()),
                       bench::megabytes(growth), bench::fixed(perCharacter[k]),
                       bench::megabytes(bench::median(peak))});
    }
    report.addNote(QStringLiteral(
        "Each log is filled in a fresh process, in ticks of 150 KB of modem text (what 1.5 MB/s "
        "brings in 100 ms), with the caret kept at the end and the log shown and repainted every "
        "tenth tick. Growth is VmRSS after minus before filling; peak is VmHWM minus the same "
        "start. Medians of the runs."));
    const bool measured = perCharacter[0] > 0 && perCharacter[1] > 0;
    report.addGoal(QStringLiteral("LogView: at most 1.2 bytes per character"),
                   bench::fixed(perCharacter[0]), measured && perCharacter[0] <= 1.2);
    const double below = measured ? perCharacter[1] / perCharacter[0] : 0;
    report.addGoal(QStringLiteral("LogView: at least 5x below QPlainTextEdit"), bench::ratio(below),
                   measured && below >= 5);
    return report.finish();
}
