#include "PortListing.h"

#include "DataFolder.h"
#include "serial/DeviceInfo.h"
#include "serial/PortDevice.h"
#include "serial/PortMap.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

// A stable name for a device, when udev gives it one: its link in /dev/serial/by-id.
QString stableName(const QString& resolved) {
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        if (link.canonicalFilePath() == resolved)
            return link.absoluteFilePath();
    }
    return resolved;
}

} // namespace

QString portMapPath() {
    return dataFolderFromEnvironment() + QStringLiteral("Duplink ports.ini");
}

QString portListing() {
    const PortMap map = readPortMap(portMapPath());
    usePortMap(map.devices);
    QString out;
    QSet<QString> mapped;
    qint16 firstFree = 0;
    int width = 0;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n)
        width = std::max(width, int(deviceForPort(n).size()));
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        const QString device = deviceForPort(n);
        const DeviceInfo info = deviceInfo(device);
        mapped.insert(info.resolved);
        if (!info.present && !firstFree)
            firstFree = n;
        QString line =
            QStringLiteral("COM%1").arg(n).leftJustified(7) + device.leftJustified(width);
        if (info.present && !isNetworkDevice(device) && info.resolved != device)
            line += QStringLiteral(" (") + info.resolved + QLatin1Char(')');
        if (isNetworkDevice(device))
            line += QStringLiteral("  on the network");
        else
            line += info.present ? QStringLiteral("  present") : QStringLiteral("  not present");
        for (const QString& known : {info.description, info.manufacturer})
            if (!known.isEmpty())
                line += QStringLiteral(", ") + known;
        if (!info.serialNumber.isEmpty())
            line += QStringLiteral(", serial ") + info.serialNumber;
        out += line + QLatin1Char('\n');
    }
    QString unmapped;
    for (const DeviceInfo& info : presentSerialDevices()) {
        if (mapped.contains(info.resolved))
            continue;
        unmapped += QStringLiteral("  ") + info.summary() + QLatin1Char('\n');
        unmapped += QStringLiteral("    COM%1=%2\n")
                        .arg(firstFree ? firstFree : kLastPort)
                        .arg(stableName(info.resolved));
    }
    if (!unmapped.isEmpty())
        out += QStringLiteral("\nSerial devices no port number opens, with the line that would "
                              "give one a number in %1:\n")
                   .arg(QDir::toNativeSeparators(portMapPath())) +
               unmapped;
    if (!map.problems.isEmpty())
        out += QStringLiteral("\nThe port map %1:\n").arg(QDir::toNativeSeparators(portMapPath()));
    for (const QString& problem : map.problems)
        out += QStringLiteral("  ") + problem + QLatin1Char('\n');
    return out;
}
