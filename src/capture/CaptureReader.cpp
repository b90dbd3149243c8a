#include "CaptureReader.h"

#include <QtEndian>

#include <cmath>

using namespace Pcapng;

namespace {

// Far past the writer's longest packet (64 KiB of data) and other tools' (256 KiB): a length
// beyond it is damage, and printing it would take memory of many times its size.
constexpr quint32 longestBlock = 1 << 20;
// Far past the two ports a file of ours describes: more is damage, and keeping them would take
// memory of the file's size.
constexpr std::size_t mostInterfaces = 65536;
// Far past any port's name, so that those interfaces take little memory.
constexpr int longestName = 256;

// A time in 10^-resolution s, or 2^-resolution s when binary, in microseconds; false when 64 bits
// cannot hold that many.
bool toMicroseconds(quint64 time, bool binary, int resolution, quint64& microseconds) {
    if (binary) {
        const long double exact = std::ldexp(1e6L * time, -resolution);
        if (exact >= 0x1p64L)
            return false;
        microseconds = quint64(exact);
        return true;
    }
    for (int finer = resolution - Pcapng::microseconds; finer < 0; ++finer) {
        if (time > ~quint64(0) / 10)
            return false;
        time *= 10;
    }
    for (int finer = resolution - Pcapng::microseconds; finer > 0 && time > 0; --finer)
        time /= 10;
    microseconds = time;
    return true;
}

} // namespace

CaptureReader::CaptureReader(const QString& fileName) : m_file(fileName) {
    if (!m_file.open(QIODevice::ReadOnly))
        stop(QStringLiteral("cannot be opened: ") + m_file.errorString());
    else if (m_file.size() == 0)
        stopNotYet(QStringLiteral("is empty: it is not a capture"));
}

void CaptureReader::seek(qint64 offset) {
    m_stopped = false;
    m_notYet = false;
    m_problem.clear();
    m_position = offset;
    // A file being written may not have been made when reading began.
    if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
        stop(QStringLiteral("cannot be opened: ") + m_file.errorString());
    else
        m_file.seek(offset);
}

QStringList CaptureReader::interfaceNames() const {
    QStringList names;
    for (const Interface& interface : m_interfaces)
        names << interface.name;
    return names;
}

bool CaptureReader::stop(const QString& problem) {
    m_stopped = true;
    m_problem = problem;
    return false;
}

bool CaptureReader::stopNotYet(const QString& problem) {
    m_notYet = true;
    m_file.seek(m_position);
    return stop(problem);
}

bool CaptureReader::damaged(qint64 at, const QString& what) {
    return stop(QStringLiteral("is damaged at byte %1: %2").arg(at).arg(what));
}

quint16 CaptureReader::number16(const QByteArray& bytes, int at) const {
    const char* p = bytes.constData() + at;
    return m_bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
}

