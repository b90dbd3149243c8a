#pragma once

#include "Millis.h"

#include <string>

enum class LineKind {
    Modem,  // a modem with command mode
    Mute,   // reads everything, answers nothing
    Raw,    // no command mode: bytes only
    Device, // the other side of a modem: once spoken to, it checks on its modem with AT
};

struct LineOptions {
    LineKind kind = LineKind::Modem;
    Millis replyDelay = 0;  // how long each command line takes to carry out
    std::string recordFile; // every byte the client writes is appended here, when named
};
