#include "UncachedAppend.h"

#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Offsets, sizes and the buffer's address are multiples of this for O_DIRECT.
constexpr qint64 kAlignment = 4096;
constexpr qint64 kBufferBytes = qint64(1) << 20;

qint64 roundedUp(qint64 size) {
    return (size + kAlignment - 1) / kAlignment * kAlignment;
}

} // namespace

UncachedAppend::~UncachedAppend() {
    close();
}

bool UncachedAppend::open(const QString& path) {
    close();
#ifdef Q_OS_LINUX
    m_buffer = static_cast<char*>(std::aligned_alloc(size_t(kAlignment), size_t(kBufferBytes)));
    if (!m_buffer)
        return false;
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_DIRECT | O_CLOEXEC);
    if (m_fd < 0 || ::ftruncate(m_fd, 0) != 0) {
        close();
        return false;
    }
    return true;
#else
    Q_UNUSED(path);
    return false;
#endif
}

void UncachedAppend::close() {
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
    std::free(m_buffer);
    m_buffer = nullptr;
    m_blockStart = 0;
    m_held = 0;
}

bool UncachedAppend::append(const char* data, qint64 size) {
    if (!isOpen())
        return false;
    while (size > 0) {
        const qint64 take = std::min(size, kBufferBytes - m_held);
        std::memcpy(m_buffer + m_held, data, size_t(take));
        m_held += take;
        data += take;
        size -= take;
        if (!writeHeld()) {
            close();
            return false;
        }
    }
    return true;
}

// Writes the buffer in whole blocks, the last one padded, cuts the file back to its length and
// keeps only the partial block.
bool UncachedAppend::writeHeld() {
#ifdef Q_OS_LINUX
    const qint64 padded = roundedUp(m_held);
    std::memset(m_buffer + m_held, 0, size_t(padded - m_held));
    if (::pwrite(m_fd, m_buffer, size_t(padded), off_t(m_blockStart)) != padded ||
        ::ftruncate(m_fd, off_t(m_blockStart + m_held)) != 0)
        return false;
    const qint64 whole = m_held / kAlignment * kAlignment;
    std::memmove(m_buffer, m_buffer + whole, size_t(m_held - whole));
    m_blockStart += whole;
    m_held -= whole;
    return true;
#else
    return false;
#endif
}
