#pragma once

#include "ChannelScript.h"
#include "Clock.h"
#include "Seams.h"
#include "TerminalChannel.h"

#include <QObject>

#include <array>
#include <memory>

class DeviceWatch;
class TransmitView;

// The two terminal channels and what runs over both of them: opening the stored ports at
// start, port configuration and line status, the poll loop and the user's actions on a
// channel. Everything runs on one thread. A routine that exists once per channel is
// written once, takes the channel and keeps the name of Terminal 1's twin.
class Terminal : public QObject {
    Q_OBJECT
public:
    struct ChannelParts {
        SerialControl& port;
        ChannelView& view;
        PortSettings& settings;
    };
    Terminal(Clock& clock, Seams seams, ChannelParts one, ChannelParts two, TransmitView& transmit,
             DeviceWatch& devices, QObject* parent = nullptr);
    ~Terminal() override;

    TerminalChannel& channel(int index) { return *m_channels[size_t(index)]; } // 0 or 1

    // Start-up: the stored port number and settings written to the control, the port opened,
    // its lamp coloured, the settings in force read back and shown in the six fields (which
    // counts as a pick, so the fields are applied once, 100 ms later). Each step that fails is
    // skipped; for Terminal 1 the failures are shown in one message.
    void openStoredPort(TerminalChannel& ch);

    // The poll loop runs from now on.
    void startPolling() { Timer1.setEnabled(true); }

    // Redraws the channel's lamps, its RTS box and its port summary from the control.
    void COM_Events(TerminalChannel& ch);

    // The transmit switch: on, and off (which hands the four RTS and DTR lines back to their
    // boxes).
    void Command5_Click();
    void Command2_Click();

    Timer Timer1; // the poll loop, every 100 ms
    qint16 TransmitMode = TransmitModes::Off;

signals:
    // The transmit switch was pressed: before the relay starts, or before the lines go back.
    void transmitModeChanged(bool on);
    // A channel's command history gained a command.
    void commandHistoryChanged();

private:
    // "Run", the command joining the channel's history.
    void run(TerminalChannel& ch);
    // The poll loop.
    void Timer1_Timer();
    // Asks the channel's modem who it is, or reads its answer; true when that ends the tick.
    bool identify(TerminalChannel& ch);
    // Transmit mode: the lines of both ports, then the relay between them and its logging.
    void transmit();
    void logRelayed(TerminalChannel& from, const QByteArray& data);
    // The channel's control closed its port because the device went away.
    void portLost(TerminalChannel& ch);
    // Normal mode: what the channel's port received into its log, then its pending send.
    void receiveAndSend(TerminalChannel& ch);
    // What the port received: to its log, and to the script running on it.
    void received(TerminalChannel& ch, const QByteArray& bytes);
    ChannelScript& script(const TerminalChannel& ch) { return *m_scripts[size_t(ch.number - 1)]; }
    // Port configuration.
    void Combo1_Click(TerminalChannel& ch, int index);
    void Timer2_Timer(TerminalChannel& ch);
    void Check1_Click(TerminalChannel& ch); // RTS
    void Check2_Click(TerminalChannel& ch); // DTR
    void Com_Setting(TerminalChannel& ch);
    void fillSettingFields(TerminalChannel& ch);
    void showPortOpen(TerminalChannel& ch);
    // Opens the channel's port, keeping what went wrong for the port's details.
    void openPort(TerminalChannel& ch);
    // Line status.
    void MSComm1_OnComm(TerminalChannel& ch);
    // Devices coming back: a closed port whose device is there again opens by itself, unless
    // the user's pick is about to apply the fields.
    void lookForDevices();
    void reopenWhenBack(TerminalChannel& ch);
    void portCameBack(TerminalChannel& ch);
    void showPortDetails();

    Seams m_seams;
    TransmitView& m_transmit;
    DeviceWatch& m_devices;
    std::array<std::unique_ptr<TerminalChannel>, 2> m_channels;
    std::array<std::unique_ptr<ChannelScript>, 2> m_scripts;
};
