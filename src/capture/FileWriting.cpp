#include "FileWriting.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::filesystem::path nativePath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Writes every byte through the descriptor, so that a short write is seen for what it is.
QString writePiece(QFile& file, const QByteArray& content) {
#ifdef Q_OS_UNIX
    const int fd = file.handle();
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EIO));
        done += n;
    }
    return {};
#else
    if (file.write(content) != content.size())
        return file.errorString();
    return {};
#endif
}

// Every byte on disk before the file counts as written.
QString flushToDisk(QFile& file) {
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
#else
    if (!file.flush())
        return file.errorString();
#endif
    return {};
}

QString writeAll(QFile& file, const QByteArray& content) {
    const QString error = writePiece(file, content);
    return error.isEmpty() ? flushToDisk(file) : error;
}

#ifdef Q_OS_UNIX
// The new file takes the owner and mode of the one it replaces, as far as this user may give them.
void keepOwnerAndMode(const QString& path, int fd) {
    struct stat old {};
    if (::stat(QFile::encodeName(path).constData(), &old) != 0 || !S_ISREG(old.st_mode))
        return;
    [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}
#endif

} // namespace

QString replaceWholeFile(const QString& path, const QByteArray& content) {
    bool given = false;
    return replaceWholeFile(path,
                            [&] { return std::exchange(given, true) ? QByteArray() : content; });
}

QString replaceWholeFile(const QString& path, const std::function<QByteArray()>& nextPiece) {
    WholeFileWriter writer(path);
    for (QByteArray piece = nextPiece(); !piece.isEmpty(); piece = nextPiece()) {
        const QString error = writer.write(piece);
        if (!error.isEmpty())
            return error;
    }
    return writer.finish();
}

WholeFileWriter::WholeFileWriter(const QString& path) {
    // A link to a file is written through: the file it leads to is replaced, the link stays.
    const QFileInfo info(path);
    m_file = info.isSymLink() && info.isFile() ? info.canonicalFilePath() : path;
    m_temporary = std::make_unique<QTemporaryFile>(m_file + QStringLiteral(".XXXXXX"));
    if (!m_temporary->open()) {
        m_error = m_temporary->errorString();
        return;
    }
#ifdef Q_OS_UNIX
    keepOwnerAndMode(m_file, m_temporary->handle());
#endif
}

WholeFileWriter::~WholeFileWriter() = default;

QString WholeFileWriter::write(const QByteArray& piece) {
    if (m_error.isEmpty())
        m_error = writePiece(*m_temporary, piece);
    return m_error;
}

QString WholeFileWriter::finish() {
    if (!m_error.isEmpty())
        return m_error;
    m_error = flushToDisk(*m_temporary);
    if (!m_error.isEmpty())
        return m_error;
    m_temporary->close();
    std::error_code renameError;
    std::filesystem::rename(nativePath(m_temporary->fileName()), nativePath(m_file), renameError);
    if (renameError)
        return m_error = QString::fromLocal8Bit(renameError.message().c_str());
    m_temporary->setAutoRemove(false);
    return {};
}

QString overwriteFileStart(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return file.errorString();
    return writeAll(file, content);
}

QString moveAside(const QString& path) {
    for (int n = 1; n <= 1000; ++n) {
        const QString backup =
            path + (n == 1 ? QStringLiteral(".bak") : QStringLiteral(".bak%1").arg(n));
        if (QFileInfo::exists(backup) || QFileInfo(backup).isSymLink())
            continue;
        std::error_code error;
        std::filesystem::rename(nativePath(path), nativePath(backup), error);
        return error ? QString() : backup;
    }
    return {};
}
