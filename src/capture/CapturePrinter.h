#pragma once

#include "CaptureReader.h"

#include <QHash>
#include <QStringList>

// A capture as text, one line for each thing that happened, in the order read: the local time to
// the millisecond, the port ("COM1"), `<` for bytes received, `>` for bytes sent and `*` for
// anything else, then the bytes (as text with control characters escaped, or in hex), the lines
// that changed ("CTS on, RI off"), the event ("break") or the entry's comment.
class CapturePrinter {
public:
    explicit CapturePrinter(bool hex = false) : m_hex(hex) {}

    // The lines for the next entry of the capture: none, one, or several (its comment, then
    // the control lines that changed since the port's previous entry, then its bytes or event).
    QStringList linesOf(const CaptureRecord& record);

    // The text with its control characters escaped: "\r", "\n", "\t", "\\", and "\x1a" for the
    // others.
    static QString escaped(const QString& text);
    // The control lines that changed between two states of a port's lines ("CTS on, RI off").
    static QString lineChanges(quint8 before, quint8 after);
    // The moment in local time, rounded down to the millisecond, in a QDateTime format.
    static QString localTime(qint64 microsecondsSinceEpoch, const QString& format);
    // "COM1" of a port named "COM1 (/dev/ttyUSB0)", "port1" of the first port with no name.
    static QString shortName(const CaptureRecord& record);
    // "data", "line change", "break", "framing error", ...
    static QString eventName(RtacSerial::Event event);

private:
    bool m_hex;
    struct Previous {
        QString portName;
        quint8 lines = 0;
    };
    // Each port's control lines in its previous entry, by interface: as many as a section has,
    // and two unnamed ports are not taken for one.
    QHash<int, Previous> m_previous;
};
