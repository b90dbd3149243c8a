#include "CommandLineAssembler.h"

#include "ModemSettings.h"

#include <cctype>

namespace {

constexpr std::size_t kMaxLine = 255;

bool isLetter(char c, char upper) {
    return std::toupper(static_cast<unsigned char>(c)) == upper;
}

} // namespace

CommandLineAssembler::Event CommandLineAssembler::feed(char c, const ModemSettings& settings) {
    if (c == settings.lineTerminator()) {
        const bool complete = m_buffer.size() >= 2;
        const bool overflow = m_overflow;
        m_line = complete ? m_buffer.substr(2) : std::string();
        m_buffer.clear();
        m_overflow = false;
        if (!complete)
            return Event::None;
        return overflow ? Event::TooLong : Event::Line;
    }
    if (c == settings.backspace() || c == '\x7f') {
        if (!m_buffer.empty())
            m_buffer.pop_back();
        return Event::None;
    }
    if (static_cast<unsigned char>(c) < 0x20)
        return Event::None;

    if (m_buffer.empty()) {
        if (isLetter(c, 'A'))
            m_buffer = "A";
        return Event::None;
    }
    if (m_buffer.size() == 1) {
        if (c == '/') {
            m_buffer.clear();
            return Event::Repeat;
        }
        if (isLetter(c, 'T'))
            m_buffer += 'T';
        else if (!isLetter(c, 'A'))
            m_buffer.clear();
        return Event::None;
    }
    if (m_buffer.size() < kMaxLine)
        m_buffer += c;
    else
        m_overflow = true;
    return Event::None;
}

std::string CommandLineAssembler::takeLine() {
    return std::move(m_line);
}

void CommandLineAssembler::reset() {
    m_buffer.clear();
    m_line.clear();
    m_overflow = false;
}
