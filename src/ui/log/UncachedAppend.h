#pragma once

#include <QString>

// Appends to the end of a file past the system's page cache (O_DIRECT). A log's older text goes
// to its file at tens of megabytes a second and is seldom read back: through the cache every
// page of it would be fresh memory to fill and later to write back, at several times the cost of
// the write itself. Writes go whole blocks at a time from an aligned buffer of its own, which
// keeps the file's last partial block to write it again with what follows.
class UncachedAppend {
public:
    UncachedAppend() = default;
    ~UncachedAppend();
    UncachedAppend(const UncachedAppend&) = delete;
    UncachedAppend& operator=(const UncachedAppend&) = delete;

    // Appends from here on to the empty file at the path; false where the system cannot.
    bool open(const QString& path);
    bool isOpen() const { return m_fd >= 0; }
    void close();
    // Where the next append goes: the file's length.
    qint64 end() const { return m_blockStart + m_held; }
    // False when the file refused: then it may hold part of this, and the appender is closed.
    bool append(const char* data, qint64 size);

private:
    bool writeHeld();

    int m_fd = -1;
    char* m_buffer = nullptr;
    qint64 m_blockStart = 0; // the file position of the buffer's first byte
    qint64 m_held = 0;       // bytes in the buffer, the last partial block's among them
};
