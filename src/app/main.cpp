#include "CommandLine.h"
#include "WholeProgram.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const std::optional<int> status = runCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    WholeProgram duplink;
    if (!duplink.start())
        return 0;
    return QApplication::exec();
}
