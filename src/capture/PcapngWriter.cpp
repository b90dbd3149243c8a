#include "PcapngWriter.h"

#include "Pcapng.h"
#include "RtacSerial.h"

#include <QtEndian>

namespace {

using namespace Pcapng;

constexpr int longestOptionValue = 0xFFFF;

void append16(QByteArray& out, quint16 value) {
    const quint16 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

void append32(QByteArray& out, quint32 value) {
    const quint32 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

void padTo32Bits(QByteArray& out) {
    out.append((4 - out.size() % 4) % 4, '\0');
}

// The text as UTF-8, cut at a character's start where it is longer than an option holds.
QByteArray optionText(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() > longestOptionValue) {
        int end = longestOptionValue;
        while (end > 0 && (uchar(utf8[end]) & 0xC0) == 0x80)
            --end;
        utf8.truncate(end);
    }
    return utf8;
}

void appendOption(QByteArray& out, quint16 code, const QByteArray& value) {
    append16(out, code);
    append16(out, quint16(value.size()));
    out += value;
    padTo32Bits(out);
}

void appendEndOfOptions(QByteArray& out) {
    append16(out, endOfOptions);
    append16(out, 0);
}

} // namespace

PcapngWriter::PcapngWriter() {
    QByteArray body;
    append32(body, byteOrderMagic);
    append16(body, 1); // version 1.0
    append16(body, 0);
    append32(body, 0xFFFFFFFF); // section length unknown: the file grows as it is written
    append32(body, 0xFFFFFFFF);
    addBlock(sectionHeaderBlock, body);
}

int PcapngWriter::addInterface(const QString& name) {
    QByteArray body;
    append16(body, RtacSerial::linkType);
    append16(body, 0);
    append32(body, 0); // no snapshot length: packets are whole
    appendOption(body, interfaceNameOption, optionText(name));
    appendOption(body, timestampResolutionOption, QByteArray(1, microseconds));
    appendEndOfOptions(body);
    addBlock(interfaceDescriptionBlock, body);
    return m_interfaces++;
}

void PcapngWriter::addPacket(int interface, qint64 microsecondsSinceEpoch, const QByteArray& data,
                             const QString& comment) {
    QByteArray body;
    append32(body, quint32(interface));
    append32(body, quint32(quint64(microsecondsSinceEpoch) >> 32));
    append32(body, quint32(quint64(microsecondsSinceEpoch)));
    append32(body, quint32(data.size()));
    append32(body, quint32(data.size()));
    body += data;
    padTo32Bits(body);
    if (!comment.isEmpty()) {
        appendOption(body, commentOption, optionText(comment));
        appendEndOfOptions(body);
    }
    addBlock(enhancedPacketBlock, body);
}

void PcapngWriter::addBlock(quint32 type, const QByteArray& body) {
    const quint32 total = quint32(body.size() + blockFraming);
    append32(m_blocks, type);
    append32(m_blocks, total);
    m_blocks += body;
    append32(m_blocks, total);
}
