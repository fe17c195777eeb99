// padwright: the application on the Linux desktop, shown by FLTK, on the kernel's joysticks when there
// are any (or with --machine=kernel) and otherwise on the simulated machine.
#include <cstdio>

#include "framework/afxwin.h"
#include "platform/fltk/fltk_host.h"
#include "platform/linux/kernel_machine.h"
#include "platform/sim/sim_platform.h"

int main(int argc, char** argv) {
    fltkhost::FltkHost host;
    // Both platforms announce configuration changes from inside their calls; the host posts them to the
    // open dialogs, as the registered message reaches them on Windows.
    auto broadcast = [&host](UINT message, WPARAM wParam, LPARAM lParam) {
        host.BroadcastMessage(message, wParam, lParam);
    };
    if (WantsKernelMachine(argc, argv)) {
        InstallKernelMachine(broadcast);
    } else {
        std::fputs("padwright: no joystick node in /dev/input: showing the simulated machine\n", stderr);
        DefaultSimPlatform().SetBroadcast(broadcast);
    }
    return AfxWinMain(host);
}
