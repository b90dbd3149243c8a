#include "ChatScript.h"

#include "ChatEscapes.h"

#include <algorithm>

namespace {

constexpr qsizetype kLineLength = 1023; // what one read of a line takes at most

// A script whose ABORT or REPORT strings cannot be held is refused before anything runs.
QString checkKeywordArguments(const QList<QByteArray>& words) {
    for (qsizetype i = 0; i + 1 < words.size(); i += 2) {
        const QByteArray& keyword = words[i];
        if (keyword != "ABORT" && keyword != "CLR_ABORT" && keyword != "REPORT" &&
            keyword != "CLR_REPORT")
            continue;
        if (chat::expectText(words[i + 1]).size() > chat::kMaxAbortLength)
            return QStringLiteral("Illegal or too-long %1 string ('%2')")
                .arg(QString::fromLatin1(keyword),
                     QString::fromLatin1(words[i + 1].left(chat::kMaxAbortLength)));
    }
    return {};
}

ChatScriptReading accept(QList<QByteArray> words) {
    ChatScriptReading reading;
    reading.refusal = checkKeywordArguments(words);
    if (reading.accepted())
        reading.script.words = std::move(words);
    return reading;
}

} // namespace

bool isChatKeyword(const QByteArray& word) {
    for (const char* keyword :
         {"HANGUP", "ABORT", "CLR_ABORT", "REPORT", "CLR_REPORT", "TIMEOUT", "ECHO", "SAY"}) {
        if (word == keyword)
            return true;
    }
    return false;
}

ChatScriptReading readChatScript(const QByteArray& text) {
    QList<QByteArray> words;
    qsizetype lineNumber = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        // One read: up to and with a line feed, or kLineLength bytes.
        qsizetype end = text.indexOf('\n', start);
        end = end < 0 ? text.size() : end + 1;
        end = std::min(end, start + kLineLength);
        QByteArray line = text.mid(start, end - start);
        start = end;
        ++lineNumber;
        const qsizetype nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        if (const qsizetype feed = line.indexOf('\n'); feed >= 0)
            line.truncate(feed);
        if (line.startsWith('#'))
            continue;
        qsizetype i = 0;
        const qsizetype n = line.size();
        while (i < n) {
            if (line[i] == ' ' || line[i] == '\t') {
                ++i;
                continue;
            }
            qsizetype wordStart = i;
            if (line[i] == '"' || line[i] == '\'') {
                const char quote = line[i++];
                wordStart = i;
                while (i < n && line[i] != quote) {
                    if (line[i++] == '\\' && i < n)
                        ++i;
                }
                if (i >= n) {
                    ChatScriptReading refused;
                    refused.refusal =
                        QStringLiteral("unterminated quote (line %1)").arg(lineNumber);
                    return refused;
                }
            } else {
                while (i < n && line[i] != ' ' && line[i] != '\t')
                    ++i;
            }
            words += line.mid(wordStart, i - wordStart);
            ++i; // the closing quote or the separator
        }
    }
    return accept(std::move(words));
}

ChatScriptReading chatScriptFromWords(const QList<QByteArray>& words) {
    QList<QByteArray> kept;
    kept.reserve(words.size());
    for (const QByteArray& word : words) {
        const qsizetype nul = word.indexOf('\0');
        kept += nul >= 0 ? word.left(nul) : word;
    }
    return accept(std::move(kept));
}
