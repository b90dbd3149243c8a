#pragma once

#include <QString>

// The program's data folder, ending in the platform separator: under $ProgramFiles when it is
// set, else under the user's data location ($XDG_DATA_HOME, or ~/.local/share).
QString dataFolderFromEnvironment();

// A folder path with the platform separator at its end (never doubled).
QString withTrailingSeparator(const QString& folder);
