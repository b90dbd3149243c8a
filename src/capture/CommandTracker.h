#pragma once

#include "text/LineSplitter.h"

#include <QByteArray>
#include <QStringList>

// The commands written to a modem and the final result each got back, as remarks for the
// record: "ATD2 -> CONNECT 9600 after 12.345 s", the command as sent without its CR, the
// result in its verbose form, and the seconds from the write that ended the command to the read
// that brought the result. A command is a line written that starts "AT" or "at" and ends with
// CR (a backspace takes back the character before it), or "A/", which repeats the last one.
// A command written while another still waits marks that one "ATI3 -> no result after 3.000 s",
// the time up to the new one: the modem dropped it, or nothing answers on the line. Times are
// the record's, in microseconds.
class CommandTracker {
public:
    // The remarks the bytes written at `time` make: one for each command left waiting by a new one.
    QStringList written(const QByteArray& bytes, qint64 time);
    // The remark the bytes received at `time` make: one when they end the command's result.
    QStringList received(const QByteArray& bytes, qint64 time);
    // Forgets the command waiting and the line being written (the port closed).
    void clear();

private:
    QStringList start(const QByteArray& command, qint64 time);
    QString remark(const QString& result, qint64 time) const;

    QByteArray m_typed;   // the line being written, from its first character but spaces
    QByteArray m_command; // the command waiting for its result; empty when none is
    qint64 m_sentAt = 0;
    LineSplitter m_answer{256}; // no result line is longer
};
