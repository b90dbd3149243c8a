#pragma once

#include <string>

struct Command;
class ModemSettings;

enum class CommandStatus { Done, Failed, NotMine };

// Runs a command that only reads or changes settings (E, V, Q, S, I, +GMI and the like),
// appending any information text to output. Calls and resets are the modem's own business:
// for those it answers NotMine.
CommandStatus runSettingsCommand(const Command& command, ModemSettings& settings,
                                 int telephoneNumber, std::string& output);
