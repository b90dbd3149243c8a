#include "ChatEscapes.h"

#include <algorithm>
#include <climits>

namespace chat {

namespace {

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

QByteArray clean(const QByteArray& word, bool sending, const PhoneNumbers& numbers) {
    QByteArray out;
    out.reserve(word.size() + 2);
    bool addReturn = sending;
    const qsizetype n = word.size();
    qsizetype i = 0;
    while (i < n) {
        char c = word[i++];
        if (c == '^') {
            if (i >= n) {
                out += '^';
                break;
            }
            c = char(word[i++] & 0x1F);
            if (c != 0) // ^@ stands for nothing
                out += c;
            continue;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i >= n) {
            // A lone backslash at the end is sent as one and waited for as nothing.
            if (sending)
                out += "\\\\";
            break;
        }
        c = word[i++];
        switch (c) {
        case 'b':
            out += '\b';
            break;
        case 'c':
            if (sending && i >= n)
                addReturn = false;
            else
                out += 'c';
            break;
        case '\\':
        case 'K':
        case 'p':
        case 'd':
            if (sending)
                out += '\\';
            out += c;
            break;
        case 'T':
        case 'U': {
            const std::optional<QByteArray>& number = c == 'T' ? numbers.first : numbers.second;
            if (sending && number) {
                out += *number;
            } else {
                out += '\\';
                out += c;
            }
            break;
        }
        case 'q': // only hides the string from a log
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 's':
            out += ' ';
            break;
        case 't':
            out += '\t';
            break;
        case 'N':
            if (sending)
                out += QByteArray("\\\0", 2);
            else
                out += 'N';
            break;
        default:
            if (isOctal(c)) {
                int value = c & 7;
                for (int more = 0; more < 2 && i < n && isOctal(word[i]); ++more)
                    value = (value << 3) | (word[i++] - '0');
                value &= 0xFF;
                if (value != 0 || sending) {
                    if (sending && (value == '\\' || value == 0))
                        out += '\\';
                    out += char(value);
                }
                break;
            }
            if (sending)
                out += '\\';
            out += c;
            break;
        }
    }
    if (addReturn)
        out += '\r';
    return out;
}

} // namespace

int leadingNumber(const QByteArray& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<qint64>(value * 10 + (text[i] - '0'), qint64(INT_MAX) + 1);
    return int(std::clamp<qint64>(negative ? -value : value, INT_MIN, INT_MAX));
}

QByteArray expectText(const QByteArray& word) {
    return clean(word, false, {});
}

QByteArray sendText(const QByteArray& word, const PhoneNumbers& numbers) {
    return clean(word, true, numbers);
}

} // namespace chat
