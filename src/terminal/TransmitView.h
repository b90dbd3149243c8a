#pragma once

#include <QObject>

// The window's transmit switch as the terminal sees it: which way the RTS and DTR lines go
// while transmit mode is on, and the switch's two picture buttons.
class TransmitView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool option3Selected() const = 0; // "RTS/DTR = Manual Check"
    virtual bool option4Selected() const = 0; // "RTS/DTR = CTS/DSR"

    // On: the banner, the two options and the switch-off button, in place of the switch-on
    // button. Off: the other way round.
    virtual void showTransmitMode(bool on) = 0;

signals:
    void switchOnClicked();  // the red cross
    void switchOffClicked(); // the green arrow
};
