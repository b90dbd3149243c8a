#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One command of a command line, as written; whether the modem knows it is decided when it runs.
struct Command {
    enum class Form { Action, Set, Query, Test };

    std::string name; // "E", "&F", "S", "D", "+GMI": upper case
    int number = -1;  // the number after a basic command, or the S-register; -1 when absent
    Form form = Form::Action;
    std::string argument; // the value of a Set, or the dial string
};

// Splits the text after "AT" into commands. Spaces are ignored and letters are taken in upper
// case. Returns nothing when the line is not well formed.
std::optional<std::vector<Command>> parseCommandLine(std::string_view body);
