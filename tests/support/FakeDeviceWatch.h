#pragma once

#include "serial/DeviceWatch.h"

// Device events when the test says so.
class FakeDeviceWatch final : public DeviceWatch {
    Q_OBJECT
public:
    void watchPaths(const QStringList& devices) override { watched = devices; }
    void change() { emit devicesChanged(); }

    QStringList watched;
};
