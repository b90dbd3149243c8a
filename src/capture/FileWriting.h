#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QTemporaryFile;

// Each returns an empty text, or why it failed.

// Replaces the file with `content` through a temporary file in the same folder that is
// renamed over it only once every byte is on disk; on failure the old file is untouched. The
// new file keeps the old one's owner and mode; a link to a file is kept, and its file replaced.
QString replaceWholeFile(const QString& path, const QByteArray& content);
// The same for content too long to hold at once: `nextPiece` gives it a piece at a time, then
// an empty piece.
QString replaceWholeFile(const QString& path, const std::function<QByteArray()>& nextPiece);

// The same, written a piece at a time between other work: nothing at the path changes until
// finish() succeeds; left unfinished, the temporary file goes. After a failure each call
// returns that failure.
class WholeFileWriter {
public:
    explicit WholeFileWriter(const QString& path);
    ~WholeFileWriter();
    QString write(const QByteArray& piece);
    QString finish();

private:
    QString m_file; // the file replaced: a link's file, not the link
    std::unique_ptr<QTemporaryFile> m_temporary;
    QString m_error;
};

// Overwrites the start of an existing file with `content`, leaving the rest as it is.
QString overwriteFileStart(const QString& path, const QByteArray& content);

// Moves a file (or whatever stands at the path) aside under a free name beside it, ending in
// ".bak" or ".bak2", ".bak3"...; returns the new path, or an empty text when it could not.
QString moveAside(const QString& path);
