#pragma once

#include <QByteArray>

#include <optional>

// The escapes of a chat script's strings (\r, \n, \t, \s, \b, \d, \p, \K, \c, \N, \q, \T, \U,
// \\, \ddd and ^X), resolved as the expect-send language does: an expect, ABORT, REPORT or
// TIMEOUT string is cleaned for matching, a reply or SAY string for sending.
namespace chat {

// The numbers \T and \U stand for in a reply; without one, \T sends a plain T.
struct PhoneNumbers {
    std::optional<QByteArray> first;
    std::optional<QByteArray> second;
};

// The bytes an expect string waits for (no NUL among them: \N is an N, \0 nothing).
QByteArray expectText(const QByteArray& word);

// What a reply sends, with a carriage return at the end unless it ends in \c. A backslash marks
// the next byte as an action: d waits a second, p waits 10 ms, K sends a break; any other byte
// after the mark is sent as it is (a marked backslash, a marked NUL).
QByteArray sendText(const QByteArray& word, const PhoneNumbers& numbers = {});

// The number a text begins with, read as chat reads TIMEOUT and -t (atoi): 0 when none.
int leadingNumber(const QByteArray& text);

// The longest ABORT or REPORT string, and the longest expect string.
constexpr int kMaxAbortLength = 49;
constexpr int kMaxExpectLength = 1024;

} // namespace chat
