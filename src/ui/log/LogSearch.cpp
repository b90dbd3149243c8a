#include "LogSearch.h"

#include "LogText.h"

#include <algorithm>
#include <cstring>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

void LogSearch::start(const QByteArray& pattern, bool hexText) {
    m_pattern = pattern;
    m_hexText = hexText;
    m_position = 0;
    m_matched = 0;
    m_hex = Hex::AfterBlank;
    m_starts.fill(0, pattern.size());
    // The failure function of Knuth, Morris and Pratt: a search that reads each byte once can
    // stop anywhere and go on when more text comes.
    m_fallback.fill(0, pattern.size() + 1);
    for (int i = 1, k = 0; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = m_fallback[k];
        if (pattern[i] == pattern[k])
            ++k;
        m_fallback[i + 1] = k;
    }
}

bool LogSearch::shiftDown(qint64 bytes) {
    m_position -= bytes;
    m_valueStart -= bytes;
    for (qint64& start : m_starts)
        start -= bytes;
    // What was half matched is gone with the text it was in.
    if (m_position < 0 || (m_matched > 0 && m_starts[0] < 0) ||
        (m_hex != Hex::AfterBlank && m_hex != Hex::InWord && m_valueStart < 0)) {
        start(m_pattern, m_hexText);
        return false;
    }
    return true;
}

QList<LogRange> LogSearch::scan(const LogText& text, qint64 budget) {
    QList<LogRange> found;
    const qint64 to = std::min(text.size(), m_position + budget);
    if (m_pattern.isEmpty() || to <= m_position) {
        m_position = std::max(m_position, to); // an empty pattern is done at once
        return found;
    }
    const QByteArray piece = text.slice(m_position, to);
    if (m_hexText)
        scanHexText(piece.constData(), piece.size(), m_position, found);
    else
        scanBytes(piece.constData(), piece.size(), m_position, found);
    m_position = to;
    return found;
}

void LogSearch::scanBytes(const char* data, qint64 size, qint64 offset, QList<LogRange>& found) {
    const char first = m_pattern[0];
    for (qint64 i = 0; i < size; ++i) {
        // Most of a log is no part of a match: the first byte is looked for the quick way.
        if (m_matched == 0) {
            const void* next = std::memchr(data + i, first, size_t(size - i));
            if (!next)
                return;
            i = static_cast<const char*>(next) - data;
        }
        feed(static_cast<unsigned char>(data[i]), offset + i, offset + i + 1, found);
    }
}

void LogSearch::scanHexText(const char* data, qint64 size, qint64 offset, QList<LogRange>& found) {
    for (qint64 i = 0; i < size; ++i) {
        const char c = data[i];
        const int digit = hexDigit(c);
        switch (m_hex) {
        case Hex::AfterBlank:
            if (digit >= 0) {
                m_hex = Hex::OneDigit;
                m_value = digit;
                m_valueStart = offset + i;
            } else if (!isBlank(c)) {
                m_hex = Hex::InWord;
                m_matched = 0;
            }
            break;
        case Hex::OneDigit:
            if (digit >= 0) {
                m_hex = Hex::TwoDigits;
                m_value = m_value << 4 | digit;
            } else {
                m_hex = isBlank(c) ? Hex::AfterBlank : Hex::InWord;
                m_matched = 0;
            }
            break;
        case Hex::TwoDigits:
            if (isBlank(c)) {
                m_hex = Hex::AfterBlank;
                feed(static_cast<unsigned char>(m_value), m_valueStart, m_valueStart + 2, found);
            } else {
                m_hex = Hex::InWord;
                m_matched = 0;
            }
            break;
        case Hex::InWord:
            if (isBlank(c))
                m_hex = Hex::AfterBlank;
            break;
        }
    }
}

void LogSearch::feed(unsigned char value, qint64 from, qint64 to, QList<LogRange>& found) {
    const auto wanted = [this](int k) {
        return static_cast<unsigned char>(m_pattern[k]);
    };
    while (m_matched > 0 && value != wanted(m_matched)) {
        const int kept = m_fallback[m_matched];
        // The starts of the bytes still matched move to the front.
        std::memmove(m_starts.data(), m_starts.data() + (m_matched - kept),
                     size_t(kept) * sizeof(qint64));
        m_matched = kept;
    }
    if (value != wanted(m_matched))
        return;
    m_starts[m_matched++] = from;
    if (m_matched == m_pattern.size()) {
        found.append({m_starts[0], to});
        m_matched = 0;
    }
}
