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
    // Whether a field can be `value`: an answer that cannot be is no answer.
    static bool possible(Field field, unsigned value);
    LineRequest request() const;
};

// The RFC 2217 code of a parity letter (n, o, e, m, s), and back ('?' for an unknown code).
unsigned parityCode(QChar letter);
QChar parityLetter(unsigned code);

// The answers a server owes, asked one field at a time. gensio hands an answer to the oldest
// request it could belong to, so with several asked at once an answer to something else (the
// modem state mask) lands on a setting and each answer after it on the next one. Asked one at
// a time, such an answer finds nothing to land on, or lands as a value the field cannot have.
class RemoteAnswers {
public:
    struct Done {
        quint64 request = 0;
        std::optional<LineRequest> answer;
        QString failure; // why there is no answer
    };
    struct Question {
        LineCodes::Field field;
        unsigned value;
    };

    // A new request; one that cannot be asked is done at once with `failure`.
    void begin(quint64 request, const LineCodes& codes, const QString& failure = {});
    // The next field to ask, when no field waits for its answer; it then waits.
    std::optional<Question> next();
    // The field waiting could not be asked: its request ends with `why`.
    void fail(const QString& why);
    // The answer to the field waiting, if it is that field; a failure (non-empty `error`)
    // ends its request.
    void answer(LineCodes::Field field, unsigned value, const QString& error);
    // The requests done, oldest first, taken out.
    std::vector<Done> takeDone();
    void clear();

private:
    struct Pending {
        quint64 request = 0;
        LineCodes answered; // what was asked until answered
        int nextField = 0;
        QString failure;
        bool done() const { return nextField == LineCodes::kFields || !failure.isEmpty(); }
    };
    Pending* asking();

    std::deque<Pending> m_pending;
    bool m_waiting = false;
};
