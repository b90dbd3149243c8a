#pragma once

#include <QWidget>

// A filled circle whose colour shows a state. Accessibility tools read it as an indicator
// whose value is its colour and which counts as "on" in any colour but the off colour.
class Lamp : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int fillColor READ fillColor WRITE setFillColor)
public:
    explicit Lamp(int packedColour, QWidget* parent = nullptr);

    int fillColor() const { return m_colour; }
    void setFillColor(int packedColour);
    bool isLit() const;
    QString stateText() const;

    // Makes screen readers and UI automation see lamps; called once by the window.
    static void installAccessibility();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_colour;
};
