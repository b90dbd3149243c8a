#include "LineSplitter.h"

#include "NextByte.h"

#include <algorithm>

QList<QByteArray> LineSplitter::take(const QByteArray& bytes) {
    QList<QByteArray> lines;
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    // A stream of one kind of end costs no more than one pass for the other.
    NextByte cr('\r', end);
    NextByte lf('\n', end);
    while (p < end) {
        const char* stop = std::min(cr.from(p), lf.from(p));
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
