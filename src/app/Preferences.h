#pragma once

#include <QString>
#include <QStringList>

#include <array>

// Choices the program remembers beside its settings file, outside the settings record whose
// layout stays fixed.
struct Preferences {
    bool capture = false;
    std::array<QStringList, 2> commandHistory; // each channel's, newest first
};

// The preferences in the file; a missing or unreadable file, or a value it does not hold,
// gives the default.
Preferences readPreferences(const QString& path);
// Returns an empty text, or why the file could not be written.
QString writePreferences(const QString& path, const Preferences& preferences);
