#include "TimelineModel.h"

#include <QColor>
#include <QFontDatabase>

#include <algorithm>

using Kind = TimelineRow::Kind;

namespace {

// Far below the memory a view may take, far above what a screen of rows needs.
constexpr qint64 cacheBytes = 8 << 20;
constexpr size_t cacheSegments = 64;

QColor portColour(int port) {
    static const QColor colours[] = {QColor(0, 0, 170), QColor(0, 110, 0), QColor(140, 0, 140),
                                     QColor(150, 80, 0)};
    return colours[port % 4];
}

} // namespace

TimelineModel::TimelineModel(QObject* parent) : QAbstractTableModel(parent) {}

TimelineModel::~TimelineModel() = default;

QString TimelineModel::fileName() const {
    return m_index ? m_index->fileName() : QString();
}

void TimelineModel::open(const QString& fileName, qint64 gapMicroseconds) {
    beginResetModel();
    m_index.reset();
    m_cursor.reset();
    if (!fileName.isEmpty()) {
        m_index = std::make_unique<TimelineIndex>(fileName, gapMicroseconds);
        m_cursor = std::make_unique<TimelineCursor>(fileName);
    }
    m_segments.clear();
    m_recent.clear();
    m_cachedBytes = 0;
    m_rows = 0;
    m_first = 0;
    m_viewRows = 0;
    m_current = {};
    m_portNames.clear();
    endResetModel();
    emit portsChanged();
}

bool TimelineModel::readOn(int budgetMilliseconds) {
    if (!m_index)
        return false;
    const qint64 position = m_index->position();
    const size_t places = m_index->places().size();
    const bool more = m_index->advance(budgetMilliseconds);
    if (m_index->position() == position)
        return more;
    if (m_index->portNames() != m_portNames) {
        m_portNames = m_index->portNames();
        emit portsChanged();
    }
    // The rows of the last places may have grown by the bytes read.
    const size_t grown = places >= 2 ? places - 2 : 0;
    forgetFrom(grown);
    const qint64 before = m_rows;
    m_rows = m_index->rows(m_shown);
    const qint64 firstGrown = m_index->rowsBefore(grown, m_shown);
    const int viewRows = m_viewRows;
    fitView();
    if (viewRows == m_viewRows && viewRows > 0 && firstGrown < m_first + viewRows &&
        before > m_first)
        viewChanged(0, ColumnCount - 1);
    return more;
}

void TimelineModel::showRows(qint64 first, int count) {
    first = std::clamp<qint64>(first, 0, m_rows);
    const int rows = int(std::clamp<qint64>(m_rows - first, 0, count));
    m_viewCount = count;
    if (rows != m_viewRows) {
        beginResetModel();
        m_first = first;
        m_viewRows = rows;
        endResetModel();
    } else if (first != m_first) {
        m_first = first;
        viewChanged(0, ColumnCount - 1);
    }
}

void TimelineModel::fitView() {
    showRows(m_first, m_viewCount);
}

void TimelineModel::viewChanged(int firstColumn, int lastColumn) {
    if (m_viewRows > 0)
        emit dataChanged(index(0, firstColumn), index(m_viewRows - 1, lastColumn));
}

void TimelineModel::forgetFrom(size_t place) {
    for (auto it = m_segments.lower_bound(place); it != m_segments.end();) {
        m_cachedBytes -= it->second.bytes;
        m_recent.remove(it->first);
        it = m_segments.erase(it);
    }
}

void TimelineModel::reset() {
    beginResetModel();
    m_segments.clear();
    m_recent.clear();
    m_cachedBytes = 0;
    m_rows = m_index ? m_index->rows(m_shown) : 0;
    m_first = std::min(m_first, m_rows);
    m_viewRows = int(std::min<qint64>(m_rows - m_first, m_viewCount));
    m_current = {};
    endResetModel();
}

void TimelineModel::setShown(Timeline::Categories shown) {
    if (shown == m_shown)
        return;
    m_shown = shown;
    reset();
}

void TimelineModel::setTimeMode(TimelineText::Time mode) {
    m_timeMode = mode;
    viewChanged(TimeColumn, TimeColumn);
}

void TimelineModel::setBytesMode(TimelineText::Bytes mode) {
    m_bytesMode = mode;
    viewChanged(BytesColumn, BytesColumn);
}

void TimelineModel::setPattern(const QByteArray& pattern) {
    m_pattern = pattern;
    m_current = {};
    viewChanged(BytesColumn, BytesColumn);
}

void TimelineModel::setCurrentMatch(const TimelineSearch::Match& match) {
    const qint64 before = m_current.row;
    m_current = match;
    for (const qint64 row : {before, match.row}) {
        if (row >= m_first && row < m_first + m_viewRows) {
            const QModelIndex cell = index(int(row - m_first), BytesColumn);
            emit dataChanged(cell, cell);
        }
    }
}

