#pragma once

#include <QString>

#include <optional>

// How the window starts, as the command line asks.
struct StartOptions {
    bool capture = false; // capture on from the start, whatever was chosen last
    QString timeline;     // a saved capture to show in the timeline window alone
    bool demo = false;    // on simulated modems, with settings of its own (Demo)
};

// The command line: --help, --version, --list-ports and --print do their job and give the exit
// status; with none of them (the usual start) the window opens, as `start` says.
std::optional<int> runCommandLine(int argc, char** argv, StartOptions& start);
