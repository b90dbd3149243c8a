#pragma once

#include "app/Program.h"
#include "serial/PortControl.h"
#include "serial/SystemDeviceWatch.h"
#include "terminal/Clock.h"
#include "ui/Form1.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The program as main() builds it, in the test's process: the real window, the real serial
// controls on whatever DUPLINK_COM1 and DUPLINK_COM2 name, the clock in real time. Only the
// message boxes and the beep are recorded, and the data folder is a temporary one.
class LiveWindow {
public:
    // The data folder goes under `dataRoot` when given, else under a temporary folder.
    explicit LiveWindow(const QString& dataRoot = {});
    ~LiveWindow();

    // Start-up, as main() runs it, with the window shown.
    void start();

    template <class W> W* find(const QString& objectName) const {
        return form.findChild<W*>(objectName);
    }

    QTemporaryDir ownDataRoot;
    Form1 form;
    PortControl port1;
    PortControl port2;
    SystemDeviceWatch devices;
    Clock clock;
    std::unique_ptr<Program> program;
    QStringList messages;
    int beeps = 0;
};
