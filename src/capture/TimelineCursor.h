#pragma once

#include "TimelineIndex.h"

#include <deque>

// Reads the rows of a capture's timeline forward from a place its index kept, each row whole:
// a row of bytes is given once the pieces that may follow it have been read.
class TimelineCursor {
public:
    explicit TimelineCursor(const QString& fileName);

    // Starts over at the place, with the index's gap.
    void start(const TimelineIndex::Place& place, qint64 gapMicroseconds);
    // The next row; false past the last one on disk. A row of bytes at the end of a file being
    // written is given as it stands.
    bool next(TimelineRow& row);
    // Every row the index counts from a place to the next.
    std::vector<TimelineRow> rowsAt(const TimelineIndex& index, size_t place);

private:
    struct Pending {
        TimelineRow row;
        int chain; // -1 for a row that does not grow
    };

    CaptureReader m_reader;
    bool m_learned = false; // the reader knows the file's interfaces
    TimelineGrouping m_grouping{0};
    std::deque<Pending> m_pending;
    qint64 m_firstPending = 0;                                    // the number of the front row
    std::array<qint64, TimelineGrouping::chainCount> m_growing{}; // each chain's row, or -1
    qint64 m_now = 0;
    bool m_ended = false;
    std::vector<TimelineRow> m_started;
};
