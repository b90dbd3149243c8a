#include "CommandLine.h"

#include "ChatCommand.h"
#include "PortListing.h"
#include "capture/CaptureCsv.h"
#include "capture/CapturePrinter.h"
#include "terminal/Product.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

void writeLine(const QString& line, const char* end) {
    const QByteArray text = line.toUtf8() + end;
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}

// Prints the capture to the standard output, as text or as CSV; 0 when the whole file was read,
// else 1 with the reason on the standard error after all that could be read.
int printCapture(const QString& fileName, bool hex, bool csv) {
    CaptureReader reader(fileName);
    CapturePrinter printer(hex);
    CaptureRecord record;
    if (csv)
        writeLine(CaptureCsv::header(), "\r\n");
    while (reader.next(record)) {
        if (csv) {
            writeLine(CaptureCsv::line(record), "\r\n");
            continue;
        }
        for (const QString& line : printer.linesOf(record))
            writeLine(line, "\n");
    }
    std::fflush(stdout);
    if (reader.problem().isEmpty())
        return 0;
    std::fprintf(stderr, "%s: %s %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(fileName), qPrintable(reader.problem()));
    return 1;
}

bool asksForChat(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("--chat") || argument.startsWith(QLatin1String("--chat=")))
            return true;
    }
    return false;
}

// --chat PORT [-t SECONDS] [-e] [-s] [-T NUMBER] [-U NUMBER] [--settings S] [--capture FILE]
// [-f FILE | SCRIPT...]: the options before the script, whose words may begin with a dash.
int chatCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption chat(QStringLiteral("chat"), {}, QStringLiteral("port"));
    const QCommandLineOption timeout(QStringLiteral("t"), {}, QStringLiteral("seconds"));
    const QCommandLineOption file(QStringLiteral("f"), {}, QStringLiteral("file"));
    const QCommandLineOption echo(QStringLiteral("e"));
    const QCommandLineOption reasons(QStringLiteral("s"));
    const QCommandLineOption phone(QStringLiteral("T"), {}, QStringLiteral("number"));
    const QCommandLineOption phone2(QStringLiteral("U"), {}, QStringLiteral("number"));
    const QCommandLineOption settings(QStringLiteral("settings"), {}, QStringLiteral("settings"));
    const QCommandLineOption capture(QStringLiteral("capture"), {}, QStringLiteral("file"));
    parser.addOptions({chat, timeout, file, echo, reasons, phone, phone2, settings, capture});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(parser.errorText()));
        return chatExit::kBadParameters;
    }
    ChatCommand command;
    command.port = parser.value(chat);
    command.settings = parser.value(settings);
    command.captureFile = parser.value(capture);
    command.scriptFile = parser.value(file);
    command.scriptWords = parser.positionalArguments();
    if (parser.isSet(timeout))
        command.options.timeoutSeconds = chat::leadingNumber(parser.value(timeout).toLocal8Bit());
    command.options.echo = parser.isSet(echo);
    if (parser.isSet(phone))
        command.options.phoneNumbers.first = parser.value(phone).toLocal8Bit();
    if (parser.isSet(phone2))
        command.options.phoneNumbers.second = parser.value(phone2).toLocal8Bit();
    command.reasonsOnStderr = parser.isSet(reasons);
    return runChat(command);
}

} // namespace

std::optional<int> runCommandLine(int argc, char** argv, StartOptions& start) {
    if (argc <= 1)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kProductName);
    QCoreApplication::setApplicationVersion(kProductVersion);
    if (asksForChat(QCoreApplication::arguments()))
        return chatCommandLine(QCoreApplication::arguments());
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
                       "control lines that changed, the event or a remark."));
    parser.addOption(print);
    // The file stands on its own rather than as the option's value, so that --hex and --csv may
    // come between.
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The capture file for --print."),
                                 QStringLiteral("[file]"));
    const QCommandLineOption hex(QStringLiteral("hex"),
                                 QStringLiteral("With --print: the bytes in hex."));
    parser.addOption(hex);
    const QCommandLineOption csv(
        QStringLiteral("csv"),
        QStringLiteral("With --print: the capture as CSV for spreadsheets, one entry a line: "
                       "time,port,direction,event,text,hex."));
    parser.addOption(csv);
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
    const QCommandLineOption chat(
        QStringLiteral("chat"),
        QStringLiteral(
            "Run a chat script on <port> (a number, a device or a network address) with no "
            "window, then end with the script's exit code: 0 done, 1 bad parameters, 2 an error, "
            "3 a timeout, 4 and up the ABORT string seen. After it: [-t <seconds>] [-e] [-s] "
            "[-T <number>] [-U <number>] [--settings <speed,parity,data,stop>] "
            "[--capture <file>] then -f <file> or the script's words. SAY and REPORT go to the "
            "standard error."),
        QStringLiteral("port"));
    parser.addOption(chat);
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Start on simulated lines: ports 1 and 2 on two simulated modems at "
                       "telephone numbers 1 and 2, port 3 on a simulated device that uses a "
                       "modem, with settings of the demo's own."));
    parser.addOption(demo);
    parser.process(app); // --help, --version and mistakes end here
    if (parser.isSet(listPorts)) {
        std::fputs(qPrintable(portListing()), stdout);
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    if (parser.isSet(print) && files.size() != 1) {
        std::fprintf(stderr, "%s: --print takes one capture file.\n",
                     qPrintable(QCoreApplication::applicationName()));
        return 1;
    }
    if (parser.isSet(print))
        return printCapture(files.first(), parser.isSet(hex), parser.isSet(csv));
    for (const QCommandLineOption* withPrint : {&hex, &csv}) {
        if (parser.isSet(*withPrint)) {
            std::fprintf(stderr, "%s: --%s goes with --print.\n",
                         qPrintable(QCoreApplication::applicationName()),
                         qPrintable(withPrint->names().first()));
            return 1;
        }
    }
    if (!files.isEmpty()) {
        // A file given alone would open the window as if it had been read.
        std::fprintf(stderr, "%s: %s: only --print and --timeline take a file.\n",
                     qPrintable(QCoreApplication::applicationName()), qPrintable(files.first()));
        return 1;
    }
    start.capture = parser.isSet(capture);
    start.timeline = parser.value(timeline);
    start.demo = parser.isSet(demo);
    return std::nullopt;
}
