#pragma once

#include "FileWriting.h"
#include "TimelineCursor.h"

// Writes the shown rows of a capture's timeline to a CSV file (CaptureCsv's lines, CR LF, UTF-8)
// a slice at a time, so that a window stays answering over a file of any size. The file is
// written through a temporary one and takes its place only once whole.
class TimelineExport {
public:
    enum class Step { Writing, Done, Failed };

    TimelineExport(const TimelineIndex& index, Timeline::Categories shown, const QString& target);

    // Writes on for about `budgetMilliseconds`. The rows of a file the index is still reading
    // through are written as it finds them: `indexComplete` says it has reached the end.
    Step writeOn(int budgetMilliseconds, bool indexComplete);
    QString target() const { return m_target; }
    // Why it failed.
    QString problem() const { return m_problem; }
    qint64 rowsWritten() const { return m_rows; }
    // How far it has come, 0 to 100.
    int percent() const;

private:
    const TimelineIndex& m_index;
    TimelineCursor m_cursor;
    Timeline::Categories m_shown;
    QString m_target;
    WholeFileWriter m_writer;
    size_t m_place = 0;
    qint64 m_rows = 0;
    QString m_problem;
};
