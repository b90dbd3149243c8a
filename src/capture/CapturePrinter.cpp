#include "CapturePrinter.h"

#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"

#include <QDateTime>

using RtacSerial::Event;

namespace {

struct LineName {
    quint8 line;
    const char* name;
};
constexpr LineName lineNames[] = {
    {RtacSerial::Line::cts, "CTS"}, {RtacSerial::Line::dsr, "DSR"}, {RtacSerial::Line::dcd, "DCD"},
    {RtacSerial::Line::ring, "RI"}, {RtacSerial::Line::rts, "RTS"}, {RtacSerial::Line::dtr, "DTR"},
};

} // namespace

QString CapturePrinter::eventName(Event event) {
    switch (event) {
    case Event::TransmitEnded:
        return QStringLiteral("transmit ended");
    case Event::ReceiveEnded:
        return QStringLiteral("receive ended");
    case Event::CaptureDataLost:
        return QStringLiteral("capture data lost");
    case Event::CaptureComplete:
        return QStringLiteral("capture complete");
    case Event::FramingError:
        return QStringLiteral("framing error");
    case Event::ParityError:
        return QStringLiteral("parity error");
    case Event::Break:
        return QStringLiteral("break");
    case Event::Overrun:
        return QStringLiteral("overrun");
    case Event::StatusChange:
        return QStringLiteral("line change");
    case Event::DataTransmitted:
    case Event::DataReceived:
        return QStringLiteral("data");
    }
    return QStringLiteral("event 0x%1").arg(quint8(event), 2, 16, QLatin1Char('0'));
}

QString CapturePrinter::localTime(qint64 microsecondsSinceEpoch, const QString& format) {
    // Rounded down, also before 1970.
    const qint64 milliseconds =
        microsecondsSinceEpoch / 1000 - (microsecondsSinceEpoch % 1000 < 0 ? 1 : 0);
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::LocalTime).toString(format);
}

QString CapturePrinter::shortName(const CaptureRecord& record) {
    if (record.portName.isEmpty())
        return QStringLiteral("port%1").arg(record.entry.port + 1);
    return record.portName.section(QLatin1Char(' '), 0, 0);
}

QString CapturePrinter::escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\r')
            out += QStringLiteral("\\r");
        else if (u == '\n')
            out += QStringLiteral("\\n");
        else if (u == '\t')
            out += QStringLiteral("\\t");
        else if (u == '\\')
            out += QStringLiteral("\\\\");
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString CapturePrinter::lineChanges(quint8 before, quint8 after) {
    QStringList changes;
    for (const LineName& line : lineNames) {
        if ((before ^ after) & line.line)
            changes << QLatin1String(line.name) +
                           QLatin1String((after & line.line) ? " on" : " off");
    }
    return changes.join(QStringLiteral(", "));
}

QStringList CapturePrinter::linesOf(const CaptureRecord& record) {
    const CaptureEntry& entry = record.entry;
    const bool received = entry.event == Event::DataReceived;
    const bool sent = entry.event == Event::DataTransmitted;
    const QString start =
        localTime(entry.microsecondsSinceEpoch, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
        QLatin1Char(' ') + shortName(record);
    const QString event = start + QStringLiteral(" * ");
    QStringList out;
    if (!entry.comment.isEmpty())
        out << event + escaped(entry.comment);

    // A port's first entry shows the lines that are on.
    Previous& previous = m_previous[entry.port];
    const quint8 before = previous.portName == record.portName ? previous.lines : 0;
    previous = {record.portName, entry.lines};
    const QString changes = lineChanges(before, entry.lines);
    if (!changes.isEmpty())
        out << event + changes;

    if (received || sent) {
        QString data = QString::fromLatin1(StringToHEX(entry.bytes));
        if (!m_hex && !entry.bytes.isEmpty())
            data = QLatin1Char(' ') + escaped(ansi::decode(entry.bytes));
        out << start + QLatin1Char(' ') + QLatin1Char(received ? '<' : '>') + data;
    } else if (entry.event != Event::StatusChange) {
        out << event + eventName(entry.event);
    }
    return out;
}
