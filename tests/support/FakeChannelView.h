#pragma once

#include "terminal/ChannelView.h"
#include "terminal/LampColours.h"
#include "terminal/PortSettings.h"

#include <QStringList>

#include <array>

// A channel's window side as plain values, for testing the terminal without widgets. A field
// that accepts only its list refuses other texts, as a list-only box does.
class FakeChannelView final : public ChannelView {
    Q_OBJECT
public:
    QString commandText() const override { return command; }
    QString insertCodeText() const override { return insertCode; }
    QString settingFieldText(int field) const override { return fields[size_t(field)]; }
    void setCommandText(const QString& text) override;
    void setCommandHex(const QString& hex) override { commandHex = hex; }
    bool setSettingFieldText(int field, const QString& text) override;
    void setPortLamp(int colour) override { portLamp = colour; }

    QString command = QStringLiteral("AT");
    QString insertCode = QStringLiteral("255");
    QString commandHex = QStringLiteral("4154");
    std::array<QString, kSettingFieldCount> fields{};
    // Which fields take any text; by default, like Terminal 1: port and speed.
    std::array<bool, kSettingFieldCount> editable{true, true, false, false, false, false};
    int portLamp = kRed;
};
