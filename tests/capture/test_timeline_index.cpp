#include "capture/PcapngWriter.h"
#include "capture/TimelineCursor.h"
#include "capture/TimelineText.h"

#include <QTemporaryDir>
#include <QTest>

using RtacSerial::Event;
namespace Line = RtacSerial::Line;

namespace {

const qint64 start = 1765000000000000;
constexpr qint64 ms = 1000;
constexpr qint64 gap = 20 * ms;

QByteArray fileOf(const QList<CaptureEntry>& entries) {
    PcapngWriter writer;
    writer.addInterface(QStringLiteral("COM1 (/dev/ttyUSB0)"));
    writer.addInterface(QStringLiteral("COM2 (/dev/ttyUSB1)"));
    for (const CaptureEntry& e : entries)
        writer.addPacket(e.port, e.microsecondsSinceEpoch,
                         RtacSerial::packet(e.microsecondsSinceEpoch, e.event, e.lines, e.bytes),
                         e.comment);
    return writer.blocks();
}

// "+ms port direction text" for each row.
QString described(const TimelineRow& row) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg((row.microsecondsSinceEpoch - start) / ms)
        .arg(row.port)
        .arg(TimelineText::direction(row.kind),
             TimelineText::shown(row, TimelineText::Bytes::Escapes).text);
}

// The rows from a place on: all of them, or as many as the index counts there.
QStringList rowsFrom(TimelineCursor& cursor, const TimelineIndex& index, size_t place,
                     qint64 count = -1) {
    cursor.start(index.places()[place], index.gap());
    QStringList rows;
    TimelineRow row;
    while (count-- != 0 && cursor.next(row))
        rows << described(row);
    return rows;
}

// A modem's answer in pieces while the other port relays it, as in the program.
QList<CaptureEntry> session() {
    return {
        {0, Event::StatusChange, Line::dtr, {}, "opened /dev/ttyUSB0 9600,n,8,1", start},
        {0, Event::DataTransmitted, Line::dtr, "AT\r", {}, start + 1 * ms},
        {0, Event::DataReceived, Line::dtr, "AT\r\r\n", {}, start + 10 * ms},
        {1, Event::DataTransmitted, 0, "\r\n", {}, start + 11 * ms},
        {0, Event::DataReceived, Line::dtr, "OK", {}, start + 25 * ms},
        {0, Event::DataReceived, Line::dtr, "\r\n", {}, start + 44 * ms},
        {0, Event::DataReceived, Line::dtr, "\r\nRING", {}, start + 80 * ms},
        {0, Event::StatusChange, Line::dtr | Line::ring, {}, {}, start + 81 * ms},
        {0, Event::DataReceived, Line::dtr | Line::ring, "\r\n", {}, start + 82 * ms},
        {1, Event::Break, 0, {}, {}, start + 90 * ms},
        {0, Event::DataTransmitted, Line::dtr, "ATA\r", "transmit on", start + 95 * ms},
        {0, Event::DataTransmitted, Line::dtr, {}, {}, start + 96 * ms},
        {0, Event::DataReceived, Line::dtr, "A", {}, start + 97 * ms},
        {0, Event::DataTransmitted, Line::dtr, "x", {}, start + 98 * ms},
    };
}

} // namespace

class TimelineIndexTest : public QObject {
    Q_OBJECT
private slots:
    void groupsBytesWithinTheGap();
    void everyPlaceReadsTheRowsReadingFromTheStartGives();
    void followsAGrowingFileAndStopsAtDamage();

private:
    QString write(const QString& name, const QByteArray& contents);
    QTemporaryDir m_dir;
};

QString TimelineIndexTest::write(const QString& name, const QByteArray& contents) {
    const QString fileName = m_dir.filePath(name);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(fileName));
    return fileName;
}

