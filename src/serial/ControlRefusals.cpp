#include "ControlRefusals.h"

#include "PortDevice.h"
#include "SerialError.h"

void checkPortNumberChange(qint16 port, bool portOpen, const QString& label) {
    if (port < kFirstPort || port > kLastPort)
        throw SerialError(
            QStringLiteral("COM%1: there is no such port (the ports are COM1 to COM16)").arg(port));
    if (portOpen)
        throw SerialError(label + QStringLiteral(": the port number cannot change while the "
                                                 "port is open"));
}

LineSettings lineSettingsOf(const QString& settings, const QString& label) {
    QString problem;
    const auto parsed = parseLineSettings(settings, &problem);
    if (!parsed)
        throw SerialError(
            QStringLiteral("%1: \"%2\" is not a valid setting: %3").arg(label, settings, problem));
    return *parsed;
}
