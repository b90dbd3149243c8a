#pragma once

#include <cstring>

// Where one byte value next occurs in a buffer: found many bytes at a time (memchr) and kept
// until the reader has passed it, so that a scan for several values reads each stretch once
// for each value, however often it stops.
class NextByte {
public:
    NextByte(char wanted, const char* end) : m_wanted(wanted), m_end(end) {}

    // The first occurrence at or after `from`, or the buffer's end.
    const char* from(const char* from) {
        if (!m_found || m_found < from) {
            const void* found = std::memchr(from, m_wanted, size_t(m_end - from));
            m_found = found ? static_cast<const char*>(found) : m_end;
        }
        return m_found;
    }

private:
    char m_wanted;
    const char* m_end;
    const char* m_found = nullptr;
};
