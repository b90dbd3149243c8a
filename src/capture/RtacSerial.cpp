#include "RtacSerial.h"

#include <QtEndian>

namespace RtacSerial {

quint8 lineState(const LineSnapshot& inputs, bool rts, bool dtr) {
    return (inputs.cts ? Line::cts : 0) | (inputs.dcd ? Line::dcd : 0) |
           (inputs.dsr ? Line::dsr : 0) | (rts ? Line::rts : 0) | (dtr ? Line::dtr : 0) |
           (inputs.ri ? Line::ring : 0);
}

QByteArray packet(qint64 microsecondsSinceEpoch, Event event, quint8 lines,
                  const QByteArray& bytes) {
    QByteArray out(headerLength, '\0');
    auto* header = reinterpret_cast<uchar*>(out.data());
    qToBigEndian(quint32(microsecondsSinceEpoch / 1000000), header);
    qToBigEndian(quint32(microsecondsSinceEpoch % 1000000), header + 4);
    header[eventOffset] = uchar(event);
    header[linesOffset] = lines;
    return out + bytes;
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
