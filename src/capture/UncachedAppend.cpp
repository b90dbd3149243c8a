#include "UncachedAppend.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Offsets, sizes and the buffer's address are multiples of this for O_DIRECT.
constexpr qint64 kAlignment = 4096;
constexpr qint64 kBufferBytes = qint64(1) << 20;

} // namespace

UncachedAppend::~UncachedAppend() {
    close();
}

bool UncachedAppend::open(const QString& path) {
    close();
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return false;
    m_buffer = static_cast<char*>(std::aligned_alloc(size_t(kAlignment), size_t(kBufferBytes)));
#ifdef O_DIRECT
    if (m_buffer)
        m_directFd = ::open(name.constData(), O_WRONLY | O_DIRECT | O_CLOEXEC);
#endif
    return true;
}

void UncachedAppend::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_directFd >= 0)
        ::close(m_directFd);
    m_fd = -1;
    m_directFd = -1;
    std::free(m_buffer);
    m_buffer = nullptr;
    m_blockStart = 0;
    m_held = 0;
}

bool UncachedAppend::writeAt(int fd, const char* data, qint64 size, qint64 at) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
        at += n;
    }
    return true;
}

bool UncachedAppend::append(const char* data, qint64 size) {
    if (!isOpen())
        return false;
    if (!m_buffer)
        return writeAt(m_fd, data, size, std::exchange(m_blockStart, m_blockStart + size));
    while (size > 0) {
        const qint64 take = std::min(size, kBufferBytes - m_held);
        std::memcpy(m_buffer + m_held, data, size_t(take));
        m_held += take;
        data += take;
        size -= take;
        if (!writeHeld())
            return false;
    }
    return true;
}

// Writes the buffer's whole blocks past the cache and the partial block after them through it,
// and keeps only the partial block.
bool UncachedAppend::writeHeld() {
    const qint64 whole = m_held / kAlignment * kAlignment;
    if (whole > 0 && m_directFd >= 0 && !writeAt(m_directFd, m_buffer, whole, m_blockStart)) {
        // A file system that takes no direct writes gets all through the cache from now on.
        if (errno != EINVAL)
            return false;
        ::close(m_directFd);
        m_directFd = -1;
    }
    if (m_directFd < 0 && !writeAt(m_fd, m_buffer, whole, m_blockStart))
        return false;
    if (m_held > whole && !writeAt(m_fd, m_buffer + whole, m_held - whole, m_blockStart + whole))
        return false;
    std::memmove(m_buffer, m_buffer + whole, size_t(m_held - whole));
    m_blockStart += whole;
    m_held -= whole;
    return true;
}

bool UncachedAppend::cutTo(qint64 end) {
    if (!isOpen() || ::ftruncate(m_fd, off_t(end)) != 0)
        return false;
    // The buffer starts again at the block the end falls in, read back from the file.
    m_blockStart = end / kAlignment * kAlignment;
    m_held = end - m_blockStart;
    return !m_buffer || ::pread(m_fd, m_buffer, size_t(m_held), off_t(m_blockStart)) == m_held;
}
