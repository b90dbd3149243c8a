#pragma once

#include <QList>
#include <QString>

// What the system knows of a serial device.
struct DeviceInfo {
    QString path;     // as named: a link such as /dev/serial/by-id/... stays as it is
    QString resolved; // the device the path leads to, links followed
    bool present = false;
    QString description;
    QString manufacturer;
    QString serialNumber;

    // "/dev/ttyUSB0, FT232R USB UART, FTDI, serial A12345", or "... (not present)".
    QString summary() const;
};

DeviceInfo deviceInfo(const QString& path);

// "COM5: /dev/ttyUSB0, FT232R USB UART, FTDI, serial A12345" for port numbers 1 to 16, from one
// look at the system's devices.
QStringList describePorts();

// Every serial device present now.
QList<DeviceInfo> presentSerialDevices();

// The program holding a device open, as "ModemManager (pid 812)", where the system lets us see
// it (other users' programs may be hidden); empty when none is found.
QString deviceHolder(const QString& path);
