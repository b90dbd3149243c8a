#pragma once

#include "LineStarts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

class LogStore;

// A log's bytes, one byte per character, and where each of its lines starts.
//
// CR LF, a lone LF and a lone CR each end a line; the break belongs to the line it ends. A line
// that runs longer than kMaxLineLength without a break continues on a new line, so that no
// single line is ever too long to lay out.
//
// A log never gets shorter by itself, yet memory must not grow with it: once it holds more than
// its threshold, all but its newest few megabytes go to a file in the cache folder (LogStore),
// and from then on whatever passes that tail follows them; what is needed is read back. That
// older part can no longer be edited. Only when writing it would leave less than a share of
// the disk free does the log give up its oldest text, and its first line then says so. Where
// no file can be made the log stays in memory.
class LogText {
public:
    static constexpr qint64 kMaxLineLength = 4096;
    static constexpr qint64 kDefaultThreshold = qint64(128) << 20;

    struct DiskSpace {
        qint64 free = 0;
        qint64 total = 0;
    };
    // How far offsets and lines moved down since last asked, after oldest text was dropped.
    struct FrontShift {
        qint64 bytes = 0;
        int lines = 0;
    };

    explicit LogText(qint64 threshold = kDefaultThreshold);
    ~LogText();
    LogText(const LogText&) = delete;
    LogText& operator=(const LogText&) = delete;

    void setThreshold(qint64 bytes) { m_threshold = bytes; }
    void setStoreFolder(const QString& folder) { m_folder = folder; }
    void setDiskSpace(std::function<DiskSpace()> query) { m_diskSpace = std::move(query); }
    void setMinimumFreeShare(double share) { m_minimumFreeShare = share; }

    qint64 size() const { return m_base + m_bytes.size(); }
    int lineCount() const { return m_storedLines + int(m_lineStarts.size()); }
    char at(qint64 offset) const;
    QByteArray slice(qint64 from, qint64 to) const;
    // The whole log; a long one is read back from its file, so for tests and short logs only.
    QByteArray bytes() const { return slice(0, size()); }

    qint64 lineStart(int line) const;
    // Where the line's text ends: before its break, if it has one.
    qint64 lineEnd(int line) const;
    // The start of the next line, or the end of the text for the last line.
    qint64 lineLimit(int line) const;
    int lineOf(qint64 offset) const;
    QByteArray lineBytes(int line) const { return slice(lineStart(line), lineEnd(line)); }

    // Bytes before this offset are in the file and stay as they are. An edit starts after it:
    // one right at it could join a CR in the file to an LF.
    qint64 storedSize() const { return m_base; }
    bool isEditable(qint64 position) const { return m_base == 0 || position > m_base; }
    // The files holding the older part, while there are any.
    QStringList storeFiles() const;
    FrontShift takeFrontShift() { return std::exchange(m_shift, FrontShift()); }

    // Edits in time proportional to what changes and to what follows the edit; at the end that
    // is only the inserted bytes. An edit that is not isEditable() changes nothing and returns
    // false; appending always works.
    bool replace(qint64 position, qint64 removed, const QByteArray& inserted);
    void append(const QByteArray& inserted) { replace(size(), 0, inserted); }
    // Appends `size` bytes that `fill` writes in place, with no copy in between.
    void append(qint64 size, const std::function<void(char*)>& fill);
    void clear();

    // Caret steps, which take a CR LF pair as one character.
    qint64 nextPosition(qint64 offset) const;
    qint64 previousPosition(qint64 offset) const;
    // Moves an offset that falls between a CR and its LF to before the CR.
    qint64 validPosition(qint64 offset) const;

private:
    bool startsLine(qint64 offset, qint64 previousStart) const;
    qint64 nextPossibleStart(qint64 offset, qint64 previousStart) const;
    void reserveBytes(qint64 total);
    void findLineStarts(qint64 position, qint64 removed, qint64 insertedSize);
    qint64 tailKept() const;
    void storeIfLong();
    void dropOldest(qint64 wanted, qint64 cut);
    bool moveToStore(qint64 cut);

    qint64 m_threshold;
    QString m_folder;
    std::function<DiskSpace()> m_diskSpace;
    double m_minimumFreeShare = 0.1;

    // The log's first m_base bytes and first m_storedLines lines are in the store, the log's
    // offset 0 at its position m_origin and line 0 at its line m_originLine.
    std::unique_ptr<LogStore> m_store;
    bool m_storeFailed = false;
    qint64 m_base = 0;
    int m_storedLines = 0;
    qint64 m_origin = 0;
    qint64 m_originLine = 0;
    qint64 m_dropped = 0;    // received bytes given up, in all
    qint64 m_noticeSize = 0; // the first line saying so
    FrontShift m_shift;

    // The rest: bytes from m_base on, and the starts of the lines from m_storedLines on, the
    // first of them m_base.
    QByteArray m_bytes;
    LineStarts m_lineStarts;
};
