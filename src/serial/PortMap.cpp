#include "PortMap.h"

#include "PortDevice.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

PortMap readPortMap(const QString& path) {
    PortMap map;
    if (!QFileInfo::exists(path))
        return map;
    const QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        map.problems << QStringLiteral("the file cannot be read as name=value lines");
    static const QRegularExpression portKey(QStringLiteral("^COM([0-9]{1,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const QString& key : file.allKeys()) {
        // A value with commas comes back as a list; a device path may hold commas.
        const QString device = file.value(key).toStringList().join(QLatin1Char(',')).trimmed();
        const auto match = portKey.match(key);
        const int n = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (n < kFirstPort || n > kLastPort) {
            map.problems << QStringLiteral("\"%1\" is no port (COM1 to COM16)").arg(key);
        } else if (device.isEmpty()) {
            map.problems << QStringLiteral("COM%1 names no device").arg(n);
        } else {
            map.devices.insert(qint16(n), device);
            if (!isNetworkDevice(device) && !QFileInfo::exists(device))
                map.problems << QStringLiteral("COM%1: %2 is not there now").arg(n).arg(device);
        }
    }
    return map;
}
