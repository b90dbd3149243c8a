#pragma once

#include <QSerialPort>
#include <QString>

// What to tell the user when a device does not open, from the error Qt reports; a busy device
// names its holder when it is known ("ModemManager (pid 812)").
QString openFailureReason(QSerialPort::SerialPortError error, const QString& qtText,
                          const QString& holder = {});
