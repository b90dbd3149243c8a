#include "TimelineText.h"

#include "CapturePrinter.h"
#include "text/AnsiCodePage.h"

#include <QDateTime>

using Kind = TimelineRow::Kind;

namespace TimelineText {

namespace {

QString clock(qint64 microseconds) {
    const qint64 ms = microseconds / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// A control character as a symbol: the control pictures of U+2400, DEL as U+2421.
QChar symbol(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x20)
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7F)
        return QChar(char16_t(0x2421));
    return c;
}

} // namespace

QString time(qint64 microsecondsSinceEpoch, Time mode, qint64 reference) {
    switch (mode) {
    case Time::Absolute: {
        const qint64 below = (microsecondsSinceEpoch % 1000000 + 1000000) % 1000000;
        const QDateTime second = QDateTime::fromSecsSinceEpoch(
            (microsecondsSinceEpoch - below) / 1000000, Qt::LocalTime);
        return second.toString(QStringLiteral("HH:mm:ss.")) +
               QStringLiteral("%1").arg(below / 1000, 3, 10, QLatin1Char('0'));
    }
    case Time::Relative: {
        const qint64 since = microsecondsSinceEpoch - reference;
        return (since < 0 ? QStringLiteral("-") : QStringLiteral("+")) + clock(qAbs(since));
    }
    case Time::Delta: {
        const qint64 since = microsecondsSinceEpoch - reference;
        const qint64 ms = qAbs(since) / 1000;
        return QStringLiteral("%1%2.%3")
            .arg(since < 0 ? QLatin1Char('-') : QLatin1Char('+'))
            .arg(ms / 1000)
            .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    }
    }
    return {};
}

QString direction(Kind kind) {
    switch (kind) {
    case Kind::Received:
        return QStringLiteral("received");
    case Kind::Sent:
        return QStringLiteral("sent");
    case Kind::Lines:
        return QStringLiteral("lines");
    case Kind::Event:
        return QStringLiteral("event");
    case Kind::Remark:
        return QStringLiteral("remark");
    }
    return {};
}

QString portName(const QStringList& names, int port) {
    const QString name = names.value(port);
    if (name.isEmpty())
        return QStringLiteral("port %1").arg(port + 1);
    return name.section(QLatin1Char(' '), 0, 0);
}

namespace {

bool hasBytes(const TimelineRow& row) {
    return row.kind == Kind::Received || row.kind == Kind::Sent;
}

QString described(const TimelineRow& row) {
    return row.kind == Kind::Lines   ? CapturePrinter::lineChanges(row.linesBefore, row.lines)
           : row.kind == Kind::Event ? CapturePrinter::eventName(row.event)
                                     : CapturePrinter::escaped(row.remark);
}

} // namespace

QByteArray searched(const TimelineRow& row) {
    return hasBytes(row) ? row.bytes : ansi::encode(described(row));
}

std::vector<int> matches(const QByteArray& searched, const QByteArray& pattern) {
    std::vector<int> found;
    if (pattern.isEmpty())
        return found;
    for (qsizetype at = searched.indexOf(pattern); at >= 0;
         at = searched.indexOf(pattern, at + pattern.size()))
        found.push_back(int(at));
    return found;
}

Shown shown(const TimelineRow& row, Bytes mode) {
    Shown out;
    if (!hasBytes(row)) {
        out.text = described(row);
        out.searched = ansi::encode(out.text);
        for (int i = 0; i <= out.text.size(); ++i)
            out.starts.push_back(i);
        return out;
    }
    out.searched = row.bytes;
    out.starts.reserve(size_t(row.bytes.size()) + 1);
    if (mode == Bytes::Hex) {
        static const char digits[] = "0123456789ABCDEF";
        out.text.reserve(row.bytes.size() * 3);
        for (const char byte : row.bytes) {
            if (!out.text.isEmpty())
                out.text += QLatin1Char(' ');
            out.starts.push_back(int(out.text.size()));
            out.text += QLatin1Char(digits[quint8(byte) >> 4]);
            out.text += QLatin1Char(digits[quint8(byte) & 15]);
        }
        out.starts.push_back(int(out.text.size()));
        return out;
    }
    const QString decoded = ansi::decode(row.bytes);
    out.text.reserve(decoded.size());
    for (const QChar c : decoded) {
        out.starts.push_back(int(out.text.size()));
        out.text += mode == Bytes::Symbols ? QString(symbol(c)) : CapturePrinter::escaped(c);
    }
    out.starts.push_back(int(out.text.size()));
    return out;
}

} // namespace TimelineText