quint32 CaptureReader::number32(const QByteArray& bytes, int at) const {
    const char* p = bytes.constData() + at;
    return m_bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

bool CaptureReader::readBlock(quint32& type, QByteArray& body) {
    const qint64 at = m_file.pos();
    const bool first = at == 0;
    QByteArray head = m_file.read(8);
    if (head.isEmpty() && !first)
        return stop({}); // the end of a whole file
    if (head.isEmpty())
        return stopNotYet(QStringLiteral("is empty: it is not a capture"));
    const bool section =
        head.size() >= 4 && qFromLittleEndian<quint32>(head.constData()) == sectionHeaderBlock;
    if (first && !section)
        return stop(QStringLiteral("is not a capture: it does not start with a pcapng section "
                                   "header"));
    const QString cutShort =
        QStringLiteral("is cut short: its last block, at byte %1, is not whole").arg(at);
    if (section) {
        // The section says in which byte order it is written after its length.
        head += m_file.read(4);
        if (head.size() < 12)
            return stopNotYet(cutShort);
        if (qFromLittleEndian<quint32>(head.constData() + 8) == byteOrderMagic)
            m_bigEndian = false;
        else if (qFromBigEndian<quint32>(head.constData() + 8) == byteOrderMagic)
            m_bigEndian = true;
        else if (first)
            return stop(QStringLiteral("is not a capture: its section header has no byte order"));
        else
            return damaged(at, QStringLiteral("a section header has no byte order"));
    } else if (head.size() < 8) {
        return stopNotYet(cutShort);
    }
    type = number32(head, 0);
    const quint32 length = number32(head, 4);
    if (length < quint32(blockFraming) || length % 4)
        return damaged(at, QStringLiteral("a block's length is not whole 4-byte words"));
    if (length > longestBlock)
        return damaged(at, QStringLiteral("a block's length is past any the writer makes"));
    if (at + length > m_knownSize)
        m_knownSize = m_file.size();
    if (at + length > m_knownSize)
        return stopNotYet(cutShort);
    body = head.mid(8) + m_file.read(length - head.size());
    if (body.size() != int(length) - 8)
        return stopNotYet(cutShort);
    if (number32(body, body.size() - 4) != length)
        return damaged(at, QStringLiteral("a block's two lengths differ"));
    body.chop(4);
    return true;
}

bool CaptureReader::options(const QByteArray& body, int offset, Options& found) const {
    while (offset + 4 <= body.size()) {
        const quint16 code = number16(body, offset);
        const int length = number16(body, offset + 2);
        offset += 4;
        if (code == endOfOptions)
            break;
        if (offset + length > body.size())
            return false;
        found.emplace_back(code, body.mid(offset, length));
        offset += (length + 3) / 4 * 4;
    }
    return true;
}

bool CaptureReader::readInterface(const QByteArray& body, qint64 at) {
    if (m_interfaces.size() == mostInterfaces)
        return damaged(
            at, QStringLiteral("a section describes more than %1 interfaces").arg(mostInterfaces));
    Interface interface;
    interface.serial = body.size() >= 8 && number16(body, 0) == RtacSerial::linkType;
    Options found;
    if (!options(body, 8, found))
        return damaged(at, QStringLiteral("an option runs past its block"));
    for (const auto& [code, value] : found) {
        if (code == interfaceNameOption) {
            interface.name = QString::fromUtf8(value).left(longestName);
            if (interface.name.size() == longestName && interface.name.back().isHighSurrogate())
                interface.name.chop(1);
        } else if (code == timestampResolutionOption && !value.isEmpty()) {
            interface.binaryResolution = quint8(value[0]) & 0x80;
            interface.resolution = quint8(value[0]) & 0x7F;
        }
    }
    m_interfaces.push_back(interface);
    return true;
}

bool CaptureReader::readPacket(const QByteArray& body, qint64 at, CaptureRecord& record,
                               bool& isEntry) {
    isEntry = false;
    if (body.size() < 20)
        return damaged(at, QStringLiteral("a packet's block is too short for a packet"));
    const quint32 id = number32(body, 0);
    if (id >= m_interfaces.size())
        return damaged(at, QStringLiteral("a packet names an interface not described before it"));
    const Interface& interface = m_interfaces[id];
    const quint32 length = number32(body, 12);
    if (length > quint32(body.size() - 20))
        return damaged(at, QStringLiteral("a packet's data runs past its block"));
    if (!interface.serial)
        return true;
    CaptureEntry& entry = record.entry;
    if (!RtacSerial::readPacket(body.mid(20, int(length)), entry.event, entry.lines, entry.bytes))
        return damaged(at, QStringLiteral("a packet is shorter than the serial line header"));
    const quint64 time = quint64(number32(body, 4)) << 32 | number32(body, 8);
    quint64 sinceEpoch = 0;
    if (!toMicroseconds(time, interface.binaryResolution, interface.resolution, sinceEpoch))
        return damaged(at, QStringLiteral("a packet's time is past what 64-bit microseconds hold"));
    entry.microsecondsSinceEpoch = qint64(sinceEpoch);
    entry.port = int(id);
    entry.comment.clear();
    Options found;
    if (!options(body, 20 + (int(length) + 3) / 4 * 4, found))
        return damaged(at, QStringLiteral("an option runs past its block"));
    for (const auto& [code, value] : found) {
        if (code == commentOption)
            entry.comment += (entry.comment.isEmpty() ? QString() : QStringLiteral("\n")) +
                             QString::fromUtf8(value);
    }
    record.portName = interface.name;
    isEntry = true;
    return true;
}

bool CaptureReader::next(CaptureRecord& record) {
    quint32 type = 0;
    QByteArray body;
    bool isEntry = false;
    while (!m_stopped) {
        const qint64 at = m_file.pos();
        if (!readBlock(type, body))
            return false;
        m_position = m_file.pos();
        if (type == sectionHeaderBlock)
            m_interfaces.clear();
        else if (type == interfaceDescriptionBlock && !readInterface(body, at))
            return false;
        else if (type == enhancedPacketBlock && !readPacket(body, at, record, isEntry))
            return false;
        if (isEntry)
            return true;
    }
    return false;
}
