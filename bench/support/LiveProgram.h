#pragma once

#include "app/Program.h"
#include "serial/PortControl.h"
#include "serial/SystemDeviceWatch.h"
#include "terminal/Clock.h"
#include "ui/Form1.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class LogView;
class PtyLink;

// The program as main() builds it, in the benchmark's process: the real window, the real serial
// controls on the two ptys' slaves, the clock in real time. Message boxes are recorded rather
// than shown, and the data folder is a temporary one.
class LiveProgram {
public:
    LiveProgram(PtyLink& port1Device, PtyLink& port2Device);
    ~LiveProgram();

    // Start-up as main() runs it, with the window shown and exposed.
    void start();
    // Runs the event loop until both channels are past asking their modem who it is, and
    // throws away what they asked. False when that did not happen in time.
    bool waitPastIdentification(PtyLink& port1Device, PtyLink& port2Device);

    template <class W> W* find(const QString& objectName) const {
        return form.findChild<W*>(objectName);
    }
    LogView* log(int channel) const; // 0 or 1
    TerminalChannel& channel(int index) { return program->terminal().channel(index); }

    QTemporaryDir dataRoot;
    Form1 form;
    PortControl port1;
    PortControl port2;
    SystemDeviceWatch devices;
    Clock clock;
    std::unique_ptr<Program> program;
    QStringList messages;
};

// Runs the event loop for `ms` milliseconds.
void runEventLoopFor(int ms);
