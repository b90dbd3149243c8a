#pragma once

#include <QGroupBox>
#include <QImage>
#include <QStyleOptionGroupBox>

// A group box with a background of its own colour that keeps its frame and caption drawn in an
// image and copies them from there until something they are drawn from changes. A blinking
// caret inside the box repaints a few pixels of it twice a second, and the style would draw the
// whole frame and lay its caption out again each time, however small the piece: a fifth of what
// an idle program spent. A box that shows what lies behind it is drawn as a stock one.
class CachedGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool drawnFrom(const QStyleOptionGroupBox& option) const;

    QImage m_drawn;
    QStyleOptionGroupBox m_drawnWith;
};
