#include "LogText.h"

#include <algorithm>

qint64 LogText::lineLimit(int line) const {
    return line + 1 < lineCount() ? m_lineStarts[line + 1] : size();
}

qint64 LogText::lineEnd(int line) const {
    const qint64 start = m_lineStarts[line];
    qint64 end = lineLimit(line);
    if (end > start && m_bytes[end - 1] == '\n')
        --end;
    if (end > start && m_bytes[end - 1] == '\r')
        --end;
    return end;
}

int LogText::lineOf(qint64 offset) const {
    const auto after = std::upper_bound(m_lineStarts.cbegin(), m_lineStarts.cend(), offset);
    return int(after - m_lineStarts.cbegin()) - 1;
}

QByteArray LogText::lineBytes(int line) const {
    const qint64 start = m_lineStarts[line];
    return m_bytes.mid(start, lineEnd(line) - start);
}

bool LogText::startsLine(qint64 offset, qint64 previousStart) const {
    const char before = m_bytes[offset - 1];
    if (before == '\n')
        return true;
    if (before == '\r')
        return offset == size() || m_bytes[offset] != '\n';
    return offset < size() && offset - previousStart >= kMaxLineLength;
}

void LogText::reserveBytes(qint64 total) {
    // Growing by an eighth keeps appends amortised linear while wasting little of a huge log.
    if (total > m_bytes.capacity())
        m_bytes.reserve(std::max(total, m_bytes.size() + m_bytes.size() / 8 + 4096));
}

void LogText::replace(qint64 position, qint64 removed, const QByteArray& inserted) {
    reserveBytes(size() - removed + inserted.size());
    if (position == size())
        m_bytes.append(inserted.constData(), inserted.size());
    else
        m_bytes.replace(position, removed, inserted);

    // A line start depends only on the bytes either side of it and on the start before it, so
    // the starts from the edit on are found again until they meet an old start beyond the edit.
    const qint64 delta = inserted.size() - removed;
    const qint64 editEnd = position + inserted.size();
    const qint64 from = std::max<qint64>(position, 1);
    const auto begin = m_lineStarts.begin();
    const qsizetype firstChanged = std::lower_bound(begin, m_lineStarts.end(), from) - begin;
    qsizetype survivor = std::upper_bound(begin, m_lineStarts.end(), position + removed) - begin;
    const qsizetype oldCount = m_lineStarts.size();

    QList<qint64> found;
    qint64 previous = m_lineStarts[firstChanged - 1];
    bool met = false;
    for (qint64 k = from; k <= size() && !met; ++k) {
        if (!startsLine(k, previous))
            continue;
        if (k > editEnd) {
            while (survivor < oldCount && m_lineStarts[survivor] + delta < k)
                ++survivor;
            met = survivor < oldCount && m_lineStarts[survivor] + delta == k;
            if (met)
                break;
        }
        found.append(k);
        previous = k;
    }

    if (!met) {
        m_lineStarts.resize(firstChanged);
        m_lineStarts.append(found);
        return;
    }
    for (qsizetype i = survivor; i < oldCount; ++i)
        m_lineStarts[i] += delta;
    m_lineStarts.remove(firstChanged, survivor - firstChanged);
    m_lineStarts.insert(firstChanged, found.size(), 0);
    std::copy(found.cbegin(), found.cend(), m_lineStarts.begin() + firstChanged);
}

void LogText::clear() {
    m_bytes = QByteArray();
    m_lineStarts = QList<qint64>{0};
}

qint64 LogText::nextPosition(qint64 offset) const {
    if (offset >= size())
        return size();
    if (m_bytes[offset] == '\r' && offset + 1 < size() && m_bytes[offset + 1] == '\n')
        return offset + 2;
    return offset + 1;
}

qint64 LogText::previousPosition(qint64 offset) const {
    if (offset <= 0)
        return 0;
    if (offset >= 2 && m_bytes[offset - 1] == '\n' && m_bytes[offset - 2] == '\r')
        return offset - 2;
    return offset - 1;
}

qint64 LogText::validPosition(qint64 offset) const {
    offset = std::clamp<qint64>(offset, 0, size());
    if (offset > 0 && offset < size() && m_bytes[offset - 1] == '\r' && m_bytes[offset] == '\n')
        return offset - 1;
    return offset;
}
