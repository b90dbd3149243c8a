#pragma once

#include "DeviceWatch.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include <memory>

// Device events from udev (tty devices added or removed) where the system has it, and changes
// in the folders that hold the watched paths.
class SystemDeviceWatch final : public DeviceWatch {
    Q_OBJECT
public:
    explicit SystemDeviceWatch(QObject* parent = nullptr);
    ~SystemDeviceWatch() override;

    void watchPaths(const QStringList& devices) override;
    QStringList portDescriptions() override;

    static constexpr int kSettleMs = 50;

private:
    struct Udev;
    std::unique_ptr<Udev> m_udev;
    QFileSystemWatcher m_folders;
    QTimer m_settle;
    // The last descriptions, and which of the port numbers' devices were there then.
    QStringList m_descriptions;
    QString m_devicesSeen;
};
