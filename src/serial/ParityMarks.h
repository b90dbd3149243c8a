#pragma once

#include <QByteArray>

// With parity marking on, the kernel hands over a byte received with a parity or framing error
// as 0xFF 0x00 and the byte, and a real 0xFF as 0xFF 0xFF. This turns such a stream back into
// the bytes received, each damaged byte replaced by '?'. A mark may be split between two reads.
class ParityMarkDecoder {
public:
    QByteArray decode(const QByteArray& marked);
    // Forgets an unfinished mark (the port closed).
    void reset() { m_pending = 0; }

private:
    int m_pending = 0; // bytes of an unfinished mark seen so far: 0xFF, then 0x00
};
