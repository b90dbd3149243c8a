#include "ChatRunner.h"

#include <QFile>

#include <algorithm>

namespace {

constexpr int kDefaultTimeout = 45;
constexpr int kMaxStrings = 50;     // ABORT strings, and REPORT strings
constexpr int kSeenLength = 1024;   // what an expect keeps of what it read
constexpr int kReportLength = 4079; // a report line, less its time
constexpr qsizetype kFileReply = 1023;

bool isControl(char c) {
    return uchar(c) < 0x20 || c == 0x7F;
}

QByteArray upToNul(const QByteArray& bytes) {
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

} // namespace

ChatRunner::ChatRunner(Clock& clock, ChatScript script, ChatOptions options, ChatLine line,
                       QObject* parent)
    : QObject(parent), m_script(std::move(script)), m_options(std::move(options)),
      m_line(std::move(line)), m_timeout(m_options.timeoutSeconds), m_echo(m_options.echo),
      m_alarm(clock, 1000,
              [this] {
                  if (--m_alarmLeft > 0)
                      return;
                  m_alarm.setEnabled(false);
                  m_alarmed = true;
                  alarmRang();
                  run();
              }),
      m_typingDelay(clock, 10,
                    [this] {
                        m_typingDelay.setEnabled(false);
                        if (m_typing) {
                            const QByteArray byte(1, *m_typing);
                            m_typing.reset();
                            if (m_line.write)
                                m_line.write(byte);
                            emit sent(byte);
                        }
                        typeNext();
                        run();
                    }),
      m_secondDelay(clock, 1000, [this] {
          m_secondDelay.setEnabled(false);
          typeNext();
          run();
      }) {}

ChatRunner::~ChatRunner() = default;

bool ChatRunner::isRunning() const {
    return m_phase != Phase::Ready && m_phase != Phase::Finished;
}

void ChatRunner::start() {
    if (m_phase != Phase::Ready)
        return;
    m_phase = Phase::Stepping;
    run();
}

void ChatRunner::received(const QByteArray& bytes) {
    if (m_phase == Phase::Finished || bytes.isEmpty())
        return;
    m_input += bytes;
    readInput();
    run();
}

void ChatRunner::lineLost(const QString& reason) {
    if (m_phase == Phase::Finished || m_lineLost)
        return;
    m_lineLost = true;
    if (m_hangupEnds || m_phase == Phase::Ready) {
        end(chatExit::kError, reason, false);
        return;
    }
    // As a read that finds the line hung up: what was received is still read, then an expect
    // fails.
    readInput();
    if (m_phase == Phase::Expecting)
        expectFailed(chatExit::kTimeout, {});
    else if (m_phase == Phase::Gathering)
        complete();
    run();
}

void ChatRunner::stop() {
    if (m_phase != Phase::Finished)
        end(chatExit::kError, QStringLiteral("stopped"), false);
}

// Takes the script's steps that need no waiting, until one waits or the run ends.
void ChatRunner::run() {
    while (m_phase == Phase::Stepping) {
        if (m_inExpect) {
            nextExpect();
            continue;
        }
        const QList<QByteArray>& words = m_script.words;
        if (m_next >= words.size()) {
            end(chatExit::kSuccess, {});
            break;
        }
        const QByteArray& word = words[m_next++];
        if (isChatKeyword(word)) {
            if (m_next < words.size())
                applyKeyword(word, words[m_next++]);
            continue;
        }
        beginExpect(word);
    }
}

void ChatRunner::applyKeyword(const QByteArray& keyword, const QByteArray& argument) {
    if (keyword == "SAY") {
        emit said(upToNul(chat::sendText(argument, m_options.phoneNumbers)));
    } else if (keyword == "HANGUP") {
        m_hangupEnds = argument != "OFF";
    } else if (keyword == "ECHO") {
        m_echo = argument == "ON";
    } else if (keyword == "ABORT") {
        if (m_aborts.size() >= kMaxStrings)
            end(chatExit::kError, QStringLiteral("Too many ABORT strings"), false);
        else
            m_aborts += chat::expectText(argument);
    } else if (keyword == "CLR_ABORT") {
        m_aborts.removeAll(chat::expectText(argument));
    } else if (keyword == "REPORT") {
        if (m_reports.size() >= kMaxStrings)
            end(chatExit::kError, QStringLiteral("Too many REPORT strings"), false);
        else
            m_reports.push_back(chat::expectText(argument));
    } else if (keyword == "CLR_REPORT") {
        const QByteArray cleared = chat::expectText(argument);
        m_reports.erase(
            std::remove(m_reports.begin(), m_reports.end(), std::optional<QByteArray>(cleared)),
            m_reports.end());
    } else if (keyword == "TIMEOUT") {
        m_timeout = chat::leadingNumber(chat::expectText(argument));
        if (m_timeout <= 0)
            m_timeout = kDefaultTimeout;
    }
}

void ChatRunner::beginExpect(const QByteArray& word) {
    m_inExpect = true;
    m_expectWord = word;
    m_tokenAt = 0;
}

// The next piece of the expect word, split at dashes that no backslash escapes.
std::optional<QByteArray> ChatRunner::nextToken() {
    if (m_tokenAt >= m_expectWord.size())
        return std::nullopt;
    const qsizetype start = m_tokenAt;
    while (m_tokenAt < m_expectWord.size()) {
        const char c = m_expectWord[m_tokenAt++];
        if (c == '\\') {
            if (m_tokenAt < m_expectWord.size())
                ++m_tokenAt;
        } else if (c == '-') {
            return m_expectWord.mid(start, m_tokenAt - 1 - start);
        }
    }
    return m_expectWord.mid(start);
}

void ChatRunner::nextExpect() {
    const std::optional<QByteArray> token = nextToken();
    if (!token) {
        expectMet();
        return;
    }
    m_timeoutReply = nextToken();
    waitFor(*token);
}

void ChatRunner::waitFor(const QByteArray& token) {
    m_expected = chat::expectText(token);
    if (m_expected.size() > chat::kMaxExpectLength) {
        end(chatExit::kBadParameters, QStringLiteral("expect string is too long"));
        return;
    }
    if (m_expected.isEmpty()) {
        expectMet();
        return;
    }
    m_phase = Phase::Expecting;
    m_seen.clear();
    setAlarm(m_timeout);
    readInput();
    if (m_phase == Phase::Expecting && m_lineLost)
        expectFailed(chatExit::kTimeout, {});
}

void ChatRunner::readInput() {
    while ((m_phase == Phase::Expecting || m_phase == Phase::Gathering) &&
           m_inputAt < m_input.size()) {
        const char c = char(m_input[m_inputAt++] & 0x7F);
        if (m_phase == Phase::Expecting)
            readByte(c);
        else
            gatherByte(c);
    }
    if (m_inputAt >= m_input.size()) {
        m_input.clear();
        m_inputAt = 0;
    }
}

void ChatRunner::readByte(char c) {
    if (m_echo)
        echo(c);
    m_seen += c;
    if (!m_gathering) {
        for (std::optional<QByteArray>& report : m_reports) {
            if (report && m_seen.endsWith(*report)) {
                m_reportText = *report;
                report.reset();
                m_gathering = true;
                break;
            }
        }
    } else if (!isControl(c)) {
        if (m_reportText.size() < kReportLength)
            m_reportText += c;
    } else {
        m_gathering = false;
        emit reported(m_reportText);
    }
    if (m_seen.endsWith(m_expected)) {
        setAlarm(0);
        expectMet();
        return;
    }
    for (qsizetype n = 0; n < m_aborts.size(); ++n) {
        if (m_seen.endsWith(m_aborts[n])) {
            setAlarm(0);
            expectFailed(chatExit::kFirstAbort + int(n), m_aborts[n]);
            return;
        }
    }
    if (m_seen.size() >= kSeenLength) {
        const qsizetype keep = std::max<qsizetype>(m_expected.size(), kMaxStrings) - 1;
        m_seen = m_seen.right(keep);
    }
}

void ChatRunner::expectFailed(int code, const QByteArray& abortString) {
    setAlarm(0);
    if (code == chatExit::kTimeout && m_timeoutReply) {
        beginReply(*m_timeoutReply);
        return;
    }
    m_inExpect = false;
    end(code, abortString.isNull()
                  ? QStringLiteral("Failed")
                  : QStringLiteral("Failed (%1)").arg(QString::fromLatin1(abortString)));
}

// The whole expect word is met: its reply follows.
void ChatRunner::expectMet() {
    m_inExpect = false;
    m_phase = Phase::Stepping;
    if (m_next < m_script.words.size())
        beginReply(m_script.words[m_next++]);
}

void ChatRunner::beginReply(QByteArray word) {
    if (word.startsWith('@')) {
        QByteArray fileName = word.mid(1);
        while (fileName.startsWith(' ') || fileName.startsWith('\t'))
            fileName.remove(0, 1);
        if (!fileName.isEmpty()) {
            QFile file(QString::fromLocal8Bit(fileName));
            if (!file.open(QIODevice::ReadOnly)) {
                end(chatExit::kBadParameters,
                    QStringLiteral("%1 -- open failed: %2")
                        .arg(QString::fromLocal8Bit(fileName), file.errorString()));
                return;
            }
            word = file.read(kFileReply);
            if (word.endsWith('\n'))
                word.chop(1);
            word = upToNul(word);
        }
    }
    if (word == "EOT")
        word = "^D\\c";
    else if (word == "BREAK")
        word = "\\K\\c";
    m_reply = chat::sendText(word, m_options.phoneNumbers);
    m_replyAt = 0;
    m_phase = Phase::Sending;
    setAlarm(m_timeout);
    typeNext();
}

// Goes on with the reply: up to the next wait, or to its end.
void ChatRunner::typeNext() {
    while (m_phase == Phase::Sending) {
        if (m_replyAt >= m_reply.size()) {
            setAlarm(0);
            m_phase = Phase::Stepping;
            return;
        }
        char c = m_reply[m_replyAt++];
        if (c == '\\') {
            if (m_replyAt >= m_reply.size())
                continue;
            c = m_reply[m_replyAt++];
            if (c == 'd') {
                m_secondDelay.setEnabled(true);
                return;
            }
            if (c == 'p') {
                m_typingDelay.setEnabled(true);
                return;
            }
            if (c == 'K') {
                if (m_line.sendBreak)
                    m_line.sendBreak();
                continue;
            }
        }
        // A byte is not begun once the timeout has passed or the line is gone.
        if (m_alarmed || m_lineLost) {
            end(chatExit::kBadParameters, QStringLiteral("Failed"));
            return;
        }
        m_typing = c;
        m_typingDelay.setEnabled(true);
        return;
    }
}

void ChatRunner::setAlarm(int seconds) {
    m_alarm.setEnabled(false);
    m_alarmed = false;
    m_alarmLeft = seconds;
    if (seconds > 0)
        m_alarm.setEnabled(true);
}

void ChatRunner::alarmRang() {
    switch (m_phase) {
    case Phase::Expecting:
        expectFailed(chatExit::kTimeout, {});
        break;
    case Phase::Sending:
        // The alarm cuts a second's wait short.
        if (m_secondDelay.isEnabled()) {
            m_secondDelay.setEnabled(false);
            typeNext();
        }
        break;
    case Phase::Gathering:
        complete();
        break;
    default:
        break;
    }
}

void ChatRunner::echo(char c) {
    if (c == '\r')
        return;
    if (c == '\n') {
        m_echoMidLine = false;
        emit echoed("\n");
        return;
    }
    m_echoMidLine = true;
    if (c == 0x7F)
        emit echoed("^?");
    else if (isControl(c))
        emit echoed(QByteArray("^") + char(c + '@'));
    else
        emit echoed(QByteArray(1, c));
}

// The run ends; a report under way takes what follows it up to a control character or a second
// without any, unless the run was stopped or lost its line.
void ChatRunner::end(int code, const QString& reason, bool gatherReport) {
    m_typingDelay.setEnabled(false);
    m_secondDelay.setEnabled(false);
    setAlarm(0);
    m_inExpect = false;
    m_exitCode = code;
    m_reason = reason;
    if (m_echoMidLine) {
        m_echoMidLine = false;
        emit echoed("\n");
    }
    if (m_gathering && gatherReport && !m_lineLost) {
        m_phase = Phase::Gathering;
        setAlarm(1);
        readInput();
        return;
    }
    complete();
}

void ChatRunner::gatherByte(char c) {
    if (isControl(c)) {
        complete();
        return;
    }
    if (m_reportText.size() < kReportLength)
        m_reportText += c;
    setAlarm(1);
}

void ChatRunner::complete() {
    setAlarm(0);
    m_phase = Phase::Finished;
    if (m_gathering) {
        m_gathering = false;
        emit reported(m_reportText);
    }
    emit finished(m_exitCode, m_reason);
}

#include "moc_ChatRunner.cpp"
