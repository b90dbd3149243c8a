#include "TimelineCursor.h"

TimelineCursor::TimelineCursor(const QString& fileName) : m_reader(fileName) {}

void TimelineCursor::start(const TimelineIndex::Place& place, qint64 gapMicroseconds) {
    // A place past the start needs the interfaces described at the start of the file.
    if (place.offset > 0 && !m_learned) {
        m_reader.seek(0);
        CaptureRecord record;
        m_learned = m_reader.next(record);
    }
    m_reader.seek(place.offset);
    m_grouping = TimelineGrouping(gapMicroseconds);
    m_grouping.setState(place.state);
    m_pending.clear();
    m_firstPending = 0;
    // Rows growing at the place started before it: their pieces are not this cursor's.
    m_growing.fill(-1);
    m_now = place.microseconds;
    m_ended = false;
}

bool TimelineCursor::next(TimelineRow& row) {
    for (;;) {
        if (!m_pending.empty()) {
            const Pending& front = m_pending.front();
            const bool whole = m_ended || front.chain < 0 ||
                               m_growing[size_t(front.chain)] != m_firstPending ||
                               !m_grouping.growing(front.chain, m_now);
            if (whole) {
                if (front.chain >= 0 && m_growing[size_t(front.chain)] == m_firstPending)
                    m_growing[size_t(front.chain)] = -1;
                row = std::move(m_pending.front().row);
                m_pending.pop_front();
                ++m_firstPending;
                return true;
            }
        }
        if (m_ended)
            return false;
        CaptureRecord record;
        if (!m_reader.next(record)) {
            m_ended = true;
            continue;
        }
        m_learned = true;
        m_now = record.entry.microsecondsSinceEpoch;
        m_started.clear();
        const int chain = m_grouping.take(record.entry, m_started);
        if (chain >= 0 && m_growing[size_t(chain)] >= 0)
            m_pending[size_t(m_growing[size_t(chain)] - m_firstPending)].row.bytes +=
                record.entry.bytes;
        for (TimelineRow& started : m_started) {
            const int own = TimelineGrouping::chainOf(started);
            if (own >= 0)
                m_growing[size_t(own)] = m_firstPending + qint64(m_pending.size());
            m_pending.push_back({std::move(started), own});
        }
    }
}

std::vector<TimelineRow> TimelineCursor::rowsAt(const TimelineIndex& index, size_t place) {
    start(index.places()[place], index.gap());
    std::vector<TimelineRow> rows(size_t(index.rowsAt(place)));
    size_t read = 0;
    while (read < rows.size() && next(rows[read]))
        ++read;
    rows.resize(read);
    return rows;
}
