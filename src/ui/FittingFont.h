#pragma once

#include <QFont>
#include <QList>
#include <QString>

class QComboBox;

// Below this a text is no longer readable: it is cut off instead.
constexpr double kSmallestPoints = 6.0;

// A text and the width in pixels it has to be drawn in.
struct TextRoom {
    QString text;
    int room;
};

// The layout is fixed in twips while the desktop's fonts run wider than the ones it was drawn
// for: rather than cut a text off, the font is made smaller, a quarter point at a time, until
// every text fits its room or the font reaches `smallestPoints`.
QFont fontFitting(QFont font, const QList<TextRoom>& texts, double smallestPoints);

// Every entry of a setting box against the width its style leaves for the text.
QList<TextRoom> entriesAndRoom(const QComboBox* box);
