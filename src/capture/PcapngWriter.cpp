#include "PcapngWriter.h"

#include "Pcapng.h"
#include "RtacSerial.h"

#include <QtEndian>

#include <cstring>

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
    addPacket(interface, microsecondsSinceEpoch, {}, data, comment);
}

void PcapngWriter::addPacket(int interface, qint64 microsecondsSinceEpoch, QByteArrayView header,
                             QByteArrayView data, const QString& comment) {
    QByteArray options;
    if (!comment.isEmpty()) {
        appendOption(options, commentOption, optionText(comment));
        appendEndOfOptions(options);
    }
    const qsizetype captured = header.size() + data.size();
    const qsizetype padding = (4 - captured % 4) % 4;
    const quint32 total = quint32(blockFraming + 20 + captured + padding + options.size());
    // Built in place: a busy capture's bytes are copied once, into the block.
    const qsizetype start = m_blocks.size();
    m_blocks.resize(start + qsizetype(total));
    char* out = m_blocks.data() + start;
    const auto put32 = [&out](quint32 value) {
        qToLittleEndian(value, out);
        out += 4;
    };
    const auto put = [&out](QByteArrayView bytes) {
        if (!bytes.isEmpty())
            std::memcpy(out, bytes.data(), size_t(bytes.size()));
        out += bytes.size();
    };
    put32(enhancedPacketBlock);
    put32(total);
    put32(quint32(interface));
    put32(quint32(quint64(microsecondsSinceEpoch) >> 32));
    put32(quint32(quint64(microsecondsSinceEpoch)));
    put32(quint32(captured));
    put32(quint32(captured));
    put(header);
    put(data);
    std::memset(out, 0, size_t(padding));
    out += padding;
    put(options);
    put32(total);
}

void PcapngWriter::addBlock(quint32 type, const QByteArray& body) {
    const quint32 total = quint32(body.size() + blockFraming);
    append32(m_blocks, type);
    append32(m_blocks, total);
    m_blocks += body;
    append32(m_blocks, total);
}
