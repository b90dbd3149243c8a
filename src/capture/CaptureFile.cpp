#include "CaptureFile.h"

#include "PcapngWriter.h"
#include "UncachedAppend.h"

#include <QFile>

#include <cerrno>
#include <chrono>

namespace {

constexpr auto writePeriod = std::chrono::milliseconds(100);
// Readers refuse packets past 256 KiB; longer runs of bytes go in as several packets.
constexpr int longestPacketData = 65536;

void addEntry(PcapngWriter& writer, const CaptureEntry& entry) {
    int offset = 0;
    do {
        const QByteArray part = entry.bytes.mid(offset, longestPacketData);
        writer.addPacket(
            entry.port, entry.microsecondsSinceEpoch,
            RtacSerial::packet(entry.microsecondsSinceEpoch, entry.event, entry.lines, part),
            offset == 0 ? entry.comment : QString());
        offset += longestPacketData;
    } while (offset < entry.bytes.size());
}

} // namespace

CaptureFile::CaptureFile(const QString& fileName, const QStringList& portNames, QObject* parent)
    : QObject(parent), m_fileName(fileName) {
    m_writer = std::thread([this, portNames] { writeUntilStopped(portNames); });
}

CaptureFile::~CaptureFile() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_writer.join();
}

void CaptureFile::append(CaptureEntry entry) {
    if (m_failed)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(entry));
}

qint64 CaptureFile::microsecondsNow() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void CaptureFile::writeUntilStopped(const QStringList& portNames) {
    UncachedAppend file;
    if (!file.open(m_fileName)) {
        fail(qt_error_string(errno));
        return;
    }
    PcapngWriter writer;
    for (const QString& name : portNames)
        writer.addInterface(name);
    bool writing = writeBlocks(file, writer.blocks());
    writer.clearBlocks();
    while (writing) {
        std::vector<CaptureEntry> entries;
        bool stopping = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_for(lock, writePeriod, [this] { return m_stopping; });
            entries.swap(m_queue);
            stopping = m_stopping;
        }
        for (const CaptureEntry& entry : entries)
            addEntry(writer, entry);
        writing = writeBlocks(file, writer.blocks()) && !stopping;
        writer.clearBlocks();
    }
}

bool CaptureFile::writeBlocks(UncachedAppend& file, const QByteArray& blocks) {
    const qint64 whole = m_bytesWritten;
    if (!file.append(blocks.constData(), blocks.size())) {
        fail(qt_error_string(errno));
        // A block cut short would make readers reject the file there.
        file.cutTo(whole);
        return false;
    }
    m_bytesWritten += blocks.size();
    return true;
}

void CaptureFile::fail(const QString& reason) {
    m_failed = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
    }
    QMetaObject::invokeMethod(
        this, [this, reason] { emit failed(m_fileName, reason); }, Qt::QueuedConnection);
}

#include "moc_CaptureFile.cpp"
