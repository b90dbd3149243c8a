#pragma once

#include "terminal/LampColours.h"

#include <QColor>

inline QColor fromPacked(int packed) {
    return QColor(packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
}

// Fixed window colours.
inline const QColor kWindowBackground(191, 205, 219); // the inactive caption colour
inline const QColor kTerminal1Background(192, 255, 192);
inline const QColor kTerminal2Background(255, 255, 192);
inline const QColor kBannerText(0, 255, 0);
// Matches found in a log, and the current one.
inline const QColor kMatchBackground(255, 236, 120);
inline const QColor kCurrentMatchBackground(255, 150, 50);
