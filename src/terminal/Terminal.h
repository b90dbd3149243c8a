#pragma once

#include "Clock.h"
#include "Seams.h"
#include "TerminalChannel.h"

#include <QObject>

#include <array>
#include <memory>

// The two terminal channels and what runs over both of them: opening the stored ports at
// start, the poll loop and the user's actions on a channel. Everything runs on one thread.
class Terminal : public QObject {
    Q_OBJECT
public:
    struct ChannelParts {
        SerialControl& port;
        ChannelView& view;
        PortSettings& settings;
    };
    Terminal(Clock& clock, Seams seams, ChannelParts one, ChannelParts two,
             QObject* parent = nullptr);
    ~Terminal() override;

    TerminalChannel& channel(int index) { return *m_channels[size_t(index)]; } // 0 or 1

    // Start-up: the stored port number and settings written to the control, the port opened,
    // its lamp coloured, the settings in force read back and shown in the six fields. Each
    // step that fails is skipped; for Terminal 1 the failures are shown in one message.
    void openStoredPort(TerminalChannel& ch);

    // The poll loop runs from now on.
    void startPolling() { Timer1.setEnabled(true); }

    Timer Timer1; // the poll loop, every 100 ms
    qint16 TransmitMode = 0;

private:
    void Timer1_Timer();
    void Combo_Click(TerminalChannel& ch, int index);
    void Com_Setting(TerminalChannel& ch);
    void fillSettingFields(TerminalChannel& ch);

    Seams m_seams;
    std::array<std::unique_ptr<TerminalChannel>, 2> m_channels;
};
