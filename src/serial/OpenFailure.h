#pragma once

#include <QSerialPort>
#include <QString>

// What to tell the user when a device does not open, from the error Qt reports.
QString openFailureReason(QSerialPort::SerialPortError error, const QString& qtText);
