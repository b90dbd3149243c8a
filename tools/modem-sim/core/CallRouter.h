#pragma once

#include "Millis.h"

#include <string>
#include <string_view>

enum class DialOutcome { Ringing, Busy, NoCarrier };

// What a line asks of the exchange it is wired to. Lines are named by their index; each call
// tells the other end of the line's call and leaves the line itself to update its own state.
class CallRouter {
public:
    virtual DialOutcome placeCall(int line, const std::string& number, Millis now) = 0;
    virtual void answerCall(int line, Millis now) = 0;
    virtual void endCall(int line) = 0;
    virtual void sendData(int line, std::string_view data) = 0;

protected:
    ~CallRouter() = default;
};
