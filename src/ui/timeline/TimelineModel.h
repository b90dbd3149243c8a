#pragma once

#include "capture/TimelineCursor.h"
#include "capture/TimelineSearch.h"
#include "capture/TimelineText.h"

#include <QAbstractTableModel>

#include <list>
#include <map>
#include <memory>

// The rows of a capture's timeline for a table view, read from the file as the view asks for
// them: the index knows where each few hundred rows are; the rows near those shown are kept in
// a small cache, so memory stays flat whatever the file's size.
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

    // A shown row (valid until the next call), or null.
    const TimelineRow* rowAt(int row);
    // A shown row's columns, separated by tabs.
    QString rowText(int row);
    // The first shown row at or after the time, or -1.
    int rowAtTime(qint64 microsecondsSinceEpoch);
    // What the bytes column shows for a row, with where each searched byte is.
    TimelineText::Shown shownAt(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

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

    std::unique_ptr<TimelineIndex> m_index;
    std::unique_ptr<TimelineCursor> m_cursor;
    std::map<size_t, Segment> m_segments;
    std::list<size_t> m_recent; // the cached places, the most recently used first
    qint64 m_cachedBytes = 0;
    int m_rows = 0;
    Timeline::Categories m_shown = Timeline::allCategories;
    TimelineText::Time m_timeMode = TimelineText::Time::Absolute;
    TimelineText::Bytes m_bytesMode = TimelineText::Bytes::Symbols;
    QStringList m_portNames;
    QByteArray m_pattern;
    TimelineSearch::Match m_current;
};
