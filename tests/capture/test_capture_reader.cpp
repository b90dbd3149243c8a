#include "capture/CaptureCsv.h"
#include "capture/CaptureFile.h"
#include "capture/CapturePrinter.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <ctime>
#include <limits>

using RtacSerial::Event;
namespace Line = RtacSerial::Line;

namespace {

// The second longer than the 256 characters a reader keeps of a name.
const QStringList portNames = {QStringLiteral("COM1 (/dev/ttyUSB0)"),
                               QStringLiteral("COM2 ") + QString(300, QLatin1Char('x'))};
const qint64 start = 1765000000123456; // 2025-12-06 05:46:40.123 UTC

// Every event, every byte value, comments, both ports.
QList<CaptureEntry> session() {
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));
    QList<CaptureEntry> entries = {
        {0, Event::StatusChange, Line::dtr, {}, "opened /dev/ttyUSB0 9600,n,8,1 \u00e9", start},
        {1, Event::DataReceived, Line::dsr | Line::ring, everyByte, "a \"remark\",\nin two lines",
         start + 999},
        {1, Event::Overrun, 0, {}, {}, std::numeric_limits<qint64>::min()}, // the earliest time
    };
    for (int event = 0; event <= int(Event::Overrun); ++event)
        entries.append({event % 2, Event(event), quint8(event * 5), "AT", {}, start + event});
    return entries;
}

QString described(const CaptureEntry& e) {
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(e.port)
        .arg(int(e.event))
        .arg(e.lines)
        .arg(QString::fromLatin1(e.bytes.toHex()), e.comment)
        .arg(e.microsecondsSinceEpoch);
}

struct Read {
    QStringList entries;
    QString problem;
};
Read readBack(const QString& fileName) {
    Read read;
    CaptureReader reader(fileName);
    CaptureRecord record;
    while (reader.next(record))
        read.entries << portNames[record.entry.port] + QLatin1Char('=') + record.portName + ' ' +
                            described(record.entry);
    read.problem = reader.problem();
    return read;
}

QStringList describedSession() {
    QStringList out;
    for (const CaptureEntry& entry : session())
        out << portNames[entry.port] + QLatin1Char('=') + portNames[entry.port].left(256) + ' ' +
                   described(entry);
    return out;
}

// The session's first entry as a writer on a big-endian machine puts it down.
QByteArray bigEndianFile() {
    const auto number = [](quint64 value, int size) {
        QByteArray bytes(8, '\0');
        qToBigEndian(value, bytes.data());
        return bytes.right(size);
    };
    const auto option = [&](quint16 code, QByteArray value) {
        const int length = int(value.size());
        value.append((4 - length % 4) % 4, '\0');
        return number(code, 2) + number(length, 2) + value;
    };
    const auto block = [&](quint32 type, const QByteArray& body) {
        return number(type, 4) + number(body.size() + 12, 4) + body + number(body.size() + 12, 4);
    };
    const CaptureEntry e = session().first();
    return block(Pcapng::sectionHeaderBlock, number(Pcapng::byteOrderMagic, 4) + number(1, 2) +
                                                 number(0, 2) + number(~0ull, 8)) +
           block(Pcapng::interfaceDescriptionBlock,
                 number(RtacSerial::linkType, 2) + number(0, 6) +
                     option(Pcapng::interfaceNameOption, portNames[0].toUtf8()) + number(0, 4)) +
           block(Pcapng::enhancedPacketBlock,
                 number(0, 4) + number(e.microsecondsSinceEpoch, 8) + number(12, 4).repeated(2) +
                     RtacSerial::packet(e.microsecondsSinceEpoch, e.event, e.lines, {}) +
                     option(Pcapng::commentOption, e.comment.toUtf8()) + number(0, 4));
}

} // namespace

class CaptureReaderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readsBackWhatWasWrittenOrSaysWhyNot_data();
    void readsBackWhatWasWrittenOrSaysWhyNot();
    void printsOneThingALine_data();
    void printsOneThingALine();
    void writesCsvForSpreadsheets();

private:
    QTemporaryDir m_dir;
    QByteArray m_written;
};

void CaptureReaderTest::initTestCase() {
    qputenv("TZ", "UTC");
    ::tzset();
    const QString fileName = m_dir.filePath("session.pcapng");
    {
        CaptureFile file(fileName, portNames);
        for (const CaptureEntry& entry : session())
            file.append(entry);
    }
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    m_written = file.readAll();
}

