#pragma once

#include <QtGlobal>

// The values of the terminal's 16-bit flags: each channel's ModemState and SendPending, and the
// program's TransmitMode.
namespace ModemStates {
constexpr qint16 NotAsked = 0;
constexpr qint16 Asked = 1; // "ATI3" sent, the answer not yet read
constexpr qint16 Answered = 2;
} // namespace ModemStates

namespace SendPendings {
constexpr qint16 None = 0;
constexpr qint16 Waiting = 1; // a command waits for the next tick
} // namespace SendPendings

namespace TransmitModes {
constexpr qint16 Off = 0;
constexpr qint16 On = 1;
} // namespace TransmitModes
