#pragma once

#include "RtacSerial.h"

#include <QByteArray>
#include <QString>

// One row of the timeline: bytes one way on one port (pieces that follow each other within the
// gap make one row), a change of a port's control lines, a port event (a break, an error) or a
// remark (a port opened with its settings, the transmit mode).
struct TimelineRow {
    enum class Kind : quint8 { Received, Sent, Lines, Event, Remark };
    Kind kind = Kind::Remark;
    int port = 0;
    qint64 microsecondsSinceEpoch = 0; // of its first entry
    QByteArray bytes;                  // Received, Sent
    quint8 lines = 0;                  // the lines as they stood after the entry
    quint8 linesBefore = 0;            // Lines: as they stood before it
    RtacSerial::Event event = RtacSerial::Event::StatusChange; // Event
    QString remark;                                            // Remark
};

namespace Timeline {

// Filters tell ports apart up to this many; any port past them counts as the last.
constexpr int maxPorts = 4;
enum Direction { received, sent, other, directions };
constexpr int categories = maxPorts * directions;

// A row's category for filters: its port and direction, lines, events and remarks as `other`.
inline int category(const TimelineRow& row) {
    const int port = row.port < maxPorts ? row.port : maxPorts - 1;
    const Direction direction = row.kind == TimelineRow::Kind::Received ? received
                                : row.kind == TimelineRow::Kind::Sent   ? sent
                                                                        : other;
    return port * directions + direction;
}

// A set of categories, one bit each.
using Categories = quint32;
constexpr Categories allCategories = (1u << categories) - 1;

} // namespace Timeline
