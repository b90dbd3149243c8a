#include "TimelineIndex.h"

#include <QElapsedTimer>

#include <algorithm>

TimelineIndex::TimelineIndex(const QString& fileName, qint64 gapMicroseconds)
    : m_fileName(fileName), m_reader(fileName), m_grouping(gapMicroseconds) {
    m_places.push_back(Place{});
}

qint64 TimelineIndex::sum(const std::array<quint32, Timeline::categories>& counts,
                          Timeline::Categories shown) {
    qint64 total = 0;
    for (int category = 0; category < Timeline::categories; ++category) {
        if (shown & (1u << category))
            total += counts[size_t(category)];
    }
    return total;
}

qint64 TimelineIndex::rows(Timeline::Categories shown) const {
    return sum(m_rows, shown);
}

qint64 TimelineIndex::rowsBefore(size_t place, Timeline::Categories shown) const {
    return place < m_places.size() ? sum(m_places[place].rowsBefore, shown) : rows(shown);
}

qint64 TimelineIndex::rowsAt(size_t place) const {
    return rowsBefore(place + 1, Timeline::allCategories) -
           rowsBefore(place, Timeline::allCategories);
}

size_t TimelineIndex::placeOfRow(qint64 row, Timeline::Categories shown) const {
    // The last place with no more shown rows before it than `row`.
    size_t low = 0;
    size_t high = m_places.size();
    while (high - low > 1) {
        const size_t middle = (low + high) / 2;
        (rowsBefore(middle, shown) <= row ? low : high) = middle;
    }
    return low;
}

size_t TimelineIndex::placeOfTime(qint64 microsecondsSinceEpoch) const {
    const auto after =
        std::upper_bound(m_places.begin() + 1, m_places.end(), microsecondsSinceEpoch,
                         [](qint64 time, const Place& place) { return time < place.microseconds; });
    return size_t(after - m_places.begin()) - 1;
}

bool TimelineIndex::advance(int budgetMilliseconds) {
    if (!m_problem.isEmpty())
        return false;
    QElapsedTimer clock;
    clock.start();
    if (m_reader.problem().isEmpty() || m_reader.notYet() || !m_reader.isOpen())
        m_reader.seek(m_reader.position());
    CaptureRecord record;
    for (int read = 1;; ++read) {
        if (read % 64 == 0 && clock.elapsed() >= budgetMilliseconds)
            return true;
        const qint64 at = m_reader.position();
        if (!m_reader.next(record)) {
            if (!m_reader.notYet() && m_reader.isOpen())
                m_problem = m_reader.problem();
            return false;
        }
        const CaptureEntry& entry = record.entry;
        if (m_allRows - m_rowsAtLastPlace >= rowsPerPlace) {
            m_places.push_back({at, entry.microsecondsSinceEpoch, m_grouping.state(), m_rows});
            m_rowsAtLastPlace = m_allRows;
        }
        if (m_allRows == 0)
            m_places.front().microseconds = entry.microsecondsSinceEpoch;
        m_started.clear();
        m_grouping.take(entry, m_started);
        for (const TimelineRow& row : m_started)
            ++m_rows[size_t(Timeline::category(row))];
        m_allRows += qint64(m_started.size());
    }
}
