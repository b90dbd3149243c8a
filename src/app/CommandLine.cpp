#include "CommandLine.h"

#include "PortListing.h"
#include "terminal/Product.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

std::optional<int> runCommandLine(int argc, char** argv) {
    if (argc <= 1)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kProductName);
    QCoreApplication::setApplicationVersion(kProductVersion);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A terminal for two serial ports at once, for talking to modems with AT commands."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("Show the device each port number opens, and the serial devices no "
                       "number opens, then end."));
    parser.addOption(listPorts);
    parser.process(app); // --help, --version and mistakes end here
    if (parser.isSet(listPorts)) {
        std::fputs(qPrintable(portListing()), stdout);
        return 0;
    }
    return std::nullopt;
}
