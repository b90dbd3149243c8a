#include "LogText.h"

#include "LogStore.h"

#include <QLocale>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kMostTailKept = qint64(8) << 20;

QByteArray droppedNotice(qint64 dropped) {
    return QStringLiteral("[Duplink dropped the oldest %1 bytes of this log: the disk is nearly "
                          "full]\r\n")
        .arg(QLocale(QLocale::English).toString(dropped))
        .toLatin1();
}

} // namespace

LogText::LogText(qint64 threshold)
    : m_threshold(threshold),
      m_folder(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)),
      m_diskSpace([this] {
          const QStorageInfo disk(m_folder);
          return DiskSpace{disk.bytesAvailable(), disk.bytesTotal()};
      }) {
    m_lineStarts.append(0);
}

LogText::~LogText() = default;

QStringList LogText::storeFiles() const {
    if (!m_store)
        return {};
    return {m_store->textPath(), m_store->linesPath()};
}

char LogText::at(qint64 offset) const {
    if (offset >= m_base)
        return m_bytes[offset - m_base];
    return m_store->readText(m_origin + offset, 1).at(0);
}

QByteArray LogText::slice(qint64 from, qint64 to) const {
    from = std::clamp<qint64>(from, 0, size());
    to = std::clamp<qint64>(to, from, size());
    if (from >= m_base)
        return m_bytes.mid(from - m_base, to - from);
    QByteArray out = m_store->readText(m_origin + from, std::min(to, m_base) - from);
    if (to > m_base)
        out.append(m_bytes.constData(), to - m_base);
    return out;
}

qint64 LogText::lineStart(int line) const {
    if (line >= m_storedLines)
        return m_lineStarts[line - m_storedLines];
    return m_store->lineStart(m_originLine + line) - m_origin;
}

qint64 LogText::lineLimit(int line) const {
    return line + 1 < lineCount() ? lineStart(line + 1) : size();
}

qint64 LogText::lineEnd(int line) const {
    const qint64 start = lineStart(line);
    qint64 end = lineLimit(line);
    if (end > start && at(end - 1) == '\n')
        --end;
    if (end > start && at(end - 1) == '\r')
        --end;
    return end;
}

int LogText::lineOf(qint64 offset) const {
    if (offset < m_base)
        return int(m_store->lineAt(m_origin + offset) - m_originLine);
    return m_storedLines + int(m_lineStarts.countUpTo(offset)) - 1;
}

bool LogText::startsLine(qint64 offset, qint64 previousStart) const {
    const char before = m_bytes[offset - 1 - m_base];
    if (before == '\n')
        return true;
    if (before == '\r')
        return offset == size() || m_bytes[offset - m_base] != '\n';
    return offset < size() && offset - previousStart >= kMaxLineLength;
}

// The first offset after this one that could start a line: past a break, or where the line
// reaches its longest. Scanning for breaks alone is what keeps a large append cheap.
qint64 LogText::nextPossibleStart(qint64 offset, qint64 previousStart) const {
    const qint64 longest = std::max(offset + 1, previousStart + kMaxLineLength);
    const char* p = m_bytes.constData() + (offset - m_base);
    const char* end = m_bytes.constData() + (std::min(longest, size() + 1) - 1 - m_base);
    if (p >= end)
        return offset + 1;
    // memchr runs many bytes at a time: a hex log is long lines of ordinary characters.
    if (const void* lf = std::memchr(p, '\n', size_t(end - p)))
        end = static_cast<const char*>(lf);
    if (const void* cr = std::memchr(p, '\r', size_t(end - p)))
        end = static_cast<const char*>(cr);
    return end - m_bytes.constData() + m_base + 1;
}

void LogText::reserveBytes(qint64 total) {
    // Growing by a little keeps appends amortised linear while wasting little of a huge log.
    if (total > m_bytes.capacity())
        m_bytes.reserve(std::max(total, m_bytes.size() + m_bytes.size() / 16 + 65536));
}

bool LogText::replace(qint64 position, qint64 removed, const QByteArray& inserted) {
    if (!isEditable(position))
        return false;
    reserveBytes(m_bytes.size() - removed + inserted.size());
    if (position == size())
        m_bytes.append(inserted.constData(), inserted.size());
    else
        m_bytes.replace(position - m_base, removed, inserted);
    findLineStarts(position, removed, inserted.size());
    return true;
}

void LogText::append(qint64 size, const std::function<void(char*)>& fill) {
    const qint64 position = this->size();
    reserveBytes(m_bytes.size() + size);
    m_bytes.resize(m_bytes.size() + size);
    fill(m_bytes.data() + (position - m_base));
    findLineStarts(position, 0, size);
}

void LogText::findLineStarts(qint64 position, qint64 removed, qint64 insertedSize) {
    // A line start depends only on the bytes either side of it and on the start before it, so
    // the starts from the edit on are found again until they meet an old start beyond the edit.
    const qint64 delta = insertedSize - removed;
    const qint64 editEnd = position + insertedSize;
    const qint64 from = std::max<qint64>(position, 1);
    const qsizetype firstChanged = m_lineStarts.countBefore(from);
    qsizetype survivor = m_lineStarts.countUpTo(position + removed);
    const qsizetype oldCount = m_lineStarts.size();

    std::vector<qint64> found;
    qint64 previous = m_lineStarts[firstChanged - 1];
    bool met = false;
    for (qint64 k = from; k <= size() && !met;) {
        if (!startsLine(k, previous)) {
            k = nextPossibleStart(k, previous);
            continue;
        }
        if (k > editEnd) {
            while (survivor < oldCount && m_lineStarts[survivor] + delta < k)
                ++survivor;
            met = survivor < oldCount && m_lineStarts[survivor] + delta == k;
            if (met)
                break;
        }
        found.push_back(k);
        previous = k;
        ++k;
    }

    const std::vector<qint64> after = met ? m_lineStarts.from(survivor) : std::vector<qint64>();
    m_lineStarts.truncate(firstChanged);
    for (const qint64 start : found)
        m_lineStarts.append(start);
    for (const qint64 start : after)
        m_lineStarts.append(start + delta);
    storeIfLong();
}

