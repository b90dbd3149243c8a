#pragma once

struct SimulatorOptions;

// Opens the lines, announces them on standard output and serves them until a termination
// signal. Returns the exit status; throws std::runtime_error when the lines cannot be set up.
int runSimulator(const SimulatorOptions& options);
