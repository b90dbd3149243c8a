#pragma once

#include <QRect>

// Layout measures are in twips; 15 twips make one pixel.
constexpr int px(int twips) {
    return (twips + 7) / 15;
}

constexpr QRect twips(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

inline QRect toPixels(const QRect& inTwips) {
    return twips(inTwips.x(), inTwips.y(), inTwips.width(), inTwips.height());
}
