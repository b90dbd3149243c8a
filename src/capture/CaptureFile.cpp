#include "CaptureFile.h"

#include "UncachedAppend.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace {

constexpr auto writePeriod = std::chrono::milliseconds(100);
// Readers refuse packets past 256 KiB; longer runs of bytes go in as several packets.
constexpr qsizetype longestPacketData = 65536;

} // namespace

CaptureFile::CaptureFile(const QString& fileName, const QStringList& portNames, QObject* parent)
    : QObject(parent), m_fileName(fileName) {
    for (const QString& name : portNames)
        m_pcapng.addInterface(name);
    m_writer = std::thread([this] { writeUntilStopped(); });
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
    // The packets are built here, so that the entry's bytes are let go of at once: a port's
    // read buffer still shared at its next read would be made anew, fresh pages all through.
    const RtacSerial::Header header =
        RtacSerial::header(entry.microsecondsSinceEpoch, entry.event, entry.lines);
    const QByteArrayView bytes(entry.bytes);
    std::lock_guard<std::mutex> lock(m_mutex);
    qsizetype offset = 0;
    do {
        m_pcapng.addPacket(entry.port, entry.microsecondsSinceEpoch,
                           QByteArrayView(header.data(), qsizetype(header.size())),
                           bytes.sliced(offset, std::min(longestPacketData, bytes.size() - offset)),
                           offset == 0 ? entry.comment : QString());
        offset += longestPacketData;
    } while (offset < bytes.size());
}

qint64 CaptureFile::microsecondsNow() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void CaptureFile::writeUntilStopped() {
    UncachedAppend file;
    if (!file.open(m_fileName)) {
        fail(qt_error_string(errno));
        return;
    }
    QByteArray blocks;
    bool waiting = false; // the file's first blocks go at once
    bool stopping = false;
    do {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (std::exchange(waiting, true))
                m_wake.wait_for(lock, writePeriod, [this] { return m_stopping; });
            m_pcapng.swapBlocks(blocks);
            stopping = m_stopping;
        }
    } while (writeBlocks(file, blocks) && !stopping);
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
        m_pcapng.clearBlocks();
    }
    QMetaObject::invokeMethod(
        this, [this, reason] { emit failed(m_fileName, reason); }, Qt::QueuedConnection);
}

#include "moc_CaptureFile.cpp"
