#include "RtacSerial.h"

#include <QtEndian>

namespace RtacSerial {

quint8 lineState(const LineSnapshot& inputs, bool rts, bool dtr) {
    return (inputs.cts ? Line::cts : 0) | (inputs.dcd ? Line::dcd : 0) |
           (inputs.dsr ? Line::dsr : 0) | (rts ? Line::rts : 0) | (dtr ? Line::dtr : 0) |
           (inputs.ri ? Line::ring : 0);
}

Header header(qint64 microsecondsSinceEpoch, Event event, quint8 lines) {
    Header out{};
    auto* bytes = reinterpret_cast<uchar*>(out.data());
    qToBigEndian(quint32(microsecondsSinceEpoch / 1000000), bytes);
    qToBigEndian(quint32(microsecondsSinceEpoch % 1000000), bytes + 4);
    bytes[eventOffset] = uchar(event);
    bytes[linesOffset] = lines;
    return out;
}

QByteArray packet(qint64 microsecondsSinceEpoch, Event event, quint8 lines,
                  const QByteArray& bytes) {
    const Header head = header(microsecondsSinceEpoch, event, lines);
    return QByteArray(head.data(), headerLength) + bytes;
}

bool readPacket(const QByteArray& packet, Event& event, quint8& lines, QByteArray& bytes) {
    if (packet.size() < headerLength)
        return false;
    event = Event(quint8(packet[eventOffset]));
    lines = quint8(packet[linesOffset]);
    bytes = packet.mid(headerLength);
    return true;
}

} // namespace RtacSerial
