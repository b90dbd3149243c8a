#pragma once

#include "app/WholeProgram.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class LogView;
class PtyPair;
struct TerminalChannel;

// The whole program, built as main() builds it, in the test's or benchmark's process: the real
// window, the real serial controls on whatever DUPLINK_COM1 and DUPLINK_COM2 name, the clock in
// real time. Only the message boxes and the beep are recorded, and the data folder is a
// temporary one.
class LiveWindow {
public:
    // The data folder goes under `dataRoot` when given, else under a temporary folder.
    explicit LiveWindow(const QString& dataRoot = {}, bool captureAtStart = false);
    // Ports 1 and 2 on the two ptys' slaves.
    LiveWindow(PtyPair& port1Device, PtyPair& port2Device);
    ~LiveWindow();

    // Start-up, as main() runs it, with the window shown and exposed.
    void start();
    // Runs the event loop until both channels are past asking their modem who it is, and
    // throws away what they asked. False when that did not happen in time.
    bool waitPastIdentification(PtyPair& port1Device, PtyPair& port2Device);

    template <class W> W* find(const QString& objectName) const {
        return form.findChild<W*>(objectName);
    }
    LogView* log(int channel) const; // 0 or 1
    QString caption(int channel) const;
    int lamp(const char* objectName) const; // its fill colour
    // Types a command into a channel's command box and presses "Run".
    void run(int channel, const QString& command);
    TerminalChannel& channel(int index);

    QTemporaryDir ownDataRoot;
    QStringList messages;
    int beeps = 0;
    QString openFileAnswer; // what the open-file chooser answers

private:
    std::unique_ptr<WholeProgram> m_whole;

public:
    Form1& form;
    PortControl& port1;
    PortControl& port2;
    Clock& clock;
    CaptureSwitch& capture;
    Program* const program;
};

// Runs the event loop for `ms` milliseconds.
void runEventLoopFor(int ms);
