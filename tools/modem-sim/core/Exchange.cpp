#include "Exchange.h"

Exchange::Exchange(const std::vector<LineOptions>& lines, Millis ringInterval)
    : m_peer(lines.size(), -1) {
    CallRouter& router = *this;
    int unpairedRaw = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int index = int(i);
        m_lines.push_back(std::make_unique<Modem>(index, lines[i], router, ringInterval));
        m_kinds.push_back(lines[i].kind);
        if (lines[i].kind != LineKind::Raw)
            continue;
        if (unpairedRaw < 0) {
            unpairedRaw = index;
        } else {
            m_peer[i] = unpairedRaw;
            m_peer[std::size_t(unpairedRaw)] = index;
            unpairedRaw = -1;
        }
    }
}

void Exchange::receive(std::size_t line, std::string_view bytes, Millis now) {
    m_lines[line]->receive(bytes, now);
    advance(now);
}

void Exchange::advance(Millis now) {
    // One line's event can make another's due at once (a dial rings the callee), so go round
    // until nothing is left that is due by now.
    for (auto due = nextDeadline(); due && *due <= now; due = nextDeadline())
        for (auto& line : m_lines)
            line->advance(now);
}

std::optional<Millis> Exchange::nextDeadline() const {
    std::optional<Millis> earliest;
    for (const auto& line : m_lines) {
        const auto due = line->nextDeadline();
        if (due && (!earliest || *due < *earliest))
            earliest = due;
    }
    return earliest;
}

std::string Exchange::takeOutput(std::size_t line) {
    return m_lines[line]->takeOutput();
}

std::optional<int> Exchange::lineForNumber(const std::string& number) const {
    if (number.empty() || number.size() > 4 ||
        number.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int n = std::stoi(number);
    if (n < 1 || n > int(m_lines.size()))
        return std::nullopt;
    return n - 1;
}

DialOutcome Exchange::placeCall(int line, const std::string& number, Millis now) {
    const auto target = lineForNumber(number);
    if (!target)
        return DialOutcome::NoCarrier;
    const std::size_t callee = std::size_t(*target);
    // Only a modem takes a call: neither a cable nor a device has a telephone line.
    if (m_kinds[callee] == LineKind::Raw || m_kinds[callee] == LineKind::Device)
        return DialOutcome::NoCarrier;
    if (*target == line || m_peer[callee] >= 0 || !m_lines[callee]->offerCall(now))
        return DialOutcome::Busy;
    m_peer[std::size_t(line)] = *target;
    m_peer[callee] = line;
    return DialOutcome::Ringing;
}

void Exchange::answerCall(int line, Millis now) {
    const int peer = m_peer[std::size_t(line)];
    if (peer >= 0)
        m_lines[std::size_t(peer)]->callAnswered(now);
}

void Exchange::endCall(int line) {
    const int peer = m_peer[std::size_t(line)];
    if (peer < 0)
        return;
    m_peer[std::size_t(line)] = -1;
    m_peer[std::size_t(peer)] = -1;
    m_lines[std::size_t(peer)]->callEnded();
}

void Exchange::sendData(int line, std::string_view data) {
    const int peer = m_peer[std::size_t(line)];
    if (peer >= 0)
        m_lines[std::size_t(peer)]->deliver(data);
}
