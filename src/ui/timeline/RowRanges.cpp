#include "RowRanges.h"

#include <algorithm>

void RowRanges::add(qint64 from, qint64 to) {
    if (from >= to)
        return;
    auto it = m_ranges.upper_bound(from);
    if (it != m_ranges.begin() && std::prev(it)->second >= from)
        --it;
    while (it != m_ranges.end() && it->first <= to) {
        from = std::min(from, it->first);
        to = std::max(to, it->second);
        it = m_ranges.erase(it);
    }
    m_ranges.emplace(from, to);
}

void RowRanges::remove(qint64 from, qint64 to) {
    if (from >= to)
        return;
    auto it = m_ranges.upper_bound(from);
    if (it != m_ranges.begin() && std::prev(it)->second > from)
        --it;
    while (it != m_ranges.end() && it->first < to) {
        const Range range = *it;
        it = m_ranges.erase(it);
        if (range.first < from)
            m_ranges.emplace(range.first, from);
        if (range.second > to)
            m_ranges.emplace(to, range.second);
    }
}

bool RowRanges::contains(qint64 row) const {
    auto it = m_ranges.upper_bound(row);
    return it != m_ranges.begin() && std::prev(it)->second > row;
}

std::vector<RowRanges::Range> RowRanges::within(qint64 from, qint64 to) const {
    std::vector<Range> found;
    auto it = m_ranges.upper_bound(from);
    if (it != m_ranges.begin() && std::prev(it)->second > from)
        --it;
    for (; it != m_ranges.end() && it->first < to; ++it)
        found.emplace_back(std::max(it->first, from), std::min(it->second, to));
    return found;
}
