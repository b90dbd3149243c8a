#include "Terminal.h"

#include "ChannelView.h"
#include "CommandEditing.h"
#include "LampColours.h"
#include "PortSettings.h"
#include "Product.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "serial/SerialError.h"

#include <QStringList>

Terminal::Terminal(Clock& clock, Seams seams, ChannelParts one, ChannelParts two, QObject* parent)
    : QObject(parent), Timer1(clock, 100, [this] { Timer1_Timer(); }), m_seams(std::move(seams)) {
    const ChannelParts parts[2] = {one, two};
    for (int i = 0; i < 2; ++i) {
        m_channels[size_t(i)].reset(
            new TerminalChannel{i + 1, parts[i].port, parts[i].view, parts[i].settings});
        TerminalChannel& ch = *m_channels[size_t(i)];
        ch.MSComm.setObjectName(QStringLiteral("MSComm%1").arg(i + 1));
        connect(&ch.view, &ChannelView::settingPicked, this,
                [this, &ch](int field) { Combo_Click(ch, field); });
        connect(&ch.view, &ChannelView::commandChanged, this, [&ch] { Text4_Change(ch); });
        connect(&ch.view, &ChannelView::insertClicked, this, [&ch] { Command8_Click(ch); });
    }
}

Terminal::~Terminal() = default;

void Terminal::openStoredPort(TerminalChannel& ch) {
    QStringList failures;
    const auto step = [&failures](auto&& action) {
        try {
            action();
        } catch (const SerialError& e) {
            failures << e.description();
        }
    };
    step([&] { ch.MSComm.setCommPort(toPortNumber(ch.settings.Port)); });
    step([&] { ch.MSComm.setSettings(ch.settings.SettingsText); });
    step([&] { ch.MSComm.setPortOpen(true); });
    // Port 2's failures show only on its lamp.
    if (ch.number == 1 && !failures.isEmpty())
        m_seams.messageBox(kMessageTitle, failures.join(QLatin1Char('\n')));

    ch.view.setPortLamp(ch.MSComm.PortOpen() ? kGreen : kRed);
    Com_Setting(ch);
    fillSettingFields(ch);
}

void Terminal::Com_Setting(TerminalChannel& ch) {
    PortSettings& p = ch.settings;
    p.Port = QString::number(ch.MSComm.CommPort());
    // The last six characters are always ",p,d,s": the speed is everything before them.
    const QString s = ch.MSComm.Settings();
    const qsizetype l = s.size();
    if (l >= 7) {
        p.Speed = s.left(l - 6);
        p.Parity = s.mid(l - 5, 1);
        p.DataBits = s.mid(l - 3, 1);
        p.StopBits = s.right(1);
    }
    p.Flow = QString::number(ch.MSComm.Handshaking());
}

void Terminal::fillSettingFields(TerminalChannel& ch) {
    const PortSettings& p = ch.settings;
    const QString values[kSettingFieldCount] = {p.Port,     p.Speed,    p.Parity,
                                                p.DataBits, p.StopBits, p.Flow};
    for (int f = 0; f < kSettingFieldCount; ++f) {
        // A value the list does not offer leaves the field as it was; the others are still set.
        if (ch.view.setSettingFieldText(f, values[f]))
            Combo_Click(ch, f);
    }
}

void Terminal::Combo_Click(TerminalChannel& ch, int index) {
    // Picking a setting reconfigures the port; that comes with the port configuration.
    Q_UNUSED(ch);
    Q_UNUSED(index);
}

void Terminal::Timer1_Timer() {
    // The terminal's poll loop runs here.
}