void CaptureReaderTest::readsBackWhatWasWrittenOrSaysWhyNot_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("problem");
    const int all = int(session().size());
    const auto blockAt = [this](int block) {
        int at = 0;
        while (block-- > 0)
            at += qFromLittleEndian<quint32>(m_written.constData() + at + 4);
        return at;
    };
    const int packet = blockAt(3); // the first, after the section and two interfaces
    const int last =
        m_written.size() - qFromLittleEndian<quint32>(m_written.constData() + m_written.size() - 4);
    const auto patched = [this](int at, quint32 value) {
        QByteArray bytes = m_written;
        qToLittleEndian(value, bytes.data() + at);
        return bytes;
    };
    const auto damaged = [](int at, const char* what) {
        return QStringLiteral("is damaged at byte %1: %2").arg(at).arg(what);
    };
    const QString cut = QStringLiteral("is cut short: its last block, at byte %1, is not whole");
    // The value of the first port's timestamp resolution, 10^-6 s.
    const int resolution = int(m_written.indexOf(QByteArray("\x09\x00\x01\x00\x06", 5))) + 4;
    const QString timePast =
        damaged(packet, "a packet's time is past what 64-bit microseconds hold");
    const QByteArray interface = QByteArray::fromHex("0100000014000000fa0000000000000014000000");
    QTest::newRow("whole") << m_written << all << QString();
    QTest::newRow("cut in the last block") << m_written.chopped(9) << all - 1 << cut.arg(last);
    QTest::newRow("cut in its head") << m_written.left(last + 5) << all - 1 << cut.arg(last);
    QTest::newRow("lengths differ") << patched(m_written.size() - 4, 1) << all - 1
                                    << damaged(last, "a block's two lengths differ");
    QTest::newRow("2 MiB block") << patched(last + 4, 2u << 20) << all - 1
                                 << damaged(last, "a block's length is past any the writer makes");
    QTest::newRow("empty block") << patched(packet + 4, 0) << 0
                                 << damaged(packet, "a block's length is not whole 4-byte words");
    QTest::newRow("4 GB packet") << patched(packet + 20, 0xFFFFFFFF) << 0
                                 << damaged(packet, "a packet's data runs past its block");
    QTest::newRow("interface 1000000000")
        << patched(packet + 8, 1000000000) << 0
        << damaged(packet, "a packet names an interface not described before it");
    QTest::newRow("option past its block") << patched(packet + 40, 0xFFFF0001) << 0
                                           << damaged(packet, "an option runs past its block");
    QTest::newRow("time in seconds") << patched(resolution, 0) << 0 << timePast;
    QTest::newRow("time in binary seconds") << patched(resolution, 0x80) << 0 << timePast;
    QTest::newRow("65537 interfaces") << m_written.left(packet) + interface.repeated(65535) << 0
                                      << damaged(packet + 65534 * int(interface.size()),
                                                 "a section describes more than 65536 interfaces");
    // A second section in the other byte order, holding the first entry again.
    QTest::newRow("big-endian section") << m_written + bigEndianFile() << all + 1 << QString();
    QTest::newRow("section of no byte order")
        << m_written + bigEndianFile().replace(8, 4, "1234") << all
        << damaged(m_written.size(), "a section header has no byte order");
    QTest::newRow("empty") << QByteArray() << 0 << "is empty: it is not a capture";
    QTest::newRow("text") << QByteArray("ATZ\r\nOK\r\n") << 0
                          << "is not a capture: it does not start with a pcapng section header";
}

void CaptureReaderTest::readsBackWhatWasWrittenOrSaysWhyNot() {
    QFETCH(QByteArray, contents);
    QFETCH(int, entries);
    QFETCH(QString, problem);
    const QString fileName = m_dir.filePath(QTest::currentDataTag());
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    const Read read = readBack(fileName);
    QCOMPARE(read.entries, (describedSession() << describedSession().first()).mid(0, entries));
    QCOMPARE(read.problem, problem);
    QCOMPARE(readBack(m_dir.filePath("none")).problem,
             QStringLiteral("cannot be opened: No such file or directory"));
}

