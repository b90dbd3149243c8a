#pragma once

#include "ChannelLayout.h"
#include "Twips.h"

#include <QWidget>

// Creates a widget with its object name and its place, given in twips.
template <class W, class... Args>
W* place(QWidget* parent, const char* name, const QRect& inTwips, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(toPixels(inTwips));
    return w;
}

template <class W, class... Args> W* place(QWidget* parent, const Placed& p, Args&&... args) {
    return place<W>(parent, p.name, p.twips, std::forward<Args>(args)...);
}

// Gives a widget a background of its own colour.
inline void paintBackground(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}
