#pragma once

#include <QtGlobal>

#include <map>
#include <utility>
#include <vector>

// A set of rows kept as ranges, so that a selection over millions of rows of a file costs a few
// bytes: rows [from, to), merged where they meet.
class RowRanges {
public:
    using Range = std::pair<qint64, qint64>; // [first, end)

    void clear() { m_ranges.clear(); }
    bool isEmpty() const { return m_ranges.empty(); }
    void add(qint64 from, qint64 to);
    void remove(qint64 from, qint64 to);
    bool contains(qint64 row) const;
    // The ranges that meet [from, to), cut to it, in order.
    std::vector<Range> within(qint64 from, qint64 to) const;
    const std::map<qint64, qint64>& ranges() const { return m_ranges; }

private:
    std::map<qint64, qint64> m_ranges; // first -> end, neither overlapping nor touching
};