void CaptureReaderTest::printsOneThingALine_data() {
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QStringList>("lines");
    const QStringList before = {
        "2025-12-06 05:46:40.123 COM1 * opened \\\\host\\tport \u00e9",
        "2025-12-06 05:46:40.123 COM1 * DTR on",
        "2025-12-06 05:46:40.124 COM1 * RTS on",
        "2025-12-06 05:46:40.124 COM1 >",
        "2025-12-06 05:46:41.000 COM2 * CTS on, DCD on",
    };
    const QStringList after = {
        "2025-12-06 05:46:41.000 COM1 * CTS on, RI on, RTS off",
        "2025-12-06 05:46:41.001 COM2 * break",
        "2025-12-06 05:46:41.001 COM2 * framing error",
        "2025-12-06 05:46:41.001 COM2 * parity error",
        "2025-12-06 05:46:41.001 COM2 * overrun",
        "2025-12-06 05:46:41.001 port1 * CTS on",
        "2025-12-06 05:46:41.001 port2 * CTS on",
    };
    QTest::newRow("text") << false
                          << before +
                                 QStringList{"2025-12-06 05:46:41.000 COM2 < \\x1a\\\\\\t\\r\\n"
                                             "\u041f\u0440\u0438\\x98\\x7f OK"} +
                                 after;
    QTest::newRow("hex") << true
                         << before +
                                QStringList{"2025-12-06 05:46:41.000 COM2 < 1A 5C 09 0D 0A CF F0 "
                                            "E8 98 7F 20 4F 4B"} +
                                after;
}

void CaptureReaderTest::printsOneThingALine() {
    QFETCH(bool, hex);
    QFETCH(QStringList, lines);
    QList<CaptureRecord> records = {
        {{0, Event::StatusChange, Line::dtr, {}, "opened \\host\tport \u00e9", start},
         portNames[0]},
        {{0, Event::DataTransmitted, Line::dtr | Line::rts, {}, {}, start + 1000}, portNames[0]},
        {{1,
          Event::DataReceived,
          Line::cts | Line::dcd,
          "\x1a\\\t\r\n\xcf\xf0\xe8\x98\x7f OK",
          {},
          start + 876544},
         portNames[1]},
        {{0, Event::StatusChange, Line::dtr | Line::cts | Line::ring, {}, {}, start + 876544},
         portNames[0]},
    };
    for (const Event event :
         {Event::Break, Event::FramingError, Event::ParityError, Event::Overrun})
        records.append({{1, event, Line::cts | Line::dcd, {}, {}, start + 877544}, portNames[1]});
    for (const int unnamed : {0, 1}) // two ports, not one
        records.append({{unnamed, Event::StatusChange, Line::cts, {}, {}, start + 877544}, ""});
    CapturePrinter printer(hex);
    QStringList printed;
    for (const CaptureRecord& record : records)
        printed << printer.linesOf(record);
    QCOMPARE(printed, lines);
}

void CaptureReaderTest::writesCsvForSpreadsheets() {
    CaptureReader reader(m_dir.filePath("session.pcapng"));
    QStringList lines = {CaptureCsv::header()};
    CaptureRecord record;
    while (reader.next(record)) {
        lines << CaptureCsv::line(record);
        QCOMPARE(QByteArray::fromHex(lines.last().section(',', -1).toLatin1()), record.entry.bytes);
    }
    QCOMPARE(lines.size(), session().size() + 1);
    CaptureRecord formula{{0, Event::DataReceived, 0, "+CSQ: 20,99", "=HYPERLINK(\"x\")", 0}, "@x"};
    QVERIFY(CaptureCsv::line(formula).endsWith(",'@x,received,\"'=HYPERLINK(\"\"x\"\")\",\"'+CSQ: "
                                               "20,99\",2B 43 53 51 3A 20 32 30 2C 39 39"));
    QVERIFY(lines[2].startsWith(
        "2025-12-06T05:46:40.124,COM2,received,\"a \"\"remark\"\",\nin two lines\",\"\\x00\\x01"));
    QCOMPARE(
        lines.mid(0, 2) + lines.mid(4, 4),
        (QStringList{"time,port,direction,event,text,hex",
                     "2025-12-06T05:46:40.123,COM1,,\"opened /dev/ttyUSB0 9600,n,8,1 \u00e9\",,",
                     "2025-12-06T05:46:40.123,COM1,,line change,AT,41 54",
                     "2025-12-06T05:46:40.123,COM2,sent,data,AT,41 54",
                     "2025-12-06T05:46:40.123,COM1,received,data,AT,41 54",
                     "2025-12-06T05:46:40.123,COM2,,transmit ended,AT,41 54"}));
}

QTEST_GUILESS_MAIN(CaptureReaderTest)
#include "test_capture_reader.moc"
