#include "LogScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

#include <utility>

LogScrollBar::Look LogScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    // The arrows show whether there is anything further to go.
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum()};
}

void LogScrollBar::sliderChange(SliderChange change) {
    if (m_batches > 0 && change != SliderOrientationChange) {
        m_changedInBatch = true;
        return;
    }
    if (m_everPainted && change != SliderOrientationChange && look() == m_painted)
        return;
    QScrollBar::sliderChange(change);
}

void LogScrollBar::batchEnded() {
    if (--m_batches > 0 || !std::exchange(m_changedInBatch, false))
        return;
    if (!m_everPainted || !(look() == m_painted))
        update();
}

void LogScrollBar::paintEvent(QPaintEvent* event) {
    m_painted = look();
    m_everPainted = true;
    QScrollBar::paintEvent(event);
}
