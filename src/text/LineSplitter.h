#pragma once

#include <QByteArray>
#include <QList>

// Whole lines out of bytes that arrive in pieces. A line ends at CR or LF, so both the verbose
// frame of a modem's answer ("\r\nOK\r\n") and the numeric one ("0\r") give the line alone;
// empty lines are skipped. A line longer than the longest kept is dropped whole rather than
// cut, so that the tail of a long stream of data is never taken for a line of its own.
class LineSplitter {
public:
    explicit LineSplitter(qsizetype longestLine = 1024) : m_longest(longestLine) {}

    // The lines the bytes end, in order, without their CR or LF; a line not yet ended waits for
    // the bytes that end it.
    QList<QByteArray> take(const QByteArray& bytes);
    // Forgets the line not yet ended.
    void clear();

private:
    qsizetype m_longest;
    QByteArray m_line;
    bool m_tooLong = false;
};
