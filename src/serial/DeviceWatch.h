#pragma once

#include <QObject>
#include <QStringList>

// Tells when serial devices may have come or gone, so that a port waiting for its device can
// look again. No polling: the system says when.
class DeviceWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The device paths worth watching (links and paths the system's device events do not
    // cover, such as a simulator's links, are watched through their folders).
    virtual void watchPaths(const QStringList& devices) = 0;

    // What the system says of each port number's device, for COM1 to COM16 in order, such as
    // "COM5: /dev/ttyUSB0, FT232R USB UART, FTDI, serial A12345".
    virtual QStringList portDescriptions() = 0;

signals:
    void devicesChanged();
};
