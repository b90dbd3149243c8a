#pragma once

#include <optional>

// The command line: --help, --version, --list-ports and --print do their job and give the exit
// status; with none of them (the usual start) there is nothing to do here and the window opens.
std::optional<int> runCommandLine(int argc, char** argv);
