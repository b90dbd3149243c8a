#include "SimulatorLoop.h"
#include "SimulatorOptions.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    SimulatorOptions options;
    std::string error;
    if (!parseSimulatorOptions(args, options, error)) {
        std::fprintf(stderr, "duplink-modem-sim: %s\nTry 'duplink-modem-sim --help'.\n",
                     error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(simulatorUsage(), stdout);
        return 0;
    }
    try {
        return runSimulator(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "duplink-modem-sim: %s\n", e.what());
        return 1;
    }
}
