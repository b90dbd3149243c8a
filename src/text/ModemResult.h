#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A result code a modem answers a command with, recognised in one line of what it sent: the
// verbose form ("OK", "CONNECT 9600", "+CME ERROR: 10") or the numeric one a modem set to ATV0
// sends ("0" to "8").
struct ModemResult {
    enum class Code {
        Ok,
        Connect,
        Ring,
        NoCarrier,
        Error,
        NoDialtone,
        Busy,
        NoAnswer,
        CmeError, // a mobile equipment's error, +CME ERROR: <n>
        CmsError, // a message service's error, +CMS ERROR: <n>
    };

    Code code = Code::Ok;
    // What follows the name: the speed after CONNECT ("115200", "9600/V42"), the number (or text)
    // after +CME ERROR: and +CMS ERROR:; empty for the others.
    QString detail;

    // The result the line is, if any. The line is as LineSplitter gives it, without its CR or LF;
    // spaces around it are allowed.
    static std::optional<ModemResult> fromLine(const QByteArray& line);

    // Whether it ends the command: all do but RING, which comes unasked.
    bool isFinal() const { return code != Code::Ring; }
    // The verbose form with its detail: "CONNECT 9600", "+CME ERROR: 10", "NO CARRIER".
    QString text() const;
};
