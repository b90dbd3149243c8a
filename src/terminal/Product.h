#pragma once

#include <QString>

// The product's names. Two versions stand side by side on purpose: the settings file and the
// window title carry the program's version, while every message box keeps the title it has
// always had, which users (and their window-matching scripts) know it by.
inline const QString kProductName = QStringLiteral("Duplink");
// The number is the project's version in CMakeLists.txt.
inline const QString kProductVersion = QStringLiteral("v." DUPLINK_VERSION);
inline const QString kMessageTitle = QStringLiteral("Duplink v.2.0");
