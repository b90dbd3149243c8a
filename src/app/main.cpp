#include "CommandLine.h"
#include "DesktopSeams.h"
#include "Program.h"
#include "TerminationSignals.h"
#include "serial/PortControl.h"
#include "serial/SystemDeviceWatch.h"
#include "terminal/Clock.h"
#include "ui/Form1.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const std::optional<int> status = runCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Duplink"));
    QApplication::setDesktopFileName(QStringLiteral("duplink"));

    Form1 form;
    QApplication::setWindowIcon(form.windowIcon());
    PortControl port1;
    PortControl port2;
    Clock clock;
    SystemDeviceWatch devices;
    Program program(form, port1, port2, devices, clock, desktopSeams(&form));
    closeOnTerminationSignals(&form);

    program.Form_Load();
    // A signal came during a start-up message: shut down without showing the window.
    if (terminationRequested()) {
        form.close();
        return 0;
    }
    clock.followRealTime();
    form.show();
    return QApplication::exec();
}
