// Parsing the simulated machine's command line.
#include "platform/sim/sim_options.h"

bool ParseSimArguments(const std::vector<std::string>& args, SimMachine* machine, std::string* error) {
    SimWindows windows = SimWindows::Modern;
    bool elevated = false;
    for (const std::string& arg : args) {
        if (arg == "--machine=modern") {
            windows = SimWindows::Modern;
        } else if (arg == "--machine=legacy") {
            windows = SimWindows::Legacy;
        } else if (arg == "--elevated") {
            elevated = true;
        } else {
            *error = "unknown argument '" + arg + "'";
            return false;
        }
    }
    if (elevated && windows == SimWindows::Legacy) {
        *error = "--elevated applies to the modern machine only";
        return false;
    }
    *machine = windows == SimWindows::Modern ? SimMachine::Modern(elevated) : SimMachine::Legacy();
    return true;
}
