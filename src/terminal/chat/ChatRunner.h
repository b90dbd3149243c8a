#pragma once

#include "ChatEscapes.h"
#include "ChatScript.h"
#include "terminal/Clock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The exit codes of a chat run.
namespace chatExit {
constexpr int kSuccess = 0;
constexpr int kBadParameters = 1; // also a reply that could not be written in time
constexpr int kError = 2;         // the run was stopped, the port lost, too many strings
constexpr int kTimeout = 3;
constexpr int kFirstAbort = 4; // 4 for the first ABORT string matched, 5 for the second...
} // namespace chatExit

// How a run starts (the command line's -t, -e, -T and -U).
struct ChatOptions {
    // Seconds an expect waits, and a reply may take, until TIMEOUT changes it; 0 or less waits
    // for ever.
    int timeoutSeconds = 45;
    // Echo what arrives while expecting (ECHO ON / OFF changes it).
    bool echo = false;
    chat::PhoneNumbers phoneNumbers;
};

// Where a run's replies go. `sendBreak` may be left empty: \K and BREAK then send nothing.
struct ChatLine {
    std::function<void(const QByteArray& bytes)> write;
    std::function<void()> sendBreak;
};

// Runs an accepted chat script on a line it does not read itself: the owner passes on what
// arrives (received), and the runner writes its replies through ChatLine, one byte every 10 ms
// (\d waits a second, \p 10 ms), all its waits on Timers of the Clock.
//
// An expect waits for its string in what arrives from the moment it starts; bytes arriving
// before that (while a reply is typed, say) wait for it. Bytes are compared with their top bit
// cleared. A sub-expect (expect-reply-expect...) sends its reply when the expect before it times
// out. A run ends with chatExit's codes: 0 when the script is done, 3 when an expect timed out
// with no sub-expect left, 4 and up for the n-th ABORT string seen, 1 for an expect longer than
// 1024 bytes or a reply not written within the timeout, 2 when stopped, when the port is lost
// (after HANGUP OFF a lost port makes expects fail as timed out instead, and a reply fail as not
// written), or past 50 ABORT or REPORT strings.
//
// Signals may come from inside start(), received(), lineLost() and stop(); a handler of
// `finished` that wants the runner gone uses deleteLater.
class ChatRunner : public QObject {
    Q_OBJECT
public:
    ChatRunner(Clock& clock, ChatScript script, ChatOptions options, ChatLine line,
               QObject* parent = nullptr);
    ~ChatRunner() override;

    // Begins the script; does nothing once started.
    void start();
    // Bytes the line received, in order.
    void received(const QByteArray& bytes);
    // The port is gone (closed by itself); `reason` says why.
    void lineLost(const QString& reason);
    // Ends the run at once with code 2, sending nothing more.
    void stop();

    bool isRunning() const;
    bool isFinished() const { return m_phase == Phase::Finished; }
    // The exit code, once finished.
    int exitCode() const { return m_exitCode; }

signals:
    // A SAY string, as it is to be written to the standard error (escapes resolved as for a
    // reply, so it ends in a carriage return unless it ends in \c).
    void said(const QByteArray& text);
    // A REPORT string seen and what followed it up to a control character (or the end of the
    // run), without the "chat:  " and time a terminal prints before it.
    void reported(const QByteArray& text);
    // With ECHO on: what arrived while expecting, control characters as ^X, a line feed as a
    // new line, carriage returns left out.
    void echoed(const QByteArray& text);
    // Bytes just written to the line.
    void sent(const QByteArray& bytes);
    // The run ended; `reason` says why when it failed ("Failed (BUSY)", "Failed", ...).
    void finished(int exitCode, const QString& reason);

private:
    enum class Phase { Ready, Stepping, Expecting, Sending, Gathering, Finished };

    void run();
    void applyKeyword(const QByteArray& keyword, const QByteArray& argument);
    void beginExpect(const QByteArray& word);
    void nextExpect();
    void waitFor(const QByteArray& token);
    void readInput();
    void readByte(char c);
    void expectFailed(int code, const QByteArray& abortString);
    void expectMet();
    void beginReply(QByteArray word);
    void typeNext();
    void setAlarm(int seconds);
    void alarmRang();
    void echo(char c);
    void end(int code, const QString& reason, bool gatherReport = true);
    void gatherByte(char c);
    void complete();
    std::optional<QByteArray> nextToken();

    ChatScript m_script;
    ChatOptions m_options;
    ChatLine m_line;
    Phase m_phase = Phase::Ready;
    qsizetype m_next = 0; // the next word of the script
    int m_timeout;
    bool m_echo;
    bool m_hangupEnds = true;
    bool m_lineLost = false;
    QByteArray m_input; // received; read from m_inputAt on
    qsizetype m_inputAt = 0;
    QList<QByteArray> m_aborts;
    std::vector<std::optional<QByteArray>> m_reports; // a report seen is used up
    bool m_gathering = false;
    QByteArray m_reportText;
    bool m_echoMidLine = false;

    // The expect under way: its word split at dashes, the reply for a timeout, what was read.
    bool m_inExpect = false;
    QByteArray m_expectWord;
    qsizetype m_tokenAt = 0;
    std::optional<QByteArray> m_timeoutReply;
    QByteArray m_expected;
    QByteArray m_seen;

    // The reply under way.
    QByteArray m_reply;
    qsizetype m_replyAt = 0;
    std::optional<char> m_typing; // the byte the typing delay is for

    int m_alarmLeft = 0;
    bool m_alarmed = false;
    int m_exitCode = -1;
    QString m_reason;
    Timer m_alarm;
    Timer m_typingDelay;
    Timer m_secondDelay;
};