qint64 LogText::tailKept() const {
    return std::clamp(m_threshold / 4, qint64(1), kMostTailKept);
}

void LogText::storeIfLong() {
    // Four tails, so that the tail moved to the front after a store is a third of what is stored.
    const qint64 limit = m_base == 0 ? m_threshold : 4 * tailKept();
    if (m_bytes.size() <= limit || m_storeFailed)
        return;
    if (!m_store && !(m_store = LogStore::create(m_folder))) {
        m_storeFailed = true;
        return;
    }
    // The cut is a line start with bytes after it, which appends can no longer move, so the
    // lines in memory never depend on the bytes in the file.
    const qint64 lines = m_lineStarts.countUpTo(size() - tailKept()) - 1;
    qint64 cut = m_lineStarts[lines];
    if (cut <= m_base)
        return;
    const DiskSpace disk = m_diskSpace();
    const qint64 reserve = qint64(m_minimumFreeShare * double(disk.total));
    const qint64 needed = cut - m_base + lines * LogStore::kStartSize;
    if (disk.total > 0 && disk.free - needed < reserve) {
        const qint64 before = m_shift.bytes;
        // Half of what the file holds at least, so that this is not done again at once.
        dropOldest(std::max({reserve + needed - disk.free, m_base / 2, m_noticeSize + 1}), cut);
        cut -= m_shift.bytes - before;
    }
    moveToStore(cut);
}

// Gives up the lines before the first line start at or after `wanted` (but not past the cut)
// and puts in their place one line saying how much is gone.
void LogText::dropOldest(qint64 wanted, qint64 cut) {
    const int lastLine = lineOf(cut);
    int line = lineOf(std::clamp<qint64>(wanted, 1, cut));
    if (lineStart(line) < wanted)
        line = std::min(line + 1, lastLine);
    const qint64 start = lineStart(line);
    const QByteArray said = droppedNotice(m_dropped + start - m_noticeSize);
    // The notice takes the place of what it replaces in the file.
    if (m_origin + start < said.size())
        return;

    m_dropped += start - m_noticeSize;
    const qint64 noticeAt = m_origin + start - said.size();
    const qint64 noticeLine = m_originLine + line - 1;
    m_store->writeText(noticeAt, said.constData(), said.size());
    m_store->restartAt(noticeLine, noticeAt, noticeAt);

    if (start > m_base) {
        m_bytes.remove(0, start - m_base);
        m_lineStarts.removeFirst(line - m_storedLines);
        m_storedLines = line;
        m_base = start;
    }
    const qint64 shift = start - said.size();
    m_lineStarts.shift(-shift);
    m_base -= shift;
    m_storedLines -= line - 1;
    m_origin = noticeAt;
    m_originLine = noticeLine;
    m_noticeSize = said.size();
    m_shift.bytes += shift;
    m_shift.lines += line - 1;
}

bool LogText::moveToStore(qint64 cut) {
    const qsizetype lines = m_lineStarts.countBefore(cut);
    if (cut <= m_base || lines == 0)
        return false;
    std::vector<qint64> starts = m_lineStarts.from(0);
    starts.resize(size_t(lines));
    for (qint64& start : starts)
        start += m_origin;
    // A disk that refuses leaves everything where it was, to be tried again.
    if (!m_store->writeText(m_origin + m_base, m_bytes.constData(), cut - m_base) ||
        !m_store->appendLines(starts.data(), lines))
        return false;
    // A buffer much larger than the tail is copied afresh, so that its memory goes back. A
    // streaming log's is a few tails long: its tail moves to the front, since a fresh buffer
    // would be new pages to fault in every few megabytes.
    const qint64 kept = m_bytes.size() - (cut - m_base);
    if (m_bytes.capacity() > 8 * tailKept()) {
        m_bytes = QByteArray(m_bytes.constData() + (cut - m_base), kept);
    } else {
        char* front = m_bytes.data();
        std::memmove(front, front + (cut - m_base), size_t(kept));
        m_bytes.resize(kept);
    }
    m_lineStarts.removeFirst(lines);
    m_storedLines += int(lines);
    m_base = cut;
    return true;
}

void LogText::clear() {
    m_store.reset();
    m_storeFailed = false;
    m_base = 0;
    m_storedLines = 0;
    m_origin = 0;
    m_originLine = 0;
    m_dropped = 0;
    m_noticeSize = 0;
    m_shift = FrontShift();
    m_bytes = QByteArray();
    m_lineStarts.clear();
    m_lineStarts.append(0);
}

qint64 LogText::nextPosition(qint64 offset) const {
    if (offset >= size())
        return size();
    if (at(offset) == '\r' && offset + 1 < size() && at(offset + 1) == '\n')
        return offset + 2;
    return offset + 1;
}

qint64 LogText::previousPosition(qint64 offset) const {
    if (offset <= 0)
        return 0;
    if (offset >= 2 && at(offset - 1) == '\n' && at(offset - 2) == '\r')
        return offset - 2;
    return offset - 1;
}

qint64 LogText::validPosition(qint64 offset) const {
    offset = std::clamp<qint64>(offset, 0, size());
    if (offset > 0 && offset < size() && at(offset - 1) == '\r' && at(offset) == '\n')
        return offset - 1;
    return offset;
}
