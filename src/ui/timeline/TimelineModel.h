#pragma once

#include "capture/TimelineCursor.h"
#include "capture/TimelineSearch.h"
#include "capture/TimelineText.h"

#include <QAbstractTableModel>

#include <list>
#include <map>
#include <memory>

// The rows of a capture's timeline, read from the file as they are asked for: the index knows
// where each few hundred rows are; the rows near those shown are kept in a small cache, so memory
// stays flat whatever the file's size. A table view sees only the few rows in view (from
// `firstShown()` on), so that nothing it keeps grows with the file; every other member counts
// rows of the whole file.
class TimelineModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, PortColumn, DirectionColumn, BytesColumn, ColumnCount };

    explicit TimelineModel(QObject* parent = nullptr);
    ~TimelineModel() override;

    // Shows the capture in the file (none for an empty name), grouping bytes within the gap.
    void open(const QString& fileName, qint64 gapMicroseconds);
    QString fileName() const;
    const TimelineIndex* timelineIndex() const { return m_index.get(); }
    // Reads on in the file for about `budgetMilliseconds`, showing the rows found; true while
    // more is on disk to read.
    bool readOn(int budgetMilliseconds);

    Timeline::Categories shown() const { return m_shown; }
    void setShown(Timeline::Categories shown);
    void setTimeMode(TimelineText::Time mode);
    void setBytesMode(TimelineText::Bytes mode);
    QStringList portNames() const { return m_portNames; }

    // The bytes to mark in every row, and the match that is current.
    void setPattern(const QByteArray& pattern);
    QByteArray pattern() const { return m_pattern; }
    void setCurrentMatch(const TimelineSearch::Match& match);
    TimelineSearch::Match currentMatch() const { return m_current; }

    // The rows shown in the whole file.
    qint64 rows() const { return m_rows; }
    // The view sees up to `count` rows from `first` (kept within the rows there are).
    void showRows(qint64 first, int count);
    qint64 firstShown() const { return m_first; }
    // The row of the file a row of the view is.
    qint64 fileRow(int viewRow) const { return m_first + viewRow; }

    // A shown row (valid until the next call), or null.
    const TimelineRow* rowAt(qint64 row);
    // A shown row's columns, separated by tabs.
    QString rowText(qint64 row);
    // The first shown row at or after the time, or -1.
    qint64 rowAtTime(qint64 microsecondsSinceEpoch);
    // What the bytes column shows for a row, with where each searched byte is.
    TimelineText::Shown shownAt(qint64 row);
    // What a column shows for a row.
    QString cellText(qint64 row, int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The columns' titles, in the window's language.
    void setHeaderTitles(const QStringList& titles);

signals:
    // The file's ports became known.
    void portsChanged();

private:
    struct Segment {
        std::vector<TimelineRow> rows;
        std::vector<int> shown; // the indexes of the shown rows
        qint64 bytes = 0;
    };
    Segment& segment(size_t place);
    void forgetFrom(size_t place);
    void reset();
    // The view's rows again after the rows of the file changed.
    void fitView();
    void viewChanged(int firstColumn, int lastColumn);

    std::unique_ptr<TimelineIndex> m_index;
    std::unique_ptr<TimelineCursor> m_cursor;
    std::map<size_t, Segment> m_segments;
    std::list<size_t> m_recent; // the cached places, the most recently used first
    qint64 m_cachedBytes = 0;
    qint64 m_rows = 0;
    qint64 m_first = 0;  // the file's row the view's first row is
    int m_viewCount = 0; // the rows the view may see
    int m_viewRows = 0;  // the rows it sees: fewer at the end of the file
    Timeline::Categories m_shown = Timeline::allCategories;
    TimelineText::Time m_timeMode = TimelineText::Time::Absolute;
    TimelineText::Bytes m_bytesMode = TimelineText::Bytes::Symbols;
    QStringList m_portNames;
    QStringList m_headerTitles;
    QByteArray m_pattern;
    TimelineSearch::Match m_current;
};
