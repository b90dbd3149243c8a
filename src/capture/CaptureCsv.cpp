#include "CaptureCsv.h"

#include "CapturePrinter.h"
#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"

using RtacSerial::Event;

namespace {

// A field a spreadsheet would take for a formula (a hostile file's "=HYPERLINK(...)", or a
// modem's "+CSQ: 20,99") starts with an apostrophe, so that it is shown as the text it is.
QString defused(QString text) {
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        text.prepend(QLatin1Char('\''));
    return text;
}

QString quoted(QString text) {
    text = defused(text);
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

namespace CaptureCsv {

QString header() {
    return QStringLiteral("time,port,direction,event,text,hex");
}

QString line(const CaptureRecord& record) {
    const CaptureEntry& entry = record.entry;
    const QString direction = entry.event == Event::DataReceived      ? QStringLiteral("received")
                              : entry.event == Event::DataTransmitted ? QStringLiteral("sent")
                                                                      : QString();
    QStringList fields = {
        CapturePrinter::localTime(entry.microsecondsSinceEpoch,
                                  QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")),
        CapturePrinter::shortName(record),
        direction,
        entry.comment.isEmpty() ? CapturePrinter::eventName(entry.event) : entry.comment,
        CapturePrinter::escaped(ansi::decode(entry.bytes)),
        QString::fromLatin1(StringToHEX(entry.bytes).trimmed()),
    };
    for (QString& text : fields)
        text = quoted(text);
    return fields.join(QLatin1Char(','));
}

QString line(const TimelineRow& row, const QString& portName) {
    CaptureRecord record;
    record.portName = portName;
    CaptureEntry& entry = record.entry;
    entry.port = row.port;
    entry.lines = row.lines;
    entry.microsecondsSinceEpoch = row.microsecondsSinceEpoch;
    switch (row.kind) {
    case TimelineRow::Kind::Received:
    case TimelineRow::Kind::Sent:
        entry.event =
            row.kind == TimelineRow::Kind::Sent ? Event::DataTransmitted : Event::DataReceived;
        entry.bytes = row.bytes;
        break;
    case TimelineRow::Kind::Lines:
        entry.comment = CapturePrinter::lineChanges(row.linesBefore, row.lines);
        break;
    case TimelineRow::Kind::Event:
        entry.event = row.event;
        break;
    case TimelineRow::Kind::Remark:
        entry.comment = row.remark;
        break;
    }
    return line(record);
}

} // namespace CaptureCsv
