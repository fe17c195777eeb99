// padwright: the application on the Linux desktop, shown by FLTK, on the kernel's joysticks when there
// are any (or with --machine=kernel) and otherwise on the simulated machine (--machine=modern|legacy).
// --version and --help (-h) answer on standard output and open no window; with no display to open a
// window on, it says so in one sentence and ends with 1.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "platform/fltk/display.h"
#include "platform/fltk/fltk_host.h"
#include "platform/linux/kernel_machine.h"
#include "platform/sim/sim_options.h"
#include "platform/sim/sim_platform.h"
#include "res/resource.h"

namespace {

constexpr const char* kUsage = "usage: padwright [--machine=kernel|modern|legacy] [--elevated]";

constexpr const char* kHelp =
    "       padwright --version | -h | --help\n"
    "\n"
    "Tests and tunes game controllers: shows the six axes of one joystick, calibrated and raw,\n"
    "and edits its calibration.\n"
    "\n"
    "  --machine=kernel  the kernel's joysticks (/dev/input/js* and event*), even when none is\n"
    "                    plugged in; the default when a /dev/input/js* node exists. Padwright has\n"
    "                    the rights of those nodes: reading shows the axes, writing calibrates\n"
    "                    (a desktop gives them to its logged-in user; man padwright says more)\n"
    "  --machine=modern  a simulated Windows 10/11 machine with USB controllers, run by a\n"
    "                    standard user; the default when there is no joystick node\n"
    "  --machine=legacy  a simulated Windows 9x/NT machine with gameport controllers\n"
    "  --elevated        on the modern machine: run as an administrator\n"
    "  --version         print the version and exit\n"
    "  -h, --help        print this help and exit\n";

bool Given(const std::vector<std::string>& args, const char* option) {
    return std::find(args.begin(), args.end(), option) != args.end();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (Given(args, "--help") || Given(args, "-h")) {
        std::printf("%s\n%s", kUsage, kHelp);
        return 0;
    }
    if (Given(args, "--version")) {
        std::printf("Padwright %s\n", PADWRIGHT_VERSION);
        return 0;
    }
    const bool kernelAsked = args.size() == 1 && args[0] == "--machine=kernel";
    SimMachine machine;
    std::string error;
    if (!kernelAsked && !ParseSimArguments(args, &machine, &error)) {
        std::fprintf(stderr, "padwright: %s\n%s\n", error.c_str(), kUsage);
        return 2;
    }

    if (!fltkhost::DisplayOpens()) {
        const char* display = std::getenv("DISPLAY");
        const std::string name = display && *display ? std::string("\"") + display + "\"" : "(DISPLAY is not set)";
        std::fprintf(stderr, "padwright: cannot open the display %s, and Padwright needs a graphical desktop "
                             "(X11 or XWayland) to show its dialog.\n", name.c_str());
        return 1;
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
