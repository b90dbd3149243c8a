#include "CommandLine.h"

#include "PortListing.h"
#include "capture/CapturePrinter.h"
#include "terminal/Product.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// Prints the capture to the standard output; 0 when the whole file was read, else 1 with the
// reason on the standard error after all that could be read.
int printCapture(const QString& fileName, bool hex) {
    CaptureReader reader(fileName);
    CapturePrinter printer(hex);
    CaptureRecord record;
    while (reader.next(record)) {
        for (const QString& line : printer.linesOf(record)) {
            const QByteArray text = line.toUtf8() + '\n';
            std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        }
    }
    std::fflush(stdout);
    if (reader.problem().isEmpty())
        return 0;
    std::fprintf(stderr, "%s: %s %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(fileName), qPrintable(reader.problem()));
    return 1;
}

} // namespace

std::optional<int> runCommandLine(int argc, char** argv, StartOptions& start) {
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
    const QCommandLineOption print(
        QStringLiteral("print"),
        QStringLiteral("Print the capture in <file> as text, one entry a line, then end: the "
                       "time, the port, < for bytes received, > for bytes sent and * for "
                       "anything else, then the bytes with control characters escaped, the "
                       "control lines that changed, the event or a remark."),
        QStringLiteral("file"));
    parser.addOption(print);
    const QCommandLineOption hex(QStringLiteral("hex"),
                                 QStringLiteral("With --print: the bytes in hex."));
    parser.addOption(hex);
    const QCommandLineOption capture(
        QStringLiteral("capture"),
        QStringLiteral("Start with capture on: everything both ports send and receive, and every "
                       "change of their lines, goes into a pcapng file under the results folder, "
                       "<folder>/<year>/<month>/Duplink <date> <time>.pcapng."));
    parser.addOption(capture);
    const QCommandLineOption timeline(
        QStringLiteral("timeline"),
        QStringLiteral("Show the capture in <file> in the timeline window alone, opening no port."),
        QStringLiteral("file"));
    parser.addOption(timeline);
    parser.process(app); // --help, --version and mistakes end here
    if (parser.isSet(listPorts)) {
        std::fputs(qPrintable(portListing()), stdout);
        return 0;
    }
    if (parser.isSet(print))
        return printCapture(parser.value(print), parser.isSet(hex));
    if (parser.isSet(hex)) {
        std::fprintf(stderr, "%s: --hex goes with --print.\n",
                     qPrintable(QCoreApplication::applicationName()));
        return 1;
    }
    start.capture = parser.isSet(capture);
    start.timeline = parser.value(timeline);
    return std::nullopt;
}
