#pragma once

#include <QString>

// One channel's port settings, as the texts shown in its six setting fields plus the serial
// control's settings string.
struct PortSettings {
    QString Port;
    QString SettingsText;
    QString Speed;
    QString Parity;
    QString DataBits;
    QString StopBits;
    QString Flow;
};

// Indexes of the six setting fields.
enum SettingField { FieldPort, FieldSpeed, FieldParity, FieldDataBits, FieldStopBits, FieldFlow };
constexpr int kSettingFieldCount = 6;
