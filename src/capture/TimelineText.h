#pragma once

#include "TimelineRow.h"

#include <QString>

#include <vector>

// The timeline's rows as text: the time in one of three ways, the direction, and what happened,
// with bytes as text (Windows-1251, control characters as symbols or escapes) or in hex.
namespace TimelineText {

enum class Time { Absolute, Relative, Delta };
enum class Bytes { Symbols, Escapes, Hex };

// "14:03:22.417" local time; "+00:01:02.345" since `reference` (the first row) or "+0.012" since
// it (the row above).
QString time(qint64 microsecondsSinceEpoch, Time mode, qint64 reference);
// "received", "sent", "lines", "event", "remark".
QString direction(TimelineRow::Kind kind);
// "COM1" of a port named "COM1 (/dev/ttyUSB0)"; "port 3" of a port with no name.
QString portName(const QStringList& names, int port);

// What a row shows and the bytes a search looks through, with where each of those bytes is in
// the text: byte i is text[starts[i], starts[i + 1]).
struct Shown {
    QString text;
    QByteArray searched;
    std::vector<int> starts;
};
Shown shown(const TimelineRow& row, Bytes mode);
// Just the bytes a search looks through.
QByteArray searched(const TimelineRow& row);
// Where the pattern is in the bytes, each match after the one before it ends.
std::vector<int> matches(const QByteArray& searched, const QByteArray& pattern);

} // namespace TimelineText
