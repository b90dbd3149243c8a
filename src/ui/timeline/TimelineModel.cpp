#include "TimelineModel.h"

#include <QColor>
#include <QFontDatabase>

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
    const int before = m_rows;
    const qint64 now = m_index->rows(m_shown);
    if (now > before) {
        beginInsertRows({}, before, int(now - 1));
        m_rows = int(now);
        endInsertRows();
    }
    const int firstGrown = int(m_index->rowsBefore(grown, m_shown));
    if (firstGrown < before)
        emit dataChanged(index(firstGrown, 0), index(before - 1, ColumnCount - 1));
    return more;
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
    m_rows = m_index ? int(m_index->rows(m_shown)) : 0;
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
    if (m_rows > 0)
        emit dataChanged(index(0, TimeColumn), index(m_rows - 1, TimeColumn));
}

void TimelineModel::setBytesMode(TimelineText::Bytes mode) {
    m_bytesMode = mode;
    if (m_rows > 0)
        emit dataChanged(index(0, BytesColumn), index(m_rows - 1, BytesColumn));
}

void TimelineModel::setPattern(const QByteArray& pattern) {
    m_pattern = pattern;
    m_current = {};
    if (m_rows > 0)
        emit dataChanged(index(0, BytesColumn), index(m_rows - 1, BytesColumn));
}

void TimelineModel::setCurrentMatch(const TimelineSearch::Match& match) {
    const qint64 before = m_current.row;
    m_current = match;
    for (const qint64 row : {before, match.row}) {
        if (row >= 0 && row < m_rows)
            emit dataChanged(index(int(row), BytesColumn), index(int(row), BytesColumn));
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

const TimelineRow* TimelineModel::rowAt(int row) {
    if (row < 0 || row >= m_rows)
        return nullptr;
    const size_t place = m_index->placeOfRow(row, m_shown);
    const Segment& s = segment(place);
    const qint64 within = row - m_index->rowsBefore(place, m_shown);
    return within < qint64(s.shown.size()) ? &s.rows[size_t(s.shown[size_t(within)])] : nullptr;
}

int TimelineModel::rowAtTime(qint64 microsecondsSinceEpoch) {
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
                return int(row);
            ++row;
        }
    }
    return -1;
}

TimelineText::Shown TimelineModel::shownAt(int row) {
    const TimelineRow* r = rowAt(row);
    return r ? TimelineText::shown(*r, m_bytesMode) : TimelineText::Shown();
}

QString TimelineModel::rowText(int row) {
    QStringList columns;
    for (int column = 0; column < ColumnCount; ++column)
        columns << data(index(row, column), Qt::DisplayRole).toString();
    return columns.join(QLatin1Char('\t'));
}

int TimelineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int TimelineModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TimelineModel::data(const QModelIndex& index, int role) const {
    // The cache changes as rows are read; what a row says does not.
    auto* self = const_cast<TimelineModel*>(this);
    const TimelineRow* row = self->rowAt(index.row());
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TimeColumn: {
            const qint64 time = row->microsecondsSinceEpoch;
            qint64 reference = m_index->places().front().microseconds;
            if (m_timeMode == TimelineText::Time::Delta) {
                const TimelineRow* above = self->rowAt(index.row() - 1);
                reference = above ? above->microsecondsSinceEpoch : time;
            }
            return TimelineText::time(time, m_timeMode, reference);
        }
        case PortColumn:
            return TimelineText::portName(m_portNames, row->port);
        case DirectionColumn:
            return TimelineText::direction(row->kind);
        case BytesColumn:
            return TimelineText::shown(*row, m_bytesMode).text;
        }
        break;
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
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[] = {"Time", "Port", "Direction", "Data"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}
