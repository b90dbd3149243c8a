#pragma once

#include "CallRouter.h"
#include "LineOptions.h"
#include "Modem.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines of one simulator and the wiring between them. Line index k answers at telephone
// number k + 1. Raw lines are wired together in pairs, in line order, like a null-modem cable;
// a raw line left without a partner swallows what it receives.
class Exchange : private CallRouter {
public:
    Exchange(const std::vector<LineOptions>& lines, Millis ringInterval);

    std::size_t lineCount() const { return m_lines.size(); }
    const Modem& line(std::size_t index) const { return *m_lines[index]; }
    // The line at the other end of a line's call or cable, -1 when none.
    int peerOf(std::size_t index) const { return m_peer[index]; }

    // Hands bytes to a line and runs whatever that makes due.
    void receive(std::size_t line, std::string_view bytes, Millis now);
    void advance(Millis now);
    std::optional<Millis> nextDeadline() const;
    std::string takeOutput(std::size_t line);

private:
    DialOutcome placeCall(int line, const std::string& number, Millis now) override;
    void answerCall(int line, Millis now) override;
    void endCall(int line) override;
    void sendData(int line, std::string_view data) override;

    std::optional<int> lineForNumber(const std::string& number) const;

    std::vector<std::unique_ptr<Modem>> m_lines;
    std::vector<LineKind> m_kinds;
    std::vector<int> m_peer; // the other end of each line's call or cable, -1 when none
};
