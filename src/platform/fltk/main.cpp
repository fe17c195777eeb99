// padwright: the application on the Linux desktop, shown by FLTK and run on the simulated machine.
#include <cstdio>
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "platform/fltk/fltk_host.h"
#include "platform/sim/sim_options.h"
#include "platform/sim/sim_platform.h"

int main(int argc, char** argv) {
    SimMachine machine;
    std::string error;
    if (!ParseSimArguments(std::vector<std::string>(argv + 1, argv + argc), &machine, &error)) {
        std::fprintf(stderr, "padwright: %s\n%s\n", error.c_str(), kSimUsage);
        return 2;
    }
    DefaultSimPlatform().Rebuild(machine);

    fltkhost::FltkHost host;
    // The sim announces configuration changes from inside its calls; the host posts them to the
    // open dialogs, as the registered message reaches them on Windows.
    DefaultSimPlatform().SetBroadcast(
        [&host](UINT message, WPARAM wParam, LPARAM lParam) { host.BroadcastMessage(message, wParam, lParam); });
    return AfxWinMain(host);
}
