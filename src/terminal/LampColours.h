#pragma once

// Lamp colours as packed 24-bit values, red in the low byte.
constexpr int kGreen = 49152;  // RGB(0, 192, 0): port open, input line on
constexpr int kRed = 255;      // RGB(255, 0, 0): port closed, output line on
constexpr int kOff = 16777152; // RGB(192, 255, 255): line off
