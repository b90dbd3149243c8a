#include "CachedGroupBox.h"

#include <QEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QStyle>

namespace {

// Whether a style draws the same box from both options.
bool sameDrawing(const QStyleOptionGroupBox& a, const QStyleOptionGroupBox& b) {
    return a.rect == b.rect && a.state == b.state && a.direction == b.direction &&
           a.palette == b.palette && a.fontMetrics == b.fontMetrics && a.text == b.text &&
           a.textAlignment == b.textAlignment && a.textColor == b.textColor &&
           a.features == b.features && a.lineWidth == b.lineWidth &&
           a.midLineWidth == b.midLineWidth && a.subControls == b.subControls &&
           a.activeSubControls == b.activeSubControls;
}

} // namespace

bool CachedGroupBox::drawnFrom(const QStyleOptionGroupBox& option) const {
    return !m_drawn.isNull() && m_drawn.devicePixelRatio() == devicePixelRatioF() &&
           sameDrawing(option, m_drawnWith);
}

void CachedGroupBox::changeEvent(QEvent* event) {
    // A new style draws differently from the same options.
    if (event->type() == QEvent::StyleChange)
        m_drawn = QImage();
    QGroupBox::changeEvent(event);
}

void CachedGroupBox::paintEvent(QPaintEvent* event) {
    const QBrush background = palette().brush(backgroundRole());
    // Only a box that fills its background with one opaque colour is drawn into an opaque
    // image exactly as onto the window: the same fill, then the same drawing on top.
    if (!autoFillBackground() || background.style() != Qt::SolidPattern ||
        background.color().alpha() != 255) {
        m_drawn = QImage();
        QGroupBox::paintEvent(event);
        return;
    }
    QPainter painter(this);
    // Blending rounds by the format drawn on, so the image takes the window's.
    const QPaintEngine* engine = painter.paintEngine();
    const auto* window = engine ? dynamic_cast<const QImage*>(engine->paintDevice()) : nullptr;
    const QImage::Format format = window ? window->format() : QImage::Format_ARGB32_Premultiplied;
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    if (m_drawn.format() != format || !drawnFrom(option)) {
        const qreal ratio = devicePixelRatioF();
        m_drawn = QImage((QSizeF(size()) * ratio).toSize(), format);
        m_drawn.setDevicePixelRatio(ratio);
        QPainter onImage(&m_drawn);
        onImage.fillRect(rect(), background);
        // Set up as a painter on the box itself is, by QStylePainter.
        onImage.setFont(font());
        onImage.setPen(QPen(palette().brush(foregroundRole()), 1));
        onImage.setBackground(background);
        onImage.setLayoutDirection(layoutDirection());
        onImage.setRenderHint(QPainter::SmoothPixmapTransform);
        style()->drawComplexControl(QStyle::CC_GroupBox, &option, &onImage, this);
        m_drawnWith = option;
    }
    painter.drawImage(0, 0, m_drawn);
}
