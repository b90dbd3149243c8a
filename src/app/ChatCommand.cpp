#include "ChatCommand.h"

#include "DataFolder.h"
#include "PortListing.h"
#include "SettingsFile.h"
#include "TerminationSignals.h"
#include "capture/CaptureSession.h"
#include "capture/RecordingControl.h"
#include "serial/PortControl.h"
#include "serial/PortDevice.h"
#include "serial/PortMap.h"
#include "serial/SerialError.h"
#include "terminal/Clock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QTimer>

#include <cstdio>

namespace {

void writeError(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

int refuse(int code, const QString& why) {
    writeError(QCoreApplication::applicationName().toUtf8() + ": " + why.toUtf8() + '\n');
    return code;
}

// The port number that opens `port`: the number itself, else the number whose device it is,
// else port 1 given that device for this run. 0 when it names no port.
qint16 portNumberFor(const QString& port) {
    bool isNumber = false;
    const int number = port.toInt(&isNumber);
    if (isNumber)
        return number >= kFirstPort && number <= kLastPort ? qint16(number) : 0;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        if (deviceForPort(n) == port)
            return n;
    }
    qputenv("DUPLINK_COM1", port.toLocal8Bit());
    return 1;
}

// The settings and flow control stored for the port number, when one of the two channels has it.
bool storedSettings(qint16 number, QString& settings, qint32& handshaking) {
    const QString dataFolder = dataFolderFromEnvironment();
    const QString file = dataFolder + settingsFileName();
    if (!PathExists(file))
        return false;
    SettingsRecord record;
    LoadSettings(record, file, dataFolder, QDateTime::currentDateTime());
    for (const PortSettings& channel : record.Channel) {
        if (channel.Port.trimmed().toInt() == number) {
            settings = channel.SettingsText;
            handshaking = channel.Flow.toInt();
            return true;
        }
    }
    return false;
}

} // namespace

int runChat(const ChatCommand& command) {
    ChatScriptReading reading;
    if (!command.scriptFile.isEmpty()) {
        if (!command.scriptWords.isEmpty())
            return refuse(chatExit::kBadParameters,
                          QStringLiteral("-f and a script on the command line exclude each other"));
        QFile file(command.scriptFile);
        if (!file.open(QIODevice::ReadOnly))
            return refuse(chatExit::kBadParameters,
                          QStringLiteral("%1 -- open failed: %2")
                              .arg(command.scriptFile, file.errorString()));
        reading = readChatScript(file.readAll());
    } else {
        QList<QByteArray> words;
        for (const QString& word : command.scriptWords)
            words += word.toLocal8Bit();
        reading = chatScriptFromWords(words);
    }
    if (!reading.accepted())
        return refuse(chatExit::kBadParameters, reading.refusal);

    usePortMap(readPortMap(portMapPath()).devices);
    const qint16 number = portNumberFor(command.port);
    if (number == 0)
        return refuse(chatExit::kBadParameters,
                      QStringLiteral("%1 is no port: give a number from %2 to %3, a device or a "
                                     "network address")
                          .arg(command.port)
                          .arg(kFirstPort)
                          .arg(kLastPort));
    QString settings = QStringLiteral("9600,n,8,1");
    qint32 handshaking = comNone;
    storedSettings(number, settings, handshaking);
    if (!command.settings.isEmpty())
        settings = command.settings;

    RecordingControl port(std::make_unique<PortControl>());
    CaptureSession capture;
    try {
        port.setCommPort(number);
        port.setSettings(settings);
        port.setHandshaking(handshaking);
    } catch (const SerialError& error) {
        return refuse(chatExit::kBadParameters, error.description());
    }
    if (!command.captureFile.isEmpty()) {
        capture.start(command.captureFile, {number});
        port.setSession(&capture, 0);
    }
    QEventLoop loop;
    QObject::connect(&capture, &CaptureSession::failed,
                     [&](const QString& file, const QString& reason) {
                         writeError(QStringLiteral("%1: capture %2: %3\n")
                                        .arg(QCoreApplication::applicationName(), file, reason)
                                        .toUtf8());
                     });

    Clock clock;
    ChatRunner runner(clock, reading.script, command.options,
                      ChatLine{[&port](const QByteArray& bytes) { port.writeBytes(bytes); }, {}});
    QObject::connect(&runner, &ChatRunner::said, writeError);
    QObject::connect(&runner, &ChatRunner::echoed, writeError);
    QObject::connect(&runner, &ChatRunner::reported, [](const QByteArray& text) {
        const QString time =
            QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("MMM dd HH:mm:ss "));
        writeError("chat:  " + time.toLatin1() + text + '\n');
    });
    int exitCode = chatExit::kError;
    QString lostReason;
    QObject::connect(&runner, &ChatRunner::finished, [&](int code, const QString& reason) {
        exitCode = code;
        if (command.reasonsOnStderr && !reason.isEmpty() && reason != lostReason)
            writeError(reason.toUtf8() + '\n');
        loop.quit();
    });
    // The port layer's own messages (a connection refused, a device gone) are always told, as
    // the window tells them.
    QObject::connect(&port, &SerialControl::portLost, [&](const QString& reason) {
        lostReason = reason;
        writeError(reason.toUtf8() + '\n');
        runner.lineLost(reason);
    });
    QObject::connect(&port, &SerialControl::portOpened, [&] { runner.start(); });
    // SIGINT, SIGTERM and SIGHUP stop the run (code 2), as they stop chat.
    onTerminationSignals(&runner, [&runner] { runner.stop(); });

    // The runner does not read the port: what arrives is handed to it as it comes.
    QTimer reading10ms;
    QObject::connect(&reading10ms, &QTimer::timeout, [&] {
        if (port.PortOpen()) {
            const QByteArray bytes = port.readBytes();
            if (!bytes.isEmpty())
                runner.received(bytes);
        }
    });
    try {
        port.setDTREnable(true);
        port.setRTSEnable(true);
        port.setPortOpen(true);
    } catch (const SerialError& error) {
        return refuse(chatExit::kError, error.description());
    }
    clock.followRealTime();
    reading10ms.start(10);
    if (port.PortOpen())
        runner.start(); // a network port starts once its connection is up
    if (!runner.isFinished())
        loop.exec();
    reading10ms.stop();

    // The last reply leaves the port before it closes.
    for (int wait = 0; wait < 100 && port.PortOpen() && port.bytesToSend() > 0; ++wait) {
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (port.PortOpen())
        port.setPortOpen(false);
    if (!command.captureFile.isEmpty()) {
        port.setSession(nullptr, 0);
        capture.stop();
    }
    return exitCode;
}
