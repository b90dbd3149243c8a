#include "PortDevice.h"

#include "SerialError.h"

#include <QByteArray>
#include <QtGlobal>

QString deviceForPort(qint16 n) {
    const QByteArray fromEnv = qgetenv("DUPLINK_COM" + QByteArray::number(n));
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
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
