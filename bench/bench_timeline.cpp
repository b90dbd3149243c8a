// The timeline window on a 1 GB capture: how long it takes to open and read through, the longest
// the window stalls while it does, scrolled from end to end and searched, and the memory it holds.

#include "BenchRun.h"
#include "ProcessUsage.h"
#include "Report.h"
#include "StallWatch.h"
#include "capture/PcapngWriter.h"
#include "ui/SearchBar.h"
#include "ui/timeline/TimelineModel.h"
#include "ui/timeline/TimelineWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using RtacSerial::Event;

namespace {

// A session on two modems: commands, answers in pieces, the relay, rings and line changes; the
// one "NO CARRIER" near the end is what the search looks for.
qint64 writeCapture(const QString& fileName, qint64 size) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    PcapngWriter writer;
    writer.addInterface(QStringLiteral("COM1 (/dev/ttyUSB0)"));
    writer.addInterface(QStringLiteral("COM2 (/dev/ttyUSB1)"));
    qint64 time = 1765029802000000;
    qint64 written = 0;
    bool lastWritten = false;
    const auto add = [&](int port, Event event, quint8 lines, const QByteArray& bytes,
                         qint64 after) {
        time += after;
        writer.addPacket(port, time, RtacSerial::packet(time, event, lines, bytes));
    };
    for (quint32 i = 0; written < size; ++i) {
        const quint8 lines = RtacSerial::Line::dtr | RtacSerial::Line::cts |
                             (i % 97 == 0 ? RtacSerial::Line::ring : 0);
        add(0, Event::DataTransmitted, lines, "AT+CSQ\r", 200000);
        add(0, Event::DataReceived, lines, "AT+CSQ\r\r\n+CSQ: ", 8000);
        add(0, Event::DataReceived, lines, QByteArray::number(i % 32) + ",99\r\n", 3000);
        add(1, Event::DataTransmitted, 0, "+CSQ: " + QByteArray::number(i % 32) + "\r\n", 500);
        add(0, Event::DataReceived, lines, "\r\nOK\r\n", 5000);
        const bool last = !lastWritten && written > size - size / 50;
        if (i % 50 == 0 || last) {
            add(1, Event::StatusChange, RtacSerial::Line::dcd, {}, 1000);
            add(1, Event::DataReceived, RtacSerial::Line::dcd,
                last ? "\r\nNO CARRIER\r\n" : "\r\nCONNECT 9600\r\n", 1000);
            lastWritten = lastWritten || last;
        }
        if (i % 256 == 0) {
            file.write(writer.blocks());
            written += writer.blocks().size();
            writer.clearBlocks();
        }
    }
    file.write(writer.blocks());
    return file.size();
}

