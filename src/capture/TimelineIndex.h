#pragma once

#include "CaptureReader.h"
#include "TimelineGrouping.h"

#include <QStringList>

#include <array>
#include <vector>

// Where the rows of a capture's timeline are in its file, found in one pass that can be taken a
// slice at a time (and taken on as a file being written grows): every few hundred rows, the place
// of the entry that starts them, the grouping's state there and how many rows of each category
// came before. Memory stays small whatever the file's size; TimelineCursor reads the rows
// themselves from these places.
class TimelineIndex {
public:
    static constexpr int rowsPerPlace = 512;

    struct Place {
        qint64 offset = 0;       // the block of its first entry
        qint64 microseconds = 0; // that entry's time
        TimelineGrouping::State state;
        std::array<quint32, Timeline::categories> rowsBefore{};
    };

    TimelineIndex(const QString& fileName, qint64 gapMicroseconds);

    QString fileName() const { return m_fileName; }
    qint64 gap() const { return m_grouping.gap(); }

    // Reads on for about `budgetMilliseconds`. True while more is on disk to read, false once it
    // has reached the end of what is there (a file being written may grow: call again later) or
    // stopped at a problem.
    bool advance(int budgetMilliseconds);
    // Why the file cannot be read on (not a capture, damaged, not there yet): empty while all is
    // well, including a last block not yet whole. A file not there is looked for again.
    QString problem() const { return m_reader.isOpen() ? m_problem : m_reader.problem(); }
    // How far into the file the pass has come.
    qint64 position() const { return m_reader.position(); }

    QStringList portNames() const { return m_reader.interfaceNames(); }
    const std::vector<Place>& places() const { return m_places; }
    // The rows of the categories shown, found so far.
    qint64 rows(Timeline::Categories shown) const;
    // The rows of the categories shown before a place (at places().size(): all rows).
    qint64 rowsBefore(size_t place, Timeline::Categories shown) const;
    // The rows of every category from a place on to the next (or to the end).
    qint64 rowsAt(size_t place) const;
    // The place whose rows hold the shown row `row` (counted among the shown rows).
    size_t placeOfRow(qint64 row, Timeline::Categories shown) const;
    // The last place starting at or before the time (the first place when none is).
    size_t placeOfTime(qint64 microsecondsSinceEpoch) const;

private:
    static qint64 sum(const std::array<quint32, Timeline::categories>& counts,
                      Timeline::Categories shown);

    QString m_fileName;
    CaptureReader m_reader;
    TimelineGrouping m_grouping;
    std::vector<Place> m_places;
    std::array<quint32, Timeline::categories> m_rows{};
    qint64 m_rowsAtLastPlace = 0;
    qint64 m_allRows = 0;
    QString m_problem;
    std::vector<TimelineRow> m_started; // reused for each entry
};
