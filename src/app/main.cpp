#include "Program.h"
#include "TerminationSignals.h"
#include "serial/QtSerialControl.h"
#include "ui/Form1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Duplink"));
    QApplication::setDesktopFileName(QStringLiteral("duplink"));

    Form1 form;
    QApplication::setWindowIcon(form.windowIcon());
    QtSerialControl port1;
    QtSerialControl port2;
    Program program(form, port1, port2, desktopSeams(&form));
    closeOnTerminationSignals(&form);

    program.Form_Load();
    form.show();
    return QApplication::exec();
}
