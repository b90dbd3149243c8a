#pragma once

#include <QtGlobal>

class ChannelView;
class SerialControl;
struct PortSettings;

// One terminal channel: its serial control, what the window shows of it, its stored port
// settings and the state the terminal keeps for it.
struct TerminalChannel {
    const int number; // 1 or 2
    SerialControl& MSComm;
    ChannelView& view;
    PortSettings& settings;
    qint16 ModemState = 0;  // 0 not asked, 1 "ATI3" sent, 2 answer read
    qint16 SendPending = 0; // 1 while a command waits for the next tick
};
