#include "WholeProgram.h"

#include "DesktopSeams.h"
#include "TerminationSignals.h"

#include <QApplication>

WholeProgram::WholeProgram(std::optional<Seams> seams, bool captureAtStart)
    : recorded1(std::make_unique<PortControl>()), recorded2(std::make_unique<PortControl>()),
      port1(static_cast<PortControl&>(recorded1.inner())),
      port2(static_cast<PortControl&>(recorded2.inner())),
      capture(clock, seams ? *seams : desktopSeams(&form), {&recorded1, &recorded2}),
      program(form, recorded1, recorded2, devices, clock, seams ? *seams : desktopSeams(&form)) {
    program.useCapture(capture, captureAtStart);
    QApplication::setApplicationName(QStringLiteral("Duplink"));
    QApplication::setDesktopFileName(QStringLiteral("duplink"));
    QApplication::setWindowIcon(form.windowIcon());
    closeOnTerminationSignals(&form);
}

bool WholeProgram::start() {
    program.Form_Load();
    if (terminationRequested()) {
        form.close();
        return false;
    }
    clock.followRealTime();
    form.show();
    return true;
}
