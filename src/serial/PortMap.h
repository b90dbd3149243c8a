#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// A port map file names the device of some port numbers, one line each, for example
//   COM5=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0
// so that a USB adapter keeps its number whatever /dev/ttyUSBn it gets.
struct PortMap {
    QMap<qint16, QString> devices;
    QStringList problems; // one line for each entry that could not be used, naming it
};

// Reads a port map; a missing file is an empty map. Entries whose device is not there now are
// kept (the device may be plugged in later) and named among the problems.
PortMap readPortMap(const QString& path);

// The map that deviceForPort consults after the environment, for the rest of the run.
void usePortMap(const QMap<qint16, QString>& devices);
