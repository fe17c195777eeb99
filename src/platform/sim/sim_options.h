// The command line of the programs that run on the simulated platform: which machine to simulate.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"

// "--machine=modern|legacy [--elevated]"; no argument at all gives the modern machine, run by a
// standard user.
inline constexpr const char* kSimUsage = "usage: padwright [--machine=modern|legacy] [--elevated]";

// Reads the arguments (without the program name) into *machine. False, with a one-line reason in
// *error, for anything it does not know; *machine is then untouched.
bool ParseSimArguments(const std::vector<std::string>& args, SimMachine* machine, std::string* error);