void TimelineIndexTest::groupsBytesWithinTheGap() {
    // The window's test shows a shorter gap splitting a row.
    const QStringList rows = {
        "0 0 remark opened /dev/ttyUSB0 9600,n,8,1",
        "0 0 lines DTR on",
        "1 0 sent AT\\r",
        "10 0 received AT\\r\\r\\nOK\\r\\n",
        "11 1 sent \\r\\n",
        "80 0 received \\r\\nRING",
        "81 0 lines RI on",
        "82 0 received \\r\\n",
        "90 1 event break",
        "95 0 remark transmit on",
        "95 0 lines RI off",
        "95 0 sent ATA\\r",
        "97 0 received A",
        "98 0 sent x",
    };
    const QString fileName = write(QStringLiteral("session"), fileOf(session()));
    TimelineIndex index(fileName, gap);
    QVERIFY(!index.advance(1000));
    QCOMPARE(index.problem(), QString());
    QCOMPARE(index.portNames(), QStringList({"COM1 (/dev/ttyUSB0)", "COM2 (/dev/ttyUSB1)"}));
    TimelineCursor cursor(fileName);
    QCOMPARE(rowsFrom(cursor, index, 0), rows);
    const auto bit = [](int port, Timeline::Direction direction) {
        return 1u << (port * Timeline::directions + direction);
    };
    QCOMPARE(index.rows(bit(0, Timeline::sent) | bit(1, Timeline::sent)), qint64(4));
    QCOMPARE(index.rows(bit(1, Timeline::other)), qint64(1));
}

void TimelineIndexTest::everyPlaceReadsTheRowsReadingFromTheStartGives() {
    // Answers in pieces across the places' boundaries, on both ports, with the lines changing.
    QList<CaptureEntry> entries;
    qint64 time = start;
    for (int i = 0; i < 4000; ++i) {
        time += (i % 7 == 0 ? 50 : 3) * ms;
        const int port = i % 5 == 0;
        const Event event = i % 3 ? Event::DataReceived : Event::DataTransmitted;
        entries.append({port,
                        event,
                        quint8(i / 50 % 2 ? Line::dcd : 0),
                        QByteArray::number(i) + (i % 11 ? "" : "\r\n"),
                        {},
                        time});
    }
    const QString fileName = write(QStringLiteral("many"), fileOf(entries));
    TimelineIndex index(fileName, gap);
    while (index.advance(1)) {
    }
    QVERIFY(index.places().size() > 3);
    TimelineCursor cursor(fileName);
    const QStringList all = rowsFrom(cursor, index, 0);
    QCOMPARE(all.size(), index.rows(Timeline::allCategories));
    QStringList pieced;
    for (size_t place = index.places().size(); place-- > 0;)
        pieced = rowsFrom(cursor, index, place, index.rowsAt(place)) + pieced;
    QCOMPARE(pieced, all);

    // A shown row's place, with port 2 hidden, and a time's.
    const Timeline::Categories firstPort = 7;
    const qint64 row = index.rows(firstPort) - 100;
    const size_t place = index.placeOfRow(row, firstPort);
    QVERIFY(index.rowsBefore(place, firstPort) <= row);
    QVERIFY(index.rowsBefore(place + 1, firstPort) > row);
    QCOMPARE(index.placeOfTime(index.places()[2].microseconds + 1), size_t(2));
    QCOMPARE(index.placeOfTime(start - 1), size_t(0));
}

void TimelineIndexTest::followsAGrowingFileAndStopsAtDamage() {
    const QByteArray whole = fileOf(session());
    const QByteArray first = fileOf(session().mid(0, 6));
    // Written as the capture writes it: the first entries, then a block torn in its middle.
    const QString fileName = write(QStringLiteral("growing"), first + whole.mid(first.size(), 10));
    TimelineIndex index(fileName, gap);
    QVERIFY(!index.advance(1000));
    QCOMPARE(index.problem(), QString());
    QCOMPARE(index.rows(Timeline::allCategories), qint64(5));
    QCOMPARE(index.position(), qint64(first.size()));
    TimelineCursor cursor(fileName);
    QCOMPARE(rowsFrom(cursor, index, 0).at(3), "10 0 received AT\\r\\r\\nOK\\r\\n");

    QFile file(fileName);
    QVERIFY(file.open(QIODevice::Append));
    file.write(whole.mid(first.size() + 10));
    file.flush();
    QVERIFY(!index.advance(1000));
    QCOMPARE(index.rows(Timeline::allCategories), qint64(14));
    QCOMPARE(index.problem(), QString());

    file.write(QByteArray(40, '\x03'));
    file.flush();
    QVERIFY(!index.advance(1000));
    QCOMPARE(index.problem(),
             QStringLiteral("is damaged at byte %1: a block's length is not whole 4-byte words")
                 .arg(whole.size()));
    QCOMPARE(index.rows(Timeline::allCategories), qint64(14));
}

QTEST_GUILESS_MAIN(TimelineIndexTest)
#include "test_timeline_index.moc"
