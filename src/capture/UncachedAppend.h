#pragma once

#include <QString>

// Appends to a file past the system's page cache (O_DIRECT) where the system allows. A log's
// older text and a capture go to their files at tens of megabytes a second and are seldom read
// back at once: through the cache every page of them would be fresh memory to fill and later to
// write back, at several times the cost of the write itself. Whole blocks go from an aligned
// buffer of its own; the last partial block goes through the cache, so that the file always has
// exactly what was appended, and is written again whole with what follows.
class UncachedAppend {
public:
    UncachedAppend() = default;
    ~UncachedAppend();
    UncachedAppend(const UncachedAppend&) = delete;
    UncachedAppend& operator=(const UncachedAppend&) = delete;

    // Creates the file, or empties it; false (with errno) when it cannot be opened.
    bool open(const QString& path);
    bool isOpen() const { return m_fd >= 0; }
    void close();
    // Where the next append goes: the file's length.
    qint64 end() const { return m_blockStart + m_held; }
    // False (with errno) when the file refused: then it may hold part of this.
    bool append(const char* data, qint64 size);
    // Cuts the file back to an end it had, after a refusal; false when it cannot.
    bool cutTo(qint64 end);

private:
    bool writeHeld();
    bool writeAt(int fd, const char* data, qint64 size, qint64 at);

    int m_fd = -1;       // through the cache
    int m_directFd = -1; // past it, while the file system takes that
    char* m_buffer = nullptr;
    qint64 m_blockStart = 0; // the file position of the buffer's first byte, a block's start
    qint64 m_held = 0;       // bytes in the buffer, the last partial block's among them
};
