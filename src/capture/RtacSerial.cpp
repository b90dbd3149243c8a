#include "RtacSerial.h"

#include <QtEndian>

namespace RtacSerial {

QByteArray packet(qint64 microsecondsSinceEpoch, Event event, quint8 lines,
                  const QByteArray& bytes) {
    QByteArray out(headerLength, '\0');
    auto* header = reinterpret_cast<uchar*>(out.data());
    qToBigEndian(quint32(microsecondsSinceEpoch / 1000000), header);
    qToBigEndian(quint32(microsecondsSinceEpoch % 1000000), header + 4);
    header[8] = uchar(event);
    header[9] = lines;
    return out + bytes;
}

} // namespace RtacSerial
