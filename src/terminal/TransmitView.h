#pragma once

#include <QObject>

// The window's transmit switch as the terminal sees it: which way the RTS and DTR lines go
// while transmit mode is on.
class TransmitView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool option3Selected() const = 0; // "RTS/DTR = Manual Check"
    virtual bool option4Selected() const = 0; // "RTS/DTR = CTS/DSR"
};
