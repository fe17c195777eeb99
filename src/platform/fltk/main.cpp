// padwright: the application on the Linux desktop, shown by FLTK and run on the simulated machine.
#include "framework/afxwin.h"
#include "platform/fltk/fltk_host.h"
#include "platform/sim/sim_platform.h"

int main() {
    fltkhost::FltkHost host;
    // The sim announces configuration changes from inside its calls; the host posts them to the
    // open dialogs, as the registered message reaches them on Windows.
    DefaultSimPlatform().SetBroadcast(
        [&host](UINT message, WPARAM wParam, LPARAM lParam) { host.BroadcastMessage(message, wParam, lParam); });
    return AfxWinMain(host);
}
