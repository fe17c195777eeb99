// padwright-sim.exe: the program on real Win32 dialogs over the simulated joystick machine, for
// demonstrations and for tests where no controller is attached.
#include "framework/afxwin.h"
#include "platform/sim/sim_platform.h"
#include "platform/win32/win32_host.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    win32::Win32Host host;
    // The simulated machine announces configuration changes itself; on Windows the system does.
    DefaultSimPlatform().SetBroadcast(
        [&host](UINT message, WPARAM wParam, LPARAM lParam) { host.BroadcastMessage(message, wParam, lParam); });
    const int result = AfxWinMain(host);
    DefaultSimPlatform().SetBroadcast(nullptr);
    return result;
}
