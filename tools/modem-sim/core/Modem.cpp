#include "Modem.h"

#include "CommandParser.h"
#include "SettingsCommands.h"

#include <algorithm>
#include <utility>

namespace {

// Dial modifiers (tone, pulse, wait, pause...) that do not change the number.
constexpr std::string_view kDialModifiers = "TPW,@!;";

constexpr Millis kDeviceCheckInterval = 3000;

std::optional<std::string> dialledNumber(const std::string& dialString) {
    std::string number;
    for (char c : dialString) {
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'A' && c <= 'D'))
            number += c;
        else if (kDialModifiers.find(c) == std::string_view::npos)
            return std::nullopt;
    }
    return number;
}

void keepEarliest(std::optional<Millis>& earliest, std::optional<Millis> candidate) {
    if (candidate && (!earliest || *candidate < *earliest))
        earliest = candidate;
}

} // namespace

Modem::Modem(int index, LineOptions options, CallRouter& router, Millis ringInterval)
    : m_index(index), m_options(options), m_router(router),
      m_ringInterval(std::max<Millis>(1, ringInterval)) {}

void Modem::receive(std::string_view bytes, Millis now) {
    switch (m_options.kind) {
    case LineKind::Mute:
        return;
    case LineKind::Raw:
        m_router.sendData(m_index, bytes);
        return;
    case LineKind::Device:
        // Whatever comes first tells the device someone is there: it starts checking then,
        // rather than piling checks up in a port nobody has open.
        if (!m_nextCheck)
            m_nextCheck = now + kDeviceCheckInterval;
        return;
    case LineKind::Modem:
        break;
    }
    if (m_executeAt)
        m_heldInput.append(bytes);
    else
        process(bytes, now);
}

void Modem::process(std::string_view bytes, Millis now) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (m_executeAt) {
            m_heldInput.append(bytes.substr(i));
            return;
        }
        const char c = bytes[i];
        switch (m_mode) {
        case ModemMode::Online:
            onlineByte(c, now);
            break;
        case ModemMode::Dialling:
            // Any key abandons the call, except the LF of terminals that end lines with CR LF.
            if (c != '\n') {
                m_router.endCall(m_index);
                m_dialGivesUpAt.reset();
                m_mode = ModemMode::Command;
                emit(ResultCode::NoCarrier);
            }
            break;
        default:
            commandByte(c, now);
        }
    }
}

void Modem::commandByte(char c, Millis now) {
    if (m_settings.echo)
        m_output += c;
    switch (m_assembler.feed(c, m_settings)) {
    case CommandLineAssembler::Event::None:
        return;
    case CommandLineAssembler::Event::TooLong:
        emit(ResultCode::Error);
        return;
    case CommandLineAssembler::Event::Line:
        lineComplete(m_assembler.takeLine(), now);
        return;
    case CommandLineAssembler::Event::Repeat:
        lineComplete(m_lastLine, now);
        return;
    }
}

void Modem::lineComplete(std::string line, Millis now) {
    if (m_options.replyDelay <= 0) {
        executeLine(line, now);
        return;
    }
    m_pendingLine = std::move(line);
    m_executeAt = now + m_options.replyDelay;
}

void Modem::onlineByte(char c, Millis now) {
    m_router.sendData(m_index, std::string_view(&c, 1));
    // "+++" counts only with a guard time of silence before it and after it, and with less than
    // a guard time between its characters, so the same bytes inside data do not escape.
    const Millis guard = m_settings.guardTimeMs();
    const bool quietBefore = now - m_lastDataAt >= guard;
    if (m_settings.escapeEnabled() && c == m_settings.escapeCharacter())
        m_escapeCount =
            quietBefore ? 1 : (m_escapeCount > 0 && m_escapeCount < 3 ? m_escapeCount + 1 : 0);
    else
        m_escapeCount = 0;
    m_lastDataAt = now;
    m_escapeAt.reset();
    if (m_escapeCount == 3)
        m_escapeAt = now + guard;
}

void Modem::executeLine(const std::string& line, Millis now) {
    m_lastLine = line;
    const auto commands = parseCommandLine(line);
    if (!commands) {
        emit(ResultCode::Error);
        return;
    }
    for (const Command& command : *commands) {
        switch (execute(command, now)) {
        case Step::Next:
            continue;
        case Step::Stop:
            return;
        case Step::Fail:
            emit(ResultCode::Error);
            return;
        }
    }
    emit(ResultCode::Ok);
}

Modem::Step Modem::execute(const Command& command, Millis now) {
    const std::string& name = command.name;
    if (name == "A")
        return answer(now);
    if (name == "D")
        return dial(command.argument, now);
    if (name == "H") {
        if (command.number > 0)
            return Step::Fail;
        hangUp();
        return Step::Next;
    }
    if (name == "O") {
        if (m_mode != ModemMode::OnlineCommand) {
            emit(ResultCode::NoCarrier);
            return Step::Stop;
        }
        goOnline(now);
        emit(ResultCode::Connect9600);
        return Step::Stop;
    }
    if (name == "Z" || name == "&F") {
        if (command.number > 0)
            return Step::Fail;
        m_settings = ModemSettings();
        if (name == "&F")
            return Step::Next;
        // A reset drops the call and ignores the rest of the line.
        hangUp();
        emit(ResultCode::Ok);
        return Step::Stop;
    }
    switch (runSettingsCommand(command, m_settings, m_index + 1, m_output)) {
    case CommandStatus::Done:
        return Step::Next;
    case CommandStatus::Failed:
    case CommandStatus::NotMine:
        break;
    }
    return Step::Fail;
}