// Waits, letting the window work, until `done` or the time is up; how long it took.
template <class Done> double waitFor(Done done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    bench::useOffscreenPlatform();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("large.pcapng"));
    const qint64 wanted = bench::fullOrQuick<qint64>(1024, 100) << 20;
    bench::progress(QStringLiteral("writing a capture of %1").arg(bench::megabytes(wanted)));
    const qint64 size = writeCapture(fileName, wanted);
    const qint64 residentBefore = usage::residentBytes();

    Report report(QStringLiteral("Timeline: a large capture opened, scrolled and searched"));
    report.setColumns(
        {QStringLiteral("Step"), QStringLiteral("Time"), QStringLiteral("Longest stall")});
    TimelineWindow window;
    window.resize(1000, 700);
    auto* table = window.findChild<QTableView*>(QStringLiteral("timelineRows"));
    auto* model = static_cast<TimelineModel*>(table->model());
    StallWatch stalls;

    bench::progress(QStringLiteral("opening"));
    stalls.start();
    window.openFile(fileName);
    window.show();
    const double firstRows = waitFor([&] { return model->rows() > 100; }, 10000);
    const double firstStall = stalls.longestStallMs();
    report.addRow({QStringLiteral("First rows shown"), bench::fixed(firstRows) + " ms",
                   bench::fixed(firstStall) + " ms"});
    const double readThrough =
        waitFor([&] { return model->timelineIndex()->position() >= size; }, 30 * 60 * 1000);
    QApplication::processEvents();
    stalls.stop();
    const double openStall = stalls.longestStallMs();
    report.addRow({QStringLiteral("Read through (%1 rows)").arg(model->rows()),
                   bench::fixed(readThrough / 1000) + " s", bench::fixed(openStall) + " ms"});

    bench::progress(QStringLiteral("scrolling"));
    StallWatch scrollStalls;
    scrollStalls.start();
    // The window's own scroll bar ranges over the whole file; the table holds the rows in view.
    auto* bar = window.findChild<QScrollBar*>(QStringLiteral("timelineScroll"));
    std::vector<double> steps;
    QElapsedTimer clock;
    clock.start();
    const int jumps = 400;
    for (int jump = 0; jump <= jumps; ++jump) {
        QElapsedTimer step;
        step.start();
        bar->setValue(int(qint64(bar->maximum()) * jump / jumps));
        table->viewport()->repaint();
        QApplication::processEvents();
        steps.push_back(double(step.nsecsElapsed()) / 1e6);
        if (steps.back() > 50)
            bench::progress(QStringLiteral("jump %1 took %2 ms").arg(jump).arg(steps.back()));
    }
    for (int page = 0; page < 200; ++page) {
        QElapsedTimer step;
        step.start();
        QTest::keyClick(table, Qt::Key_PageUp);
        table->viewport()->repaint();
        QApplication::processEvents();
        steps.push_back(double(step.nsecsElapsed()) / 1e6);
        if (steps.back() > 50)
            bench::progress(QStringLiteral("page %1 took %2 ms").arg(page).arg(steps.back()));
    }
    const double scrolled = double(clock.nsecsElapsed()) / 1e6;
    QApplication::processEvents();
    scrollStalls.stop();
    const double scrollPause = std::max(bench::maximum(steps), scrollStalls.longestStallMs());
    report.addRow({QStringLiteral("%1 jumps end to end, 200 pages").arg(jumps),
                   bench::fixed(scrolled) + " ms", bench::fixed(scrollPause) + " ms"});

    bench::progress(QStringLiteral("searching"));
    QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
    StallWatch searchStalls;
    searchStalls.start();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    auto* text = window.findChild<QLineEdit*>(QStringLiteral("searchText"));
    auto* matches = window.findChild<QLabel*>(QStringLiteral("searchMatches"));
    text->setText(QStringLiteral("NO CARRIER"));
    const double found = waitFor(
        [&] {
            const TimelineSearch::Match m = model->currentMatch();
            return m.row > 0;
        },
        30 * 60 * 1000);
    const double counted =
        waitFor([&] { return !matches->text().isEmpty(); }, 30 * 60 * 1000) + found;
    searchStalls.stop();
    report.addRow({QStringLiteral("Search to the match near the end"),
                   bench::fixed(found / 1000) + " s",
                   bench::fixed(searchStalls.longestStallMs()) + " ms"});
    report.addRow({QStringLiteral("All matches counted (%1)").arg(matches->text()),
                   bench::fixed(counted / 1000) + " s", QStringLiteral("-")});

    const double resident = double(usage::residentBytes());
    const double peak = double(usage::peakResidentBytes());
    report.addNote(QStringLiteral("Capture of %1, written before the window opens; resident now "
                                  "%2, before the window %3, peak %4. Stalls are how late a 2 ms "
                                  "timer fired; scroll steps are each step's own time too.")
                       .arg(bench::megabytes(double(size)), bench::megabytes(resident),
                            bench::megabytes(double(residentBefore)), bench::megabytes(peak)));
    const double worstPause = std::max({openStall, scrollPause, searchStalls.longestStallMs()});
    report.addGoal(QStringLiteral("Longest pause opening, scrolling and searching: at most 100 ms"),
                   bench::fixed(worstPause) + " ms", worstPause <= 100);
    report.addGoal(QStringLiteral("Resident memory: at most 64 MB whatever the file's size"),
                   bench::megabytes(peak), peak <= 64.0 * 1024 * 1024);
    return report.finish();
}
