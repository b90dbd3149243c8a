#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// A port map file names the device of some port numbers, one line each, for example
//   COM5=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0
// so that a USB adapter keeps its number whatever /dev/ttyUSBn it gets. A device is taken as
// written, only the blanks around it dropped. Lines starting with '#' or ';' are comments, and
// "[...]" lines (section headers) are passed over.
struct PortMap {
    QMap<qint16, QString> devices;
    // What could not be used, each naming its line: the first kPortMapProblemsNamed, then one
    // line counting the rest.
    QStringList problems;
};

constexpr int kPortMapProblemsNamed = 10;
constexpr qint64 kPortMapMaxBytes = 1024 * 1024;

// Reads a port map; a missing file is an empty map. A path that is no regular file (a FIFO, a
// folder, a link leading nowhere) or a file over kPortMapMaxBytes is not read, and that is its
// one problem. Entries whose device is not there now are kept (the device may be plugged in
// later) and named among the problems.
PortMap readPortMap(const QString& path);

// The entries of a port map's content, without looking for the devices.
PortMap parsePortMap(const QByteArray& content);

// The map that deviceForPort consults after the environment, for the rest of the run.
void usePortMap(const QMap<qint16, QString>& devices);
