#include "SystemDeviceWatch.h"

#include "DeviceInfo.h"
#include "PortDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#ifdef DUPLINK_UDEV
#include <libudev.h>

struct SystemDeviceWatch::Udev {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Udev() {
        notifier.reset();
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }
};

#else

struct SystemDeviceWatch::Udev {};

#endif

SystemDeviceWatch::SystemDeviceWatch(QObject* parent) : DeviceWatch(parent) {
    connect(&m_folders, &QFileSystemWatcher::directoryChanged, this, &DeviceWatch::devicesChanged);
#ifdef DUPLINK_UDEV
    // Without udev (a container, say) the folder watch is all there is.
    auto watch = std::make_unique<Udev>();
    watch->context = udev_new();
    if (watch->context)
        watch->monitor = udev_monitor_new_from_netlink(watch->context, "udev");
    if (watch->monitor &&
        udev_monitor_filter_add_match_subsystem_devtype(watch->monitor, "tty", nullptr) >= 0 &&
        udev_monitor_enable_receiving(watch->monitor) >= 0) {
        udev_monitor* monitor = watch->monitor;
        watch->notifier =
            std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor), QSocketNotifier::Read);
        connect(watch->notifier.get(), &QSocketNotifier::activated, this, [this, monitor] {
            if (udev_device* device = udev_monitor_receive_device(monitor))
                udev_device_unref(device);
            m_settle.start();
        });
        m_udev = std::move(watch);
    }
#endif
}

SystemDeviceWatch::~SystemDeviceWatch() = default;

void SystemDeviceWatch::watchPaths(const QStringList& devices) {
    QStringList folders;
    for (const QString& device : devices) {
        if (device.isEmpty() || isNetworkDevice(device))
            continue;
        // The nearest folder that exists: /dev/serial/by-id itself appears with the first
        // adapter plugged in.
        QDir folder = QFileInfo(device).absoluteDir();
        while (!folder.exists() && folder.cdUp()) {
        }
        if (!folders.contains(folder.absolutePath()))
            folders << folder.absolutePath();
    }
    const QStringList watched = m_folders.directories();
    for (const QString& old : watched) {
        if (!folders.contains(old))
            m_folders.removePath(old);
    }
    for (const QString& folder : folders) {
        if (!watched.contains(folder))
            m_folders.addPath(folder);
    }
}

QStringList SystemDeviceWatch::portDescriptions() {
    // Any program opening a pseudo-terminal changes /dev/pts: the system's devices are listed
    // again only when one of the sixteen has come or gone.
    QString presence;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        const QString device = deviceForPort(n);
        presence += device + (QFileInfo::exists(device) ? QLatin1Char('+') : QLatin1Char('-'));
    }
    if (presence != m_devicesSeen) {
        m_devicesSeen = presence;
        m_descriptions = describePorts();
    }
    return m_descriptions;
}

#include "moc_SystemDeviceWatch.cpp"
