#pragma once

#include "Clock.h"
#include "CommandHistory.h"
#include "FlagValues.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>

class ChannelView;
class SerialControl;
struct PortSettings;

// One terminal channel: its serial control, what the window shows of it, its stored port
// settings and the state the terminal keeps for it.
struct TerminalChannel {
    TerminalChannel(int number, SerialControl& port, ChannelView& view, PortSettings& settings,
                    Clock& clock, std::function<void()> apply)
        : number(number), MSComm(port), view(view), settings(settings),
          applyTimer(clock, 100, std::move(apply)) {}

    const int number; // 1 or 2
    SerialControl& MSComm;
    ChannelView& view;
    PortSettings& settings;
    Timer applyTimer; // Timer2 / Timer3: applies the setting fields once, after a pick
    qint16 ModemState = ModemStates::NotAsked;
    qint16 SendPending = SendPendings::None;
    // The codes of the last three line events, oldest first, and the three joined.
    std::array<QString, 4> LineEventHistory;
    // Why the port is closed, when it is: the last failure to open it, or its loss.
    QString portProblem;
    CommandHistory history; // the commands sent with "Run"
    // The code box's text the information line was last made from.
    std::optional<QString> infoLineMadeFrom;
    // What the port still had to send once the transmit relay last handed it bytes.
    qint64 relayPending = 0;
};
