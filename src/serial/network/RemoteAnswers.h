#pragma once

#include "serial/LineSettings.h"

#include <QString>

#include <deque>
#include <optional>
#include <vector>

// Settings and flow control, as asked of a server or answered by it.
struct LineRequest {
    LineSettings settings;
    qint32 handshaking = 0;
};

// What is asked of an RFC 2217 server for one LineRequest, field by field, in its codes.
struct LineCodes {
    enum Field { Speed, DataBits, Parity, StopBits, OutFlow, InFlow, kFields };
    unsigned values[kFields] = {};

    static LineCodes of(const LineRequest& line);
    // -1 for a flow control the program has no code for.
    LineRequest request() const;
};

// The RFC 2217 code of a parity letter (n, o, e, m, s), and back ('?' for an unknown code).
unsigned parityCode(QChar letter);
QChar parityLetter(unsigned code);

// The answers a server owes: each request's fields are answered one by one, each kind of
// answer in the order asked, and requests are done in the order asked.
class RemoteAnswers {
public:
    struct Done {
        quint64 request = 0;
        std::optional<LineRequest> answer;
        QString failure; // why there is no answer
    };

    // A new request, whose fields are then asked one by one.
    void begin(quint64 request);
    void asked(LineCodes::Field field);
    // The newest request cannot be asked further.
    void fail(const QString& why);
    // The server's answer to the oldest request still waiting for this field; a failure
    // (non-empty `error`) is the request's unless it has one already.
    void answer(LineCodes::Field field, unsigned value, const QString& error);
    // The requests answered in full, oldest first, taken out.
    std::vector<Done> takeDone();
    void clear() { m_pending.clear(); }

private:
    struct Pending {
        quint64 request = 0;
        unsigned asked = 0; // one bit per field
        unsigned answered = 0;
        LineCodes codes;
        QString failure;
    };
    std::deque<Pending> m_pending;
};
