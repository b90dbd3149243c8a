#include "LineStarts.h"

#include <algorithm>

qint64 LineStarts::operator[](qsizetype line) const {
    const qsizetype block = line / kBlock;
    qint64 start = m_blockStarts[block];
    for (qsizetype i = block * kBlock + 1; i <= line; ++i)
        start += m_steps[i];
    return start;
}

qsizetype LineStarts::countUpTo(qint64 offset) const {
    const auto after = std::upper_bound(m_blockStarts.cbegin(), m_blockStarts.cend(), offset);
    if (after == m_blockStarts.cbegin())
        return 0;
    const qsizetype block = after - m_blockStarts.cbegin() - 1;
    const qsizetype end = std::min(size(), (block + 1) * kBlock);
    qint64 start = m_blockStarts[block];
    qsizetype line = block * kBlock + 1;
    for (; line < end; ++line) {
        start += m_steps[line];
        if (start > offset)
            break;
    }
    return line;
}

std::vector<qint64> LineStarts::from(qsizetype line) const {
    std::vector<qint64> starts;
    if (line >= size())
        return starts;
    starts.reserve(size_t(size() - line));
    qint64 start = (*this)[line];
    starts.push_back(start);
    for (qsizetype i = line + 1; i < size(); ++i) {
        start = i % kBlock == 0 ? m_blockStarts[i / kBlock] : start + m_steps[i];
        starts.push_back(start);
    }
    return starts;
}

void LineStarts::append(qint64 start) {
    if (size() % kBlock == 0) {
        m_blockStarts.push_back(start);
        m_steps.push_back(0);
    } else {
        Q_ASSERT(start > m_last && start - m_last <= 0xFFFF);
        m_steps.push_back(quint16(start - m_last));
    }
    m_last = start;
}

void LineStarts::truncate(qsizetype count) {
    if (count >= size())
        return;
    m_last = count > 0 ? (*this)[count - 1] : 0;
    m_steps.resize(count);
    m_blockStarts.resize((count + kBlock - 1) / kBlock);
}

void LineStarts::removeFirst(qsizetype count) {
    const std::vector<qint64> kept = from(count);
    clear();
    for (const qint64 start : kept)
        append(start);
    // Fresh, so that the memory of what went goes back.
    m_steps.squeeze();
    m_blockStarts.squeeze();
}

void LineStarts::shift(qint64 delta) {
    for (qint64& start : m_blockStarts)
        start += delta;
    m_last += delta;
}

void LineStarts::clear() {
    // Fresh lists, so that their memory goes back.
    m_blockStarts = QList<qint64>();
    m_steps = QList<quint16>();
    m_last = 0;
}
