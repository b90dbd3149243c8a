#pragma once

#include <string>

class ModemSettings;

// Gathers received characters into command lines: everything before "AT" (either case) is
// dropped, backspace takes back a character, other control characters are ignored, and the
// line terminator (S3) completes the line. "A/" asks for the previous line again.
class CommandLineAssembler {
public:
    enum class Event { None, Line, Repeat, TooLong };

    Event feed(char c, const ModemSettings& settings);
    // The text after "AT" of the line just completed.
    std::string takeLine();
    void reset();

private:
    std::string m_buffer;
    std::string m_line;
    bool m_overflow = false;
};
