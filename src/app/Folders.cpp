#include "Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <filesystem>
#include <system_error>

QString createFolder(const QString& path) {
#ifdef Q_OS_WIN
    const std::filesystem::path native(path.toStdWString());
#else
    const std::filesystem::path native(QFile::encodeName(path).toStdString());
#endif
    std::error_code error;
    std::filesystem::create_directories(native, error);
    if (error)
        return QString::fromLocal8Bit(error.message().c_str());
    if (!QFileInfo(path).isDir())
        return QStringLiteral("Not a directory");
    return {};
}

QString yearFolder(const QString& resultsFolder, const QDate& today) {
    // The results folder ends in a separator already.
    return resultsFolder + QString::number(today.year());
}

QString monthFolder(const QString& resultsFolder, const QDate& today) {
    return yearFolder(resultsFolder, today) + QDir::separator() +
           QLocale::system().standaloneMonthName(today.month(), QLocale::LongFormat);
}
