#include "DeviceInfo.h"

#include "PortDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

namespace {

void addAdapter(DeviceInfo& info, const QSerialPortInfo& port) {
    info.description = port.description();
    info.manufacturer = port.manufacturer();
    info.serialNumber = port.serialNumber();
}

QString nameOfProcess(const QString& pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                          : QString();
}

// Who holds the device open, by the open files of every process we may look into.
QString holderByOpenFiles(const QString& resolved) {
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QStringList pids =
        QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    QStringList holders;
    for (const QString& pid : pids) {
        if (pid == self)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == resolved) {
                holders << QStringLiteral("%1 (pid %2)").arg(nameOfProcess(pid), pid);
                break;
            }
        }
    }
    return holders.join(QStringLiteral(", "));
}

// Who holds the device's lock file (the UUCP convention QSerialPort follows too), named after the
// device as it was given or as it resolves.
QString holderByLockFile(const QStringList& names) {
    for (QString name : names) {
        if (name.startsWith(QLatin1String("/dev/")))
            name.remove(0, 5);
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        for (const char* folder : {"/run/lock", "/var/lock"}) {
            QFile lock(QStringLiteral("%1/LCK..%2").arg(QLatin1String(folder), name));
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            const QString pid = QString::fromLatin1(lock.readLine()).trimmed();
            if (pid.toLongLong() > 0 && pid.toLongLong() != QCoreApplication::applicationPid() &&
                QFileInfo::exists(QStringLiteral("/proc/") + pid))
                return QStringLiteral("%1 (pid %2)").arg(nameOfProcess(pid), pid);
        }
    }
    return {};
}

} // namespace

QString DeviceInfo::summary() const {
    QStringList parts{resolved.isEmpty() ? path : resolved};
    for (const QString& known : {description, manufacturer})
        if (!known.isEmpty())
            parts << known;
    if (!serialNumber.isEmpty())
        parts << QStringLiteral("serial ") + serialNumber;
    QString text = parts.join(QStringLiteral(", "));
    if (!present)
        text += QStringLiteral(" (not present)");
    return text;
}

namespace {

DeviceInfo infoAmong(const QString& path, const QList<QSerialPortInfo>& ports) {
    DeviceInfo info;
    info.path = path;
    if (isNetworkDevice(path)) {
        info.present = true;
        return info;
    }
    const QFileInfo file(path);
    info.present = file.exists();
    info.resolved = info.present ? file.canonicalFilePath() : path;
    for (const QSerialPortInfo& port : ports) {
        if (QFileInfo(port.systemLocation()).canonicalFilePath() == info.resolved)
            addAdapter(info, port);
    }
    return info;
}

} // namespace

DeviceInfo deviceInfo(const QString& path) {
    return infoAmong(path, QSerialPortInfo::availablePorts());
}

namespace {

// Whether the system may know an adapter behind any of the ports' devices. Listing the serial
// devices reads every tty's attributes, several milliseconds at each start; a pseudo-terminal
// is never among them.
bool anyAdapterToLookUp() {
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        const QString device = deviceForPort(n);
        if (isNetworkDevice(device))
            continue;
        const QString resolved = QFileInfo(device).canonicalFilePath();
        if (!resolved.isEmpty() && !resolved.startsWith(QLatin1String("/dev/pts/")))
            return true;
    }
    return false;
}

} // namespace

QStringList describePorts() {
    const QList<QSerialPortInfo> ports =
        anyAdapterToLookUp() ? QSerialPortInfo::availablePorts() : QList<QSerialPortInfo>{};
    QStringList descriptions;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        const QString device = deviceForPort(n);
        const DeviceInfo info = infoAmong(device, ports);
        QString text = QStringLiteral("COM%1: ").arg(n);
        // A link such as /dev/serial/by-id/... is shown with where it leads.
        if (info.present && !isNetworkDevice(device) && info.resolved != device)
            text += device + QStringLiteral(" -> ");
        descriptions << text + info.summary();
    }
    return descriptions;
}

QList<DeviceInfo> presentSerialDevices() {
    QList<DeviceInfo> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        DeviceInfo info;
        info.path = port.systemLocation();
        info.resolved = QFileInfo(info.path).canonicalFilePath();
        info.present = true;
        addAdapter(info, port);
        devices << info;
    }
    return devices;
}

QString deviceHolder(const QString& path) {
#ifdef Q_OS_LINUX
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved.isEmpty())
        return {};
    // A lock file names the one program that took the device for itself; without one, every
    // program that has it open is a suspect.
    const QString byLock = holderByLockFile({path, resolved});
    return byLock.isEmpty() ? holderByOpenFiles(resolved) : byLock;
#else
    Q_UNUSED(path);
    return {};
#endif
}
