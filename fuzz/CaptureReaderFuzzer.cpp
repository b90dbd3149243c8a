// libFuzzer target for the capture reader: any file content gives the entries before the first
// problem and at most that problem, damage named with a byte offset inside the file; every entry
// prints, as text, in hex and as a CSV line of six fields whose hex is the entry's bytes; and the
// entries written again read back unchanged and whole.

#include "capture/CaptureCsv.h"
#include "capture/CapturePrinter.h"
#include "capture/PcapngWriter.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The smallest packet block that holds an entry: framing, packet header, serial line header.
constexpr std::size_t smallestEntry = 12 + 20 + RtacSerial::headerLength;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "capture reader: %s\n", what);
        std::abort();
    }
}

void write(const QString& path, const QByteArray& content) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
    file.write(content);
}

// The fields of one CSV line as RFC 4180 reads them; empty when the line is not well formed.
QStringList csvFields(const QString& line) {
    QStringList fields(1);
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == c)
            fields.last() += line[++i];
        else if (c == QLatin1Char('"') && (quoted || fields.last().isEmpty()))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char(','))
            fields.append(QString());
        else if (!quoted && (c == QLatin1Char('"') || c == QLatin1Char('\r') || c == '\n'))
            return {};
        else
            fields.last() += c;
    }
    return quoted ? QStringList() : fields;
}

QString described(const CaptureRecord& r) {
    const CaptureEntry& e = r.entry;
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(int(e.event))
        .arg(e.lines)
        .arg(QString::fromLatin1(e.bytes.toHex()), e.comment, r.portName)
        .arg(e.microsecondsSinceEpoch);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.pcapng"));
    const QString again = dir.filePath(QStringLiteral("again.pcapng"));
    write(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    CaptureReader reader(path);
    CapturePrinter printer;
    CapturePrinter hexPrinter(true);
    PcapngWriter writer;
    QStringList read;
    CaptureRecord record;
    while (reader.next(record)) {
        check(std::size_t(read.size() + 1) * smallestEntry <= size, "more entries than blocks");
        printer.linesOf(record);
        hexPrinter.linesOf(record);
        const QStringList fields = csvFields(CaptureCsv::line(record));
        check(fields.size() == 6, "a CSV line is not six fields");
        check(QByteArray::fromHex(fields[5].toLatin1()) == record.entry.bytes,
              "the CSV hex is not the bytes");
        const CaptureEntry& e = record.entry;
        writer.addInterface(record.portName);
        writer.addPacket(int(read.size()), e.microsecondsSinceEpoch,
                         RtacSerial::packet(e.microsecondsSinceEpoch, e.event, e.lines, e.bytes),
                         e.comment);
        read << described(record);
    }

    static const QRegularExpression problems(
        QStringLiteral("^(|cannot be opened: .+|is empty: it is not a capture|is not a capture: "
                       ".+|is cut short: its last block, at byte (\\d+), is not whole|is damaged "
                       "at byte (\\d+): .+)$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch problem = problems.match(reader.problem());
    check(problem.hasMatch(), "a problem of no known form");
    const QString at = problem.captured(2) + problem.captured(3);
    check(at.isEmpty() || at.toULongLong() < size, "a problem at a byte past the file");

    write(again, writer.blocks());
    CaptureReader rereader(again);
    for (const QString& entry : read) {
        check(rereader.next(record), "an entry written again is missing");
        check(described(record) == entry, "an entry written again reads back changed");
    }
    check(!rereader.next(record) && rereader.problem().isEmpty(),
          "the entries written again do not read back whole");
    return 0;
}
