#pragma once

#include "CallRouter.h"
#include "CommandLineAssembler.h"
#include "LineOptions.h"
#include "ModemSettings.h"
#include "ResultCode.h"

#include <optional>
#include <string>
#include <string_view>

struct Command;

enum class ModemMode { Command, Dialling, Ringing, Online, OnlineCommand };

// One line of the exchange. Received bytes go in through receive(); everything the line sends
// back collects in an outgoing queue that takeOutput() empties.
class Modem {
public:
    Modem(int index, LineOptions options, CallRouter& router, Millis ringInterval);
    Modem(const Modem&) = delete;
    Modem& operator=(const Modem&) = delete;

    void receive(std::string_view bytes, Millis now);
    // Runs whatever has fallen due by now: delayed replies, rings, time-outs, the escape.
    void advance(Millis now);
    std::optional<Millis> nextDeadline() const;
    std::string takeOutput();

    // Called by the exchange on behalf of the other end of a call.
    bool offerCall(Millis now);
    void callAnswered(Millis now);
    void callEnded();
    void deliver(std::string_view data);

    ModemMode mode() const { return m_mode; }
    // What the modem's lines say: the carrier while a call is up, and every ring it has sounded.
    bool carrier() const {
        return m_mode == ModemMode::Online || m_mode == ModemMode::OnlineCommand;
    }
    long ringsSounded() const { return m_ringsSounded; }
    const ModemSettings& settings() const { return m_settings; }

private:
    enum class Step { Next, Stop, Fail };

    void process(std::string_view bytes, Millis now);
    void commandByte(char c, Millis now);
    void onlineByte(char c, Millis now);
    void lineComplete(std::string line, Millis now);
    void executeLine(const std::string& line, Millis now);
    Step execute(const Command& command, Millis now);
    Step answer(Millis now);
    Step dial(const std::string& dialString, Millis now);
    void hangUp();
    void ring(Millis now);
    void goOnline(Millis now);
    void emit(ResultCode code);

    int m_index;
    LineOptions m_options;
    CallRouter& m_router;
    Millis m_ringInterval;

    ModemMode m_mode = ModemMode::Command;
    ModemSettings m_settings;
    CommandLineAssembler m_assembler;
    std::string m_lastLine;
    std::string m_output;

    // A command line waiting out the reply delay, and what arrived meanwhile.
    std::optional<Millis> m_executeAt;
    std::string m_pendingLine;
    std::string m_heldInput;

    Millis m_nextRing = 0;
    long m_ringsSounded = 0;
    std::optional<Millis> m_dialGivesUpAt;

    // A device line's next check on its modem, once something has woken it.
    std::optional<Millis> m_nextCheck;

    Millis m_lastDataAt = 0;
    int m_escapeCount = 0;
    std::optional<Millis> m_escapeAt;
};
