#include "LineSplitter.h"

#include <algorithm>
#include <cstring>

namespace {

// The first `c` at or after `from`, or `end`; memchr runs many bytes at a time.
const char* nextOf(char c, const char* from, const char* end) {
    const void* found = std::memchr(from, c, size_t(end - from));
    return found ? static_cast<const char*>(found) : end;
}

} // namespace

QList<QByteArray> LineSplitter::take(const QByteArray& bytes) {
    QList<QByteArray> lines;
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    // Each found once and kept until passed, so that a stream of one kind of end costs no more
    // than one pass for the other.
    const char* cr = nextOf('\r', p, end);
    const char* lf = nextOf('\n', p, end);
    while (p < end) {
        if (cr < p)
            cr = nextOf('\r', p, end);
        if (lf < p)
            lf = nextOf('\n', p, end);
        const char* stop = std::min(cr, lf);
        // The line's characters up to its end go in at once, as far as there is room.
        const qsizetype room = std::max<qsizetype>(m_longest - m_line.size(), 0);
        if (stop - p > room)
            m_tooLong = true;
        m_line.append(p, std::min<qsizetype>(stop - p, room));
        if (stop == end)
            break;
        if (!m_line.isEmpty() && !m_tooLong)
            lines.append(m_line);
        clear();
        p = stop + 1;
    }
    return lines;
}

void LineSplitter::clear() {
    m_line.clear();
    m_tooLong = false;
}
