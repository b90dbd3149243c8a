#include "Preferences.h"

#include <QSettings>

namespace {

const QString captureKey = QStringLiteral("capture");

} // namespace

Preferences readPreferences(const QString& path) {
    const QSettings file(path, QSettings::IniFormat);
    Preferences preferences;
    preferences.capture = file.value(captureKey, preferences.capture).toBool();
    return preferences;
}

QString writePreferences(const QString& path, const Preferences& preferences) {
    QSettings file(path, QSettings::IniFormat);
    file.setValue(captureKey, preferences.capture);
    file.sync();
    switch (file.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("the file cannot be written");
    case QSettings::FormatError:
        return QStringLiteral("the file is not in its format");
    }
    return {};
}