Modem::Step Modem::answer(Millis now) {
    if (m_mode != ModemMode::Ringing) {
        emit(ResultCode::NoCarrier);
        return Step::Stop;
    }
    goOnline(now);
    emit(ResultCode::Connect9600);
    m_router.answerCall(m_index, now);
    return Step::Stop;
}

Modem::Step Modem::dial(const std::string& dialString, Millis now) {
    const auto number = dialledNumber(dialString);
    if (m_mode != ModemMode::Command || !number)
        return Step::Fail;
    switch (m_router.placeCall(m_index, *number, now)) {
    case DialOutcome::Ringing:
        m_mode = ModemMode::Dialling;
        m_dialGivesUpAt.reset();
        if (m_settings.carrierWaitMs() > 0)
            m_dialGivesUpAt = now + m_settings.carrierWaitMs();
        break;
    case DialOutcome::Busy:
        emit(ResultCode::Busy);
        break;
    case DialOutcome::NoCarrier:
        emit(ResultCode::NoCarrier);
        break;
    }
    return Step::Stop;
}

void Modem::hangUp() {
    if (m_mode == ModemMode::Ringing || m_mode == ModemMode::OnlineCommand)
        m_router.endCall(m_index);
    m_mode = ModemMode::Command;
    m_settings.setRingCount(0);
}

void Modem::advance(Millis now) {
    if (m_nextCheck && *m_nextCheck <= now) {
        m_output += "AT\r";
        m_nextCheck = now + kDeviceCheckInterval;
    }
    if (m_executeAt && *m_executeAt <= now) {
        m_executeAt.reset();
        executeLine(std::exchange(m_pendingLine, {}), now);
        process(std::exchange(m_heldInput, {}), now);
    }
    if (m_mode == ModemMode::Ringing && m_nextRing <= now)
        ring(now);
    if (m_mode == ModemMode::Dialling && m_dialGivesUpAt && *m_dialGivesUpAt <= now) {
        m_router.endCall(m_index);
        m_dialGivesUpAt.reset();
        m_mode = ModemMode::Command;
        emit(ResultCode::NoCarrier);
    }
    if (m_mode == ModemMode::Online && m_escapeAt && *m_escapeAt <= now) {
        m_escapeAt.reset();
        m_escapeCount = 0;
        m_mode = ModemMode::OnlineCommand;
        m_assembler.reset();
        emit(ResultCode::Ok);
    }
}

std::optional<Millis> Modem::nextDeadline() const {
    std::optional<Millis> earliest = m_executeAt;
    keepEarliest(earliest, m_nextCheck);
    if (m_mode == ModemMode::Ringing)
        keepEarliest(earliest, m_nextRing);
    if (m_mode == ModemMode::Dialling)
        keepEarliest(earliest, m_dialGivesUpAt);
    if (m_mode == ModemMode::Online)
        keepEarliest(earliest, m_escapeAt);
    return earliest;
}

std::string Modem::takeOutput() {
    return std::exchange(m_output, {});
}

bool Modem::offerCall(Millis now) {
    if (m_mode != ModemMode::Command)
        return false;
    // The first ring is due at once; advance() sounds it, after the caller has seen its dial
    // accepted.
    m_mode = ModemMode::Ringing;
    m_nextRing = now;
    m_settings.setRingCount(0);
    return true;
}

void Modem::ring(Millis now) {
    m_nextRing = now + m_ringInterval;
    m_settings.setRingCount(m_settings.ringCount() + 1);
    ++m_ringsSounded;
    emit(ResultCode::Ring);
    const int autoAnswer = m_settings.autoAnswerRings();
    if (autoAnswer > 0 && m_settings.ringCount() >= autoAnswer)
        answer(now);
}

void Modem::callAnswered(Millis now) {
    if (m_mode != ModemMode::Dialling)
        return;
    m_dialGivesUpAt.reset();
    goOnline(now);
    emit(ResultCode::Connect9600);
}

void Modem::callEnded() {
    const ModemMode was = m_mode;
    m_mode = ModemMode::Command;
    m_settings.setRingCount(0);
    m_dialGivesUpAt.reset();
    // Unanswered rings just stop; a caller or a connected line learns the carrier is gone.
    if (was != ModemMode::Ringing && was != ModemMode::Command)
        emit(ResultCode::NoCarrier);
}

void Modem::deliver(std::string_view data) {
    if (m_options.kind == LineKind::Raw || m_mode == ModemMode::Online)
        m_output.append(data);
}

void Modem::goOnline(Millis now) {
    m_mode = ModemMode::Online;
    m_settings.setRingCount(0);
    m_lastDataAt = now;
    m_escapeCount = 0;
    m_escapeAt.reset();
}

void Modem::emit(ResultCode code) {
    if (m_options.kind == LineKind::Modem)
        m_output += formatResult(code, m_settings);
}
