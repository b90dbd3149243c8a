#pragma once

#include <QList>

#include <vector>

// Where each line of a log starts, ascending, in about two bytes a line: a log of short modem
// lines would otherwise spend half as much memory on its index as on its text. Each start is
// kept as its distance from the one before (a line is never longer than 65535 bytes), with the
// full offset of every kBlock-th line.
class LineStarts {
public:
    static constexpr qsizetype kBlock = 64;

    qsizetype size() const { return qsizetype(m_steps.size()); }
    qint64 operator[](qsizetype line) const;
    qint64 last() const { return m_last; }
    // The number of starts at or before the offset, and before it.
    qsizetype countUpTo(qint64 offset) const;
    qsizetype countBefore(qint64 offset) const { return countUpTo(offset - 1); }
    // The starts from this line on.
    std::vector<qint64> from(qsizetype line) const;

    void append(qint64 start);
    void truncate(qsizetype count);
    void removeFirst(qsizetype count);
    void shift(qint64 delta);
    void clear();

private:
    // Qt's lists grow in place (realloc, which moves a large block's pages without copying
    // them): a vector of millions of steps copied itself into fresh pages at every doubling,
    // a tick of 30 ms at four million lines.
    QList<qint64> m_blockStarts;
    QList<quint16> m_steps; // 0 for the first line of a block
    qint64 m_last = 0;
};
