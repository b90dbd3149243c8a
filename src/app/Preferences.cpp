#include "Preferences.h"

#include <QSettings>

namespace {

const QString captureKey = QStringLiteral("capture");
// String lists: QSettings escapes NUL, the control characters and what its own syntax uses, so
// a command keeps every character of the 8-bit set.
const QString historyKeys[2] = {QStringLiteral("history1"), QStringLiteral("history2")};

} // namespace

Preferences readPreferences(const QString& path) {
    const QSettings file(path, QSettings::IniFormat);
    Preferences preferences;
    preferences.capture = file.value(captureKey, preferences.capture).toBool();
    for (int c = 0; c < 2; ++c)
        preferences.commandHistory[size_t(c)] = file.value(historyKeys[c]).toStringList();
    return preferences;
}

QString writePreferences(const QString& path, const Preferences& preferences) {
    QSettings file(path, QSettings::IniFormat);
    file.setValue(captureKey, preferences.capture);
    for (int c = 0; c < 2; ++c)
        file.setValue(historyKeys[c], preferences.commandHistory[size_t(c)]);
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
