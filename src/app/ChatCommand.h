#pragma once

#include "terminal/chat/ChatRunner.h"

#include <QString>
#include <QStringList>

// `duplink --chat PORT ...`: a chat script run on one port with no window, as the command line
// gave it.
struct ChatCommand {
    QString port;        // a port number, a device path or a network address
    QString settings;    // "115200,n,8,1"; empty for the stored settings of that port
    QString captureFile; // empty for no capture
    QString scriptFile;  // -f
    QStringList scriptWords;
    ChatOptions options;
    bool reasonsOnStderr = false; // -s: why a run failed, on the standard error
};

// Opens the port through the same port layer as the window, runs the script, prints what SAY,
// REPORT and ECHO say on the standard error and gives the exit code (chatExit's; 1 for a script
// or settings refused, 2 for a port that cannot be opened).
int runChat(const ChatCommand& command);
