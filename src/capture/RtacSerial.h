#pragma once

#include "serial/LineEvents.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>

// The serial line record readers know as link type 250: every packet starts with a 12-byte
// header (the time, what happened, the control lines at that moment, two reserved bytes) and
// carries the bytes of the line, if any, after it.
namespace RtacSerial {

constexpr quint16 linkType = 250;
constexpr int headerLength = 12;
constexpr int eventOffset = 8;
constexpr int linesOffset = 9;

enum class Event : quint8 {
    StatusChange = 0x00,
    DataTransmitted = 0x01,
    DataReceived = 0x02,
    TransmitEnded = 0x03,
    ReceiveEnded = 0x04,
    CaptureDataLost = 0x05,
    CaptureComplete = 0x06,
    FramingError = 0x07,
    ParityError = 0x08,
    Break = 0x09,
    Overrun = 0x0A,
};

// The control-line state byte: a set bit is a line that is on.
namespace Line {
constexpr quint8 cts = 0x01;
constexpr quint8 dcd = 0x02;
constexpr quint8 dsr = 0x04;
constexpr quint8 rts = 0x08;
constexpr quint8 dtr = 0x10;
constexpr quint8 ring = 0x20;
} // namespace Line

// The state byte of a port's lines: the inputs as read, RTS and DTR as the port drives them.
quint8 lineState(const LineSnapshot& inputs, bool rts, bool dtr);

using Header = std::array<char, headerLength>;

// The header alone, for a packet whose bytes follow it in place.
Header header(qint64 microsecondsSinceEpoch, Event event, quint8 lines);

// The header followed by the bytes: the time (seconds and microseconds since 1970, big-endian),
// the event, the control lines, and the reserved footer left zero.
QByteArray packet(qint64 microsecondsSinceEpoch, Event event, quint8 lines,
                  const QByteArray& bytes);

// The event, lines and bytes of a packet; false when it is too short for its header.
bool readPacket(const QByteArray& packet, Event& event, quint8& lines, QByteArray& bytes);

} // namespace RtacSerial
