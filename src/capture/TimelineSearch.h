#pragma once

#include "TimelineCursor.h"

// Looks for bytes in the shown rows of a capture's timeline, a slice at a time so that a file of
// any size keeps the window answering: counts the matches place by place (skipping places with
// none when stepping), and steps to the next or previous match from any match, round the end.
class TimelineSearch {
public:
    // A match: the shown row and where in the row's searched bytes it starts.
    struct Match {
        qint64 row = -1;
        int offset = 0;
    };
    enum class Step { Found, Searching, None };

    explicit TimelineSearch(const TimelineIndex& index);

    // Starts over (nothing to look for when the pattern is empty).
    void setPattern(const QByteArray& pattern, Timeline::Categories shown);
    QByteArray pattern() const { return m_pattern; }

    // Counts on for about `budgetMilliseconds`; true while more rows are left to count.
    bool count(int budgetMilliseconds);
    // The matches in all shown rows, -1 until all are counted.
    qint64 total() const;
    // The match's number among all (from 1), -1 until the count has passed its place.
    qint64 ordinal(const Match& match);

    // Begins a step from a match (or from before the first row) forwards or backwards.
    void startFind(const Match& from, bool forward);
    // Goes on with the step for about `budgetMilliseconds`: Found with `found`, Searching when
    // there is more to look through, None when the rows hold no match.
    Step findOn(int budgetMilliseconds, Match& found);

private:
    const std::vector<TimelineRow>& rowsAt(size_t place);
    qint64 matchesAt(size_t place);

    const TimelineIndex& m_index;
    TimelineCursor m_cursor;
    QByteArray m_pattern;
    Timeline::Categories m_shown = Timeline::allCategories;
    std::vector<qint64> m_counts; // matches at each place counted
    qint64 m_rowsCounted = 0;     // all rows when the last place was counted
    size_t m_rowsPlace = size_t(-1);
    std::vector<TimelineRow> m_rows; // the rows at m_rowsPlace
    // The step under way.
    Match m_from;
    bool m_forward = true;
    size_t m_place = 0;
    size_t m_startPlace = 0;
    size_t m_placesLeft = 0;
};
