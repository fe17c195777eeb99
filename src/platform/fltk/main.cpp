// padwright: the application on the Linux desktop, shown by FLTK, on the kernel's joysticks when there
// are any (or with --machine=kernel) and otherwise on the simulated machine (--machine=modern|legacy).
#include <cstdio>
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "platform/fltk/fltk_host.h"
#include "platform/linux/kernel_machine.h"
#include "platform/sim/sim_options.h"
#include "platform/sim/sim_platform.h"

namespace {

constexpr const char* kUsage = "usage: padwright [--machine=kernel|modern|legacy] [--elevated]";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool kernelAsked = args.size() == 1 && args[0] == "--machine=kernel";
    SimMachine machine;
    std::string error;
    if (!kernelAsked && !ParseSimArguments(args, &machine, &error)) {
        std::fprintf(stderr, "padwright: %s\n%s\n", error.c_str(), kUsage);
        return 2;
    }

    fltkhost::FltkHost host;
    // Both platforms announce configuration changes from inside their calls; the host posts them to the
    // open dialogs, as the registered message reaches them on Windows.
    auto broadcast = [&host](UINT message, WPARAM wParam, LPARAM lParam) {
        host.BroadcastMessage(message, wParam, lParam);
    };
    if (kernelAsked || (args.empty() && WantsKernelMachine(argc, argv))) {
        InstallKernelMachine(broadcast);
    } else {
        if (args.empty()) {
            std::fputs("padwright: no joystick node in /dev/input: showing the simulated machine\n", stderr);
        }
        DefaultSimPlatform().Rebuild(machine);
        DefaultSimPlatform().SetBroadcast(broadcast);
    }
    return AfxWinMain(host);
}
