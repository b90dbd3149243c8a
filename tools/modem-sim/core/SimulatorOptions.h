#pragma once

#include "LineOptions.h"

#include <string>
#include <vector>

struct SimulatorOptions {
    std::vector<LineOptions> lines;
    std::vector<std::string> links; // link k names line k; there may be fewer links than lines
    Millis ringInterval = 2000;
    bool help = false;
};

// Reads the command-line arguments (without the program name). On a mistake returns false and
// says what is wrong in error.
bool parseSimulatorOptions(const std::vector<std::string>& args, SimulatorOptions& options,
                           std::string& error);

const char* simulatorUsage();
