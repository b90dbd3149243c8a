#include "NetworkAddress.h"

#include <QUrl>

QByteArray NetworkAddress::gensioString() const {
    // Without nodelay a settings request waits for the answer to the one before it.
    QByteArray stack = rfc2217 ? "telnet(rfc2217),tcp(nodelay)," : "tcp(nodelay),";
    return stack + host.toUtf8() + ',' + QByteArray::number(port);
}

std::optional<NetworkAddress> parseNetworkAddress(const QString& device) {
    const QUrl url(device, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("rfc2217") && scheme != QLatin1String("tcp")))
        return std::nullopt;
    if (url.host().isEmpty() || url.port() < 1 || !url.userInfo().isEmpty() ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() ||
        url.hasFragment())
        return std::nullopt;
    NetworkAddress address;
    address.rfc2217 = scheme == QLatin1String("rfc2217");
    address.host = url.host();
    address.port = quint16(url.port());
    return address;
}

QString networkAddressForms() {
    return QStringLiteral("rfc2217://HOST:PORT or tcp://HOST:PORT");
}