TimelineModel::Segment& TimelineModel::segment(size_t place) {
    const auto found = m_segments.find(place);
    if (found != m_segments.end()) {
        m_recent.remove(place);
        m_recent.push_front(place);
        return found->second;
    }
    while (!m_recent.empty() &&
           (m_cachedBytes > cacheBytes || m_segments.size() >= cacheSegments)) {
        const auto oldest = m_segments.find(m_recent.back());
        m_cachedBytes -= oldest->second.bytes;
        m_segments.erase(oldest);
        m_recent.pop_back();
    }
    Segment& s = m_segments[place];
    s.rows = m_cursor->rowsAt(*m_index, place);
    for (size_t i = 0; i < s.rows.size(); ++i) {
        s.bytes += s.rows[i].bytes.size() + qint64(sizeof(TimelineRow));
        if (m_shown & (1u << Timeline::category(s.rows[i])))
            s.shown.push_back(int(i));
    }
    m_cachedBytes += s.bytes;
    m_recent.push_front(place);
    return s;
}

const TimelineRow* TimelineModel::rowAt(qint64 row) {
    if (row < 0 || row >= m_rows)
        return nullptr;
    const size_t place = m_index->placeOfRow(row, m_shown);
    const Segment& s = segment(place);
    const qint64 within = row - m_index->rowsBefore(place, m_shown);
    return within < qint64(s.shown.size()) ? &s.rows[size_t(s.shown[size_t(within)])] : nullptr;
}

qint64 TimelineModel::rowAtTime(qint64 microsecondsSinceEpoch) {
    if (!m_index)
        return -1;
    const auto& places = m_index->places();
    for (size_t place = m_index->placeOfTime(microsecondsSinceEpoch); place < places.size();
         ++place) {
        const Segment& s = segment(place);
        qint64 row = m_index->rowsBefore(place, m_shown);
        for (const int i : s.shown) {
            if (row >= m_rows)
                return -1;
            if (s.rows[size_t(i)].microsecondsSinceEpoch >= microsecondsSinceEpoch)
                return row;
            ++row;
        }
    }
    return -1;
}

TimelineText::Shown TimelineModel::shownAt(qint64 row) {
    const TimelineRow* r = rowAt(row);
    return r ? TimelineText::shown(*r, m_bytesMode) : TimelineText::Shown();
}

QString TimelineModel::rowText(qint64 row) {
    QStringList columns;
    for (int column = 0; column < ColumnCount; ++column)
        columns << cellText(row, column);
    return columns.join(QLatin1Char('\t'));
}

QString TimelineModel::cellText(qint64 row, int column) {
    const TimelineRow* r = rowAt(row);
    if (!r)
        return {};
    switch (column) {
    case TimeColumn: {
        const qint64 time = r->microsecondsSinceEpoch;
        qint64 reference = m_index->places().front().microseconds;
        if (m_timeMode == TimelineText::Time::Delta) {
            const TimelineRow* above = rowAt(row - 1);
            reference = above ? above->microsecondsSinceEpoch : time;
        }
        return TimelineText::time(time, m_timeMode, reference);
    }
    case PortColumn:
        return TimelineText::portName(m_portNames, r->port);
    case DirectionColumn:
        return TimelineText::direction(r->kind);
    case BytesColumn:
        return TimelineText::shown(*r, m_bytesMode).text;
    }
    return {};
}

int TimelineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_viewRows;
}

int TimelineModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TimelineModel::data(const QModelIndex& index, int role) const {
    // The cache changes as rows are read; what a row says does not.
    auto* self = const_cast<TimelineModel*>(this);
    const qint64 fileRow = m_first + index.row();
    const TimelineRow* row = self->rowAt(fileRow);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return self->cellText(fileRow, index.column());
    case Qt::ForegroundRole:
        return portColour(row->port);
    case Qt::BackgroundRole:
        if (row->kind == Kind::Lines)
            return QColor(255, 244, 200);
        if (row->kind == Kind::Event || row->kind == Kind::Remark)
            return QColor(232, 232, 240);
        break;
    case Qt::FontRole:
        if (index.column() == BytesColumn || index.column() == TimeColumn)
            return QFontDatabase::systemFont(QFontDatabase::FixedFont);
        break;
    }
    return {};
}

QVariant TimelineModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    // A row is named by its number in the file, which screen readers say with it.
    if (orientation == Qt::Vertical)
        return QString::number(m_first + section + 1);
    return section >= 0 && section < m_headerTitles.size() ? m_headerTitles[section] : QVariant();
}

void TimelineModel::setHeaderTitles(const QStringList& titles) {
    m_headerTitles = titles;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

#include "moc_TimelineModel.cpp"
