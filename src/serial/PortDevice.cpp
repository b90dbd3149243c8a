#include "PortDevice.h"

#include "SerialError.h"

#include "PortMap.h"

#include <QByteArray>
#include <QtGlobal>

namespace {

QMap<qint16, QString>& portMap() {
    static QMap<qint16, QString> map;
    return map;
}

} // namespace

void usePortMap(const QMap<qint16, QString>& devices) {
    portMap() = devices;
}

bool isNetworkDevice(const QString& device) {
    // Scheme names are case-insensitive, as in any address.
    return device.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive) ||
           device.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

QString deviceForPort(qint16 n) {
    const QByteArray fromEnv = qgetenv("DUPLINK_COM" + QByteArray::number(n));
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
    const auto mapped = portMap().constFind(n);
    if (mapped != portMap().constEnd())
        return *mapped;
    return defaultDeviceForPort(n);
}

QString defaultDeviceForPort(qint16 n) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    if (n >= 1 && n <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n >= 5 && n <= 8)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 5);
    if (n >= 9 && n <= 12)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 9);
    if (n >= 13 && n <= 16)
        return QStringLiteral("/dev/ttyS%1").arg(n - 9);
    return {};
#endif
}

QString portLabel(qint16 n) {
    return QStringLiteral("COM%1 (%2)").arg(n).arg(deviceForPort(n));
}

qint16 toPortNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < -32768 || value > 32767)
        throw SerialError(QStringLiteral("The port number \"%1\" is not a whole number").arg(text));
    return qint16(value);
}
