#pragma once

#include "Clock.h"
#include "Seams.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class ChatRunner;
struct TerminalChannel;

// A chat script run on one channel's port from the window. What the poll loop reads from the port
// still goes to the log, and on to the script; what the script sends is echoed as "Run" echoes a
// command, each reply once it has been typed (what arrives meanwhile is logged after the echo);
// SAY, REPORT and the outcome come as "PROG: " lines. One script at a time per channel.
class ChannelScript : public QObject {
    Q_OBJECT
public:
    ChannelScript(TerminalChannel& ch, Clock& clock, const Seams& seams, QObject* parent = nullptr);
    ~ChannelScript() override;

    // "Run script...": asks for the file and runs it. Refused, with a message and running
    // nothing, in transmit mode, while the port is closed or a script runs, and for a file that
    // cannot be read or is not an acceptable script.
    void chooseAndRun(bool transmitting);
    bool isRunning() const;

    // What the port received, in the log's form and as bytes for the script.
    void received(const QByteArray& logged, const QByteArray& bytes);
    // The port closed under the script, which ends (code 2 unless it turned HANGUP off).
    void portClosed(const QString& reason);
    // Ends the script at once with code 2; nothing more is sent.
    void stop();

private:
    QString refusal(bool transmitting) const;
    // Starts the script the file holds, or says why not.
    QString run(const QString& path);
    void sent(const QByteArray& bytes);
    void showSent();
    void finished(int exitCode, const QString& reason);
    void logLine(const QByteArray& text);

    TerminalChannel& m_ch;
    Clock& m_clock;
    const Seams& m_seams;
    QByteArray m_name; // the script file's name, as the log shows it
    std::unique_ptr<ChatRunner> m_runner;
    QByteArray m_unshown; // sent, its echo not yet in the log
    QByteArray m_held;    // received while a reply was being typed
    // A reply is typed a byte every 10 ms: a pause this long ends its echo.
    Timer m_replyTyped;
};
