#include "WholeProgram.h"

#include "DesktopSeams.h"
#include "TerminationSignals.h"

#include <QApplication>

WholeProgram::WholeProgram(std::optional<Seams> seams)
    : program(form, port1, port2, devices, clock, seams ? *seams : desktopSeams(&form)) {
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
