#include "DataFolder.h"

#include "terminal/Product.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QString leftTrimmed(QString s) {
    qsizetype i = 0;
    while (i < s.size() && s[i] == QLatin1Char(' '))
        ++i;
    return s.mid(i);
}

QString userDataLocation() {
#ifdef Q_OS_UNIX
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty())
        return xdg;
    return QDir::homePath() + QStringLiteral("/.local/share");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
}

} // namespace

QString withTrailingSeparator(const QString& folder) {
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native;
    return native + QDir::separator();
}

QString dataFolderFromEnvironment() {
    QString base = leftTrimmed(qEnvironmentVariable("ProgramFiles"));
    if (base.isEmpty())
        base = userDataLocation();
    return withTrailingSeparator(base) + kProductName + QLatin1Char(' ') + kProductVersion +
           QDir::separator();
}
