#pragma once

#include <QByteArray>
#include <QList>

class LogText;

// A stretch of a log, [from, to) in byte offsets.
struct LogRange {
    qint64 from = 0;
    qint64 to = 0;
    bool operator==(const LogRange& o) const { return from == o.from && to == o.to; }
};

// Looks for a pattern's bytes in a log a piece at a time, so that a long log, partly in its
// files, is searched without reading it whole or keeping the window busy; it goes on where it
// stopped when more text is appended. In a log shown in hex it looks for the bytes' hex form as
// received data is written there: two digits a byte, either case, with blanks or line breaks
// between bytes ("41 54" for "AT"); a byte's digits count once a blank follows them. Matches
// do not overlap.
class LogSearch {
public:
    // Starts over; an empty pattern finds nothing.
    void start(const QByteArray& pattern, bool hexText);
    // Searches at most `budget` more bytes of the text, returning the matches found in them.
    QList<LogRange> scan(const LogText& text, qint64 budget);
    // Where the search has got to: the text before this offset is searched.
    qint64 scanned() const { return m_position; }
    // After the oldest text was dropped, offsets moved down by this much. False when the
    // search had got no further than what was dropped and starts over.
    bool shiftDown(qint64 bytes);

private:
    void scanBytes(const char* data, qint64 size, qint64 offset, QList<LogRange>& found);
    void scanHexText(const char* data, qint64 size, qint64 offset, QList<LogRange>& found);
    void feed(unsigned char value, qint64 from, qint64 to, QList<LogRange>& found);

    QByteArray m_pattern;
    QList<int>
        m_fallback; // for each length matched, the longest proper border of the pattern's start
    bool m_hexText = false;
    qint64 m_position = 0;
    int m_matched = 0;
    QList<qint64> m_starts; // where each byte matched so far starts, by its index in the pattern

    // Reading hex text: after a blank, in one digit, two digits, or within some other word.
    enum class Hex { AfterBlank, OneDigit, TwoDigits, InWord };
    Hex m_hex = Hex::AfterBlank;
    int m_value = 0;
    qint64 m_valueStart = 0;
};
