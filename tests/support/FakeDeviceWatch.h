#pragma once

#include "serial/DeviceWatch.h"

// Device events when the test says so.
class FakeDeviceWatch final : public DeviceWatch {
    Q_OBJECT
public:
    FakeDeviceWatch() {
        for (int n = 1; n <= 16; ++n)
            descriptions << QStringLiteral("COM%1: (fake)").arg(n);
    }
    void watchPaths(const QStringList& devices) override { watched = devices; }
    QStringList portDescriptions() override { return descriptions; }
    void change() { emit devicesChanged(); }

    QStringList watched;
    QStringList descriptions;
};
