#pragma once

#include "SettingsRecord.h"

struct ChannelControls;
class SerialControl;

// One terminal channel: its serial control, its controls, its stored port settings and the
// flags the terminal keeps for it.
struct TerminalChannel {
    int number = 1; // 1 or 2
    SerialControl* MSComm = nullptr;
    ChannelControls* ui = nullptr;
    PortSettings* settings = nullptr;
    qint16 ModemState = 0;  // 0 not asked, 1 "ATI3" sent, 2 answer read
    qint16 SendPending = 0; // 1 while a command waits for the next tick
};
