#pragma once

#include "capture/UncachedAppend.h"

#include <QByteArray>
#include <QCache>
#include <QList>
#include <QTemporaryFile>

#include <memory>

// The older part of a long log on disk: its bytes in one file and its line starts in another
// (eight bytes each), read back piece by piece through small caches. Memory holds one start
// in every kLinesPerBlock, so that finding a line costs one read of a block of starts.
//
// Positions here are the files' own: the log turns them into its offsets. The front of both
// files can be given up (its disk space is freed where the file system allows); what is left
// keeps its positions.
class LogStore {
public:
    static constexpr qint64 kLinesPerBlock = 1024;
    static constexpr qint64 kStartSize = sizeof(qint64); // one line start in the file

    // Both files in the folder, or nothing when they cannot be made. They go when the store does.
    static std::unique_ptr<LogStore> create(const QString& folder);

    QString textPath() const { return m_text.fileName(); }
    QString linesPath() const { return m_lines.fileName(); }

    // False when the disk refused: then nothing is counted as written.
    bool writeText(qint64 at, const char* data, qint64 size);
    // Adds the starts of the lines after the last one held; they ascend.
    bool appendLines(const qint64* starts, qint64 count);
    QByteArray readText(qint64 at, qint64 size) const;

    qint64 firstLine() const { return m_firstLine; }
    qint64 endLine() const { return m_endLine; }
    qint64 lineStart(qint64 line) const;
    // The last line held that starts at or before the position.
    qint64 lineAt(qint64 position) const;

    // Gives up every line before `line` and the text before `textFrom`, and makes `line` start
    // at `start` (a line written over what was given up).
    bool restartAt(qint64 line, qint64 start, qint64 textFrom);

private:
    LogStore() = default;
    bool writeAt(QFile& file, qint64 at, const char* data, qint64 size);
    bool readAt(const QFile& file, qint64 at, char* data, qint64 size) const;
    const QList<qint64>& block(qint64 index) const;
    void forgetTextBlocks(qint64 from, qint64 to);

    QTemporaryFile m_text;
    // The text's appends while they all go to its end.
    UncachedAppend m_textEnd;
    QTemporaryFile m_lines;
    qint64 m_firstLine = 0;
    qint64 m_endLine = 0;
    qint64 m_firstBlock = 0;
    QList<qint64> m_blockStarts; // the first start held in each block from m_firstBlock on
    mutable QCache<qint64, QList<qint64>> m_lineBlocks{32};
    mutable QCache<qint64, QByteArray> m_textBlocks{16};
};
