#include "CommandTracker.h"

#include "text/AnsiCodePage.h"
#include "text/ModemResult.h"
#include "text/NextByte.h"

#include <algorithm>

namespace {

// A modem keeps a command line of about this length at most.
constexpr qsizetype longestCommand = 256;

} // namespace

QStringList CommandTracker::written(const QByteArray& bytes, qint64 time) {
    QStringList remarks;
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    // The next of each character that means something.
    NextByte cr('\r', end);
    NextByte backspace('\b', end);
    NextByte slash('/', end);
    while (p < end) {
        const char c = *p;
        if (c == '\r') {
            if (m_typed.startsWith("AT") || m_typed.startsWith("at"))
                remarks << start(m_typed, time);
            // Kept allocated: random data ends a line every few hundred bytes.
            m_typed.resize(0);
        } else if (c == '\b') {
            m_typed.chop(1);
        } else if (c == '/' && (m_typed == "A" || m_typed == "a")) {
            remarks << start(m_typed + c, time);
            m_typed.resize(0);
        } else if (m_typed.isEmpty() && (c == ' ' || c == '\n')) {
            // The LF of a CR LF end, or spaces before the command.
        } else {
            // Ordinary characters up to the next that means something are taken as one run: a
            // relay writes megabytes at a time, almost all past the longest command.
            const char* run = std::min({cr.from(p + 1), backspace.from(p + 1), slash.from(p + 1)});
            const qsizetype room = std::max<qsizetype>(longestCommand - m_typed.size(), 0);
            m_typed.append(p, std::min<qsizetype>(run - p, room));
            p = run;
            continue;
        }
        ++p;
    }
    return remarks;
}

QStringList CommandTracker::received(const QByteArray& bytes, qint64 time) {
    if (m_command.isEmpty())
        return {};
    for (const QByteArray& line : m_answer.take(bytes)) {
        const std::optional<ModemResult> result = ModemResult::fromLine(line);
        if (result && result->isFinal()) {
            const QString done = remark(result->text(), time);
            m_command.clear();
            return {done};
        }
    }
    return {};
}

void CommandTracker::clear() {
    m_typed.clear();
    m_command.clear();
}

QStringList CommandTracker::start(const QByteArray& command, qint64 time) {
    QStringList remarks;
    if (!m_command.isEmpty())
        remarks << remark(QStringLiteral("no result"), time);
    m_command = command;
    m_sentAt = time;
    // What came before belongs to no answer to this command.
    m_answer.clear();
    return remarks;
}

QString CommandTracker::remark(const QString& result, qint64 time) const {
    return ansi::decode(m_command) + QStringLiteral(" -> ") + result + QStringLiteral(" after ") +
           QString::number(double(time - m_sentAt) / 1e6, 'f', 3) + QStringLiteral(" s");
}
