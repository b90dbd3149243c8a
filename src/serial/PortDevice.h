#pragma once

#include <QString>

constexpr qint16 kFirstPort = 1;
constexpr qint16 kLastPort = 16;

// The device that port number n opens: $DUPLINK_COM<n> when set, else the port map's entry
// (see PortMap.h), else the platform's default.
QString deviceForPort(qint16 n);
QString defaultDeviceForPort(qint16 n);

// rfc2217://HOST:PORT and tcp://HOST:PORT name ports on the network.
bool isNetworkDevice(const QString& device);

// "COM5 (/dev/ttyUSB0)": how errors name a port.
QString portLabel(qint16 n);

// The port number in a text, as a 16-bit integer; throws SerialError when the text holds
// no whole number in that range.
qint16 toPortNumber(const QString& text);
