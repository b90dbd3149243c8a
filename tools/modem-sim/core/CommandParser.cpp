#include "CommandParser.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::size_t kMaxDigits = 5;

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool isExtendedNameChar(char c) {
    return std::isupper(static_cast<unsigned char>(c)) || isDigit(c) ||
           std::string_view("!%-./:_").find(c) != std::string_view::npos;
}

class Reader {
public:
    explicit Reader(std::string text) : m_text(std::move(text)) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    char next() { return atEnd() ? '\0' : m_text[m_pos++]; }
    bool accept(char c) {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }
    std::string rest() {
        std::string r = m_text.substr(m_pos);
        m_pos = m_text.size();
        return r;
    }
    std::string until(char stop) {
        const std::size_t end = std::min(m_text.find(stop, m_pos), m_text.size());
        std::string r = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        return r;
    }
    // Digits at the reading point: -1 when there are none, nothing when there are too many.
    std::optional<int> number() {
        const std::size_t start = m_pos;
        while (isDigit(peek()))
            ++m_pos;
        if (m_pos == start)
            return -1;
        if (m_pos - start > kMaxDigits)
            return std::nullopt;
        return std::stoi(m_text.substr(start, m_pos - start));
    }

private:
    std::string m_text;
    std::size_t m_pos = 0;
};

std::string normalised(std::string_view body) {
    std::string text;
    for (char c : body)
        if (c != ' ')
            text += char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool readExtended(Reader& in, Command& command) {
    command.name = "+";
    while (isExtendedNameChar(in.peek()))
        command.name += in.next();
    if (command.name.size() == 1)
        return false;
    if (in.accept('=')) {
        if (in.accept('?')) {
            command.form = Command::Form::Test;
        } else {
            command.form = Command::Form::Set;
            command.argument = in.until(';');
        }
    } else if (in.accept('?')) {
        command.form = Command::Form::Query;
    }
    return true;
}

bool readRegister(Reader& in, Command& command) {
    command.name = "S";
    const auto reg = in.number();
    if (!reg || *reg < 0)
        return false;
    command.number = *reg;
    if (in.accept('?')) {
        command.form = Command::Form::Query;
        return true;
    }
    if (!in.accept('='))
        return false;
    const auto value = in.number();
    if (!value)
        return false;
    command.form = Command::Form::Set;
    command.argument = std::to_string(*value < 0 ? 0 : *value);
    return true;
}

bool readBasic(Reader& in, Command& command, std::string name) {
    command.name = std::move(name);
    const auto number = in.number();
    if (!number)
        return false;
    command.number = *number;
    return true;
}

} // namespace

std::optional<std::vector<Command>> parseCommandLine(std::string_view body) {
    Reader in(normalised(body));
    std::vector<Command> commands;
    while (!in.atEnd()) {
        if (in.accept(';'))
            continue;
        Command command;
        const char c = in.next();
        bool ok = true;
        if (c == '+') {
            ok = readExtended(in, command);
        } else if (c == '&') {
            const char letter = in.next();
            ok = std::isupper(static_cast<unsigned char>(letter)) &&
                 readBasic(in, command, std::string("&") + letter);
        } else if (c == 'S') {
            ok = readRegister(in, command);
        } else if (c == 'D') {
            command.name = "D";
            command.argument = in.rest();
        } else if (std::isupper(static_cast<unsigned char>(c))) {
            ok = readBasic(in, command, std::string(1, c));
        } else {
            ok = false;
        }
        if (!ok)
            return std::nullopt;
        commands.push_back(std::move(command));
    }
    return commands;
}
