// Program's command history of both channels, kept beside the settings file so that a crash
// loses at most the command whose save failed.

#include "Preferences.h"
#include "Program.h"
#include "terminal/Product.h"

#include <QDir>

void Program::loadCommandHistory() {
    const Preferences preferences = readPreferences(preferencesFilePath());
    for (int c = 0; c < 2; ++c)
        m_terminal.channel(c).history.restore(preferences.commandHistory[size_t(c)]);
}

void Program::saveCommandHistory() {
    Preferences preferences = readPreferences(preferencesFilePath());
    for (int c = 0; c < 2; ++c)
        preferences.commandHistory[size_t(c)] = m_terminal.channel(c).history.entries();
    const QString error = writePreferences(preferencesFilePath(), preferences);
    m_historyUnsaved = !error.isEmpty();
    if (error.isEmpty() || m_historyProblemShown)
        return;
    m_historyProblemShown = true;
    m_seams.messageBox(kMessageTitle,
                       QStringLiteral("The command history cannot be kept in %1: %2")
                           .arg(QDir::toNativeSeparators(preferencesFilePath()), error));
}
