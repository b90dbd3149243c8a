#include "TimelineSearch.h"

#include "TimelineText.h"

#include <QElapsedTimer>

#include <algorithm>

TimelineSearch::TimelineSearch(const TimelineIndex& index)
    : m_index(index), m_cursor(index.fileName()) {}

void TimelineSearch::setPattern(const QByteArray& pattern, Timeline::Categories shown) {
    m_pattern = pattern;
    m_shown = shown;
    m_counts.clear();
    m_rowsCounted = 0;
    m_rowsPlace = size_t(-1);
}

const std::vector<TimelineRow>& TimelineSearch::rowsAt(size_t place) {
    if (place != m_rowsPlace || place + 1 >= m_index.places().size()) {
        m_rows = m_cursor.rowsAt(m_index, place);
        m_rowsPlace = place;
    }
    return m_rows;
}

qint64 TimelineSearch::matchesAt(size_t place) {
    qint64 found = 0;
    for (const TimelineRow& row : rowsAt(place)) {
        if (m_shown & (1u << Timeline::category(row)))
            found += qint64(TimelineText::matches(TimelineText::searched(row), m_pattern).size());
    }
    return found;
}

bool TimelineSearch::count(int budgetMilliseconds) {
    if (m_pattern.isEmpty())
        return false;
    const size_t places = m_index.places().size();
    const qint64 rows = m_index.rows(Timeline::allCategories);
    // The last place counted may have grown since.
    if (!m_counts.empty() && m_counts.size() == places && rows != m_rowsCounted)
        m_counts.pop_back();
    QElapsedTimer clock;
    clock.start();
    while (m_counts.size() < places) {
        if (clock.elapsed() >= budgetMilliseconds)
            return true;
        m_counts.push_back(matchesAt(m_counts.size()));
    }
    m_rowsCounted = rows;
    return false;
}

qint64 TimelineSearch::total() const {
    if (m_pattern.isEmpty())
        return 0;
    if (m_counts.size() < m_index.places().size())
        return -1;
    qint64 all = 0;
    for (const qint64 n : m_counts)
        all += n;
    return all;
}

qint64 TimelineSearch::ordinal(const Match& match) {
    if (match.row < 0)
        return -1;
    const size_t place = m_index.placeOfRow(match.row, m_shown);
    if (place >= m_counts.size())
        return -1;
    qint64 before = 0;
    for (size_t p = 0; p < place; ++p)
        before += m_counts[p];
    qint64 row = m_index.rowsBefore(place, m_shown);
    for (const TimelineRow& r : rowsAt(place)) {
        if (!(m_shown & (1u << Timeline::category(r))))
            continue;
        for (const int at : TimelineText::matches(TimelineText::searched(r), m_pattern)) {
            if (row > match.row || (row == match.row && at >= match.offset))
                return before + 1;
            ++before;
        }
        ++row;
    }
    return -1;
}

void TimelineSearch::startFind(const Match& from, bool forward) {
    m_from = from;
    m_forward = forward;
    const size_t places = m_index.places().size();
    if (from.row < 0)
        m_place = forward ? 0 : places - 1;
    else
        m_place = m_index.placeOfRow(from.row, m_shown);
    m_startPlace = m_place;
    // Every place once, and the first again for the matches before where the step began.
    m_placesLeft = places + 1;
}

TimelineSearch::Step TimelineSearch::findOn(int budgetMilliseconds, Match& found) {
    if (m_pattern.isEmpty())
        return Step::None;
    QElapsedTimer clock;
    clock.start();
    const size_t places = m_index.places().size();
    while (m_placesLeft > 0) {
        if (clock.elapsed() >= budgetMilliseconds)
            return Step::Searching;
        --m_placesLeft;
        const size_t place = m_place;
        m_place = m_forward ? (place + 1) % places : (place + places - 1) % places;
        if (place < m_counts.size() && m_counts[place] == 0)
            continue;
        // This place's matches in the step's order; the first beyond `from`, else past the end
        // round to the start, the first in the place.
        std::vector<Match> inPlace;
        qint64 row = m_index.rowsBefore(place, m_shown);
        for (const TimelineRow& r : rowsAt(place)) {
            if (!(m_shown & (1u << Timeline::category(r))))
                continue;
            for (const int at : TimelineText::matches(TimelineText::searched(r), m_pattern))
                inPlace.push_back({row, at});
            ++row;
        }
        if (!m_forward)
            std::reverse(inPlace.begin(), inPlace.end());
        // In the place the step began, only a match beyond where it began, until it comes
        // back round to it.
        const bool anyMatch = m_from.row < 0 || place != m_startPlace || m_placesLeft == 0;
        for (const Match& m : inPlace) {
            const bool beyond =
                m_forward
                    ? (m.row > m_from.row || (m.row == m_from.row && m.offset > m_from.offset))
                    : (m.row < m_from.row || (m.row == m_from.row && m.offset < m_from.offset));
            if (anyMatch || beyond) {
                found = m;
                return Step::Found;
            }
        }
    }
    return Step::None;
}
