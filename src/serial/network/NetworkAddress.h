#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A port on the network, as a device string names it: rfc2217://HOST:PORT (a serial port
// behind an RFC 2217 server) or tcp://HOST:PORT (bytes only).
struct NetworkAddress {
    bool rfc2217 = false;
    QString host;
    quint16 port = 0;

    // The gensio that reaches it.
    QByteArray gensioString() const;
    bool operator==(const NetworkAddress& other) const {
        return rfc2217 == other.rfc2217 && host == other.host && port == other.port;
    }
};

// Nothing when `device` is not such a string.
std::optional<NetworkAddress> parseNetworkAddress(const QString& device);

// What a network device string looks like, for the user.
QString networkAddressForms();
