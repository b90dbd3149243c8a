#pragma once

#include "text/AnsiCodePage.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// Values of CommEvent that report a line change or a ring.
enum CommEventCode : qint16 {
    comEvCTS = 3,
    comEvDSR = 4,
    comEvCD = 5,
    comEvRing = 6,
};

// Values of CommEvent that report a fault on the line, where the driver tells of one.
enum CommErrorCode : qint16 {
    comEventBreak = 1001,
    comEventFrame = 1004,
    comEventOverrun = 1006,
    comEventRxOver = 1008,
    comEventRxParity = 1009,
};

// Values of Handshaking.
enum HandshakeCode : qint32 {
    comNone = 0,
    comXOnXoff = 1,
    comRTS = 2,
    comRTSXOnXOff = 3,
};

// One serial port as the terminal sees it. Writes that the control cannot accept throw
// SerialError and leave the previous value in force; reads never throw. Everything runs on
// the user-interface thread.
//
// A control's signals come from the event loop, never from inside one of its members: what a
// call causes or finds out (a device gone in the middle of writeBytes, a line change seen while
// opening) is reported after that call has returned. A handler may thus use both controls
// freely, and a caller never finds its own call re-entered.
class SerialControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Port number 1..16; may change only while the port is closed.
    virtual qint16 CommPort() const = 0;
    virtual void setCommPort(qint16 port) = 0;

    // "speed,parity,data,stop", for example "9600,n,8,1"; applied at once while open. A string
    // the device refuses throws SettingsRefused and leaves the old one in force; given while
    // closed, the device can refuse it only when the port opens, which then opens with the old
    // settings and throws SettingsRefused.
    virtual QString Settings() const = 0;
    virtual void setSettings(const QString& settings) = 0;

    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both.
    virtual qint32 Handshaking() const = 0;
    virtual void setHandshaking(qint32 mode) = 0;

    virtual bool PortOpen() const = 0;
    // Opening a missing or busy port throws SerialError and leaves it closed.
    virtual void setPortOpen(bool open) = 0;

    // Output lines: kept while closed, applied while open.
    virtual bool RTSEnable() const = 0;
    virtual void setRTSEnable(bool on) = 0;
    virtual bool DTREnable() const = 0;
    virtual void setDTREnable(bool on) = 0;

    // Input lines; off while closed or when the device has no modem lines.
    virtual bool CTSHolding() const = 0;
    virtual bool DSRHolding() const = 0;
    virtual bool CDHolding() const = 0;

    // Sends the bytes at once. Ignored while closed.
    virtual void writeBytes(const QByteArray& bytes) = 0;
    // Everything received since the last read; empty when nothing came.
    virtual QByteArray readBytes() = 0;

    // Bytes given to writeBytes and not yet taken by the device.
    virtual qint64 bytesToSend() const = 0;

    // Whether the device the port number names is there to be opened now.
    virtual bool devicePresent() const = 0;

    // The same as text, one character of the 8-bit character set per byte.
    void setOutput(const QString& text) { writeBytes(ansi::encode(text)); }
    QString Input() { return ansi::decode(readBytes()); }

    // The code being reported, valid inside OnComm.
    virtual qint16 CommEvent() const = 0;

signals:
    // A line change or a ring (CommEvent says which). Never raised for received data.
    void OnComm();
    // The control closed the port by itself: the device went away (or the connection to a
    // network port dropped); `reason` names the port and says why.
    void portLost(const QString& reason);
    // The port opened by itself: a network port whose connection came up after setPortOpen.
    void portOpened();
};
