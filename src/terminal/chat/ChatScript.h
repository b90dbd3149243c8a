#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A chat script read and accepted: its words in order, expect and send alternately. A word in an
// expect's place that is a keyword (ABORT, CLR_ABORT, REPORT, CLR_REPORT, TIMEOUT, SAY, ECHO,
// HANGUP) takes the word after it as its argument. Escapes stay in the words; they are resolved
// when the word is used (see ChatEscapes.h).
struct ChatScript {
    QList<QByteArray> words;
};

// A script, or why it is refused (a refusal is exit code 1; nothing of it has run).
struct ChatScriptReading {
    ChatScript script;
    QString refusal;
    bool accepted() const { return refusal.isEmpty(); }
};

// A script file's text, split as a chat file is: read in lines of at most 1023 bytes, a line
// beginning with # is a comment, words are separated by spaces and tabs, a word in single or
// double quotes may hold them (a backslash in it keeps the next character from closing it), and
// nothing of a line past a NUL counts.
ChatScriptReading readChatScript(const QByteArray& text);

// The words given one by one (as on a command line), each up to a NUL if it holds one.
ChatScriptReading chatScriptFromWords(const QList<QByteArray>& words);

// Whether the word in an expect's place is a keyword taking the next word as its argument.
bool isChatKeyword(const QByteArray& word);
