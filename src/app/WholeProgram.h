#pragma once

#include "Program.h"
#include "capture/RecordingControl.h"
#include "serial/PortControl.h"
#include "serial/SystemDeviceWatch.h"
#include "terminal/CaptureSwitch.h"
#include "terminal/Clock.h"
#include "ui/Form1.h"

#include <optional>

// The program as it runs: the window, a serial control for each port (recorded while capture
// is on), the system's device events, the clock in real time, the capture and the program behind
// the window, wired together. main builds it once; tests and benchmarks build it the same way,
// with their own seams.
class WholeProgram {
public:
    // Without seams, the desktop's are used. `captureAtStart` turns capture on at start-up.
    explicit WholeProgram(std::optional<Seams> seams = std::nullopt, bool captureAtStart = false);

    // Start-up, then the clock in real time and the window shown. False when a termination
    // signal came during a start-up message: the window is then closed and never shown.
    bool start();

    Form1 form;
    RecordingControl recorded1;
    RecordingControl recorded2;
    PortControl& port1; // what recorded1 passes everything to
    PortControl& port2;
    SystemDeviceWatch devices;
    Clock clock;
    CaptureSwitch capture;
    Program program;
};
