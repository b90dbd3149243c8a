#pragma once

#include <QColor>

// Colours as packed 24-bit values, red in the low byte.
constexpr int kGreen = 49152;  // RGB(0, 192, 0): port open, input line on
constexpr int kRed = 255;      // RGB(255, 0, 0): port closed, output line on
constexpr int kOff = 16777152; // RGB(192, 255, 255): line off

inline QColor fromPacked(int packed) {
    return QColor(packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
}

inline int toPacked(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

// Fixed window colours.
inline const QColor kWindowBackground(191, 205, 219); // the inactive caption colour
inline const QColor kTerminal1Background(192, 255, 192);
inline const QColor kTerminal2Background(255, 255, 192);
inline const QColor kBannerText(0, 255, 0);
