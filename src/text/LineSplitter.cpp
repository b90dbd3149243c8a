#include "LineSplitter.h"

QList<QByteArray> LineSplitter::take(const QByteArray& bytes) {
    QList<QByteArray> lines;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!m_line.isEmpty() && !m_tooLong)
                lines.append(m_line);
            clear();
        } else if (m_line.size() < m_longest) {
            m_line.append(c);
        } else {
            m_tooLong = true;
        }
    }
    return lines;
}

void LineSplitter::clear() {
    m_line.clear();
    m_tooLong = false;
}
