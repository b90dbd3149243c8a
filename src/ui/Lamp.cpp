#include "Lamp.h"

#include "Colours.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace {

class LampAccessible : public QAccessibleWidget {
public:
    explicit LampAccessible(Lamp* lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}

    QString text(QAccessible::Text t) const override {
        const auto* lamp = static_cast<const Lamp*>(widget());
        switch (t) {
        case QAccessible::Name: {
            const QString name = lamp->accessibleName();
            return name.isEmpty() ? lamp->objectName() : name;
        }
        case QAccessible::Value:
            return lamp->stateText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = static_cast<const Lamp*>(widget())->isLit();
        return s;
    }
};

QAccessibleInterface* lampFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("Lamp") && object && object->isWidgetType())
        return new LampAccessible(static_cast<Lamp*>(object));
    return nullptr;
}

QString colourName(int packed) {
    switch (packed) {
    case kGreen:
        return QStringLiteral("green");
    case kRed:
        return QStringLiteral("red");
    default:
        return fromPacked(packed).name();
    }
}

} // namespace

Lamp::Lamp(int packedColour, QWidget* parent) : QWidget(parent), m_colour(packedColour) {}

void Lamp::setFillColor(int packedColour) {
    if (packedColour == m_colour)
        return;
    const bool wasLit = isLit();
    m_colour = packedColour;
    update();
    if (wasLit != isLit()) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
    QAccessibleValueChangeEvent valueEvent(this, stateText());
    QAccessible::updateAccessibility(&valueEvent);
}

bool Lamp::isLit() const {
    return m_colour != kOff;
}

QString Lamp::stateText() const {
    return isLit() ? QStringLiteral("on (%1)").arg(colourName(m_colour)) : QStringLiteral("off");
}

void Lamp::installAccessibility() {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(lampFactory);
        installed = true;
    }
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = qMin(width(), height()) - 1;
    const QRectF circle((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fromPacked(m_colour));
    p.drawEllipse(circle);
}

#include "moc_Lamp.cpp"
