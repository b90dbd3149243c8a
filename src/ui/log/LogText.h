#pragma once

#include <QByteArray>
#include <QList>

// A log's bytes, one byte per character, and where each of its lines starts.
//
// CR LF, a lone LF and a lone CR each end a line; the break belongs to the line it ends. A line
// that runs longer than kMaxLineLength without a break continues on a new line, so that no
// single line is ever too long to lay out.
class LogText {
public:
    static constexpr qint64 kMaxLineLength = 4096;

    const QByteArray& bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }
    int lineCount() const { return int(m_lineStarts.size()); }

    qint64 lineStart(int line) const { return m_lineStarts[line]; }
    // Where the line's text ends: before its break, if it has one.
    qint64 lineEnd(int line) const;
    // The start of the next line, or the end of the text for the last line.
    qint64 lineLimit(int line) const;
    int lineOf(qint64 offset) const;
    QByteArray lineBytes(int line) const;

    // Edits in time proportional to what changes and to what follows the edit; at the end that
    // is only the inserted bytes.
    void replace(qint64 position, qint64 removed, const QByteArray& inserted);
    void append(const QByteArray& inserted) { replace(size(), 0, inserted); }
    void clear();

    // Caret steps, which take a CR LF pair as one character.
    qint64 nextPosition(qint64 offset) const;
    qint64 previousPosition(qint64 offset) const;
    // Moves an offset that falls between a CR and its LF to before the CR.
    qint64 validPosition(qint64 offset) const;

private:
    bool startsLine(qint64 offset, qint64 previousStart) const;
    void reserveBytes(qint64 total);

    QByteArray m_bytes;
    QList<qint64> m_lineStarts{0};
};
