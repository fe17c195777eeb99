// padwright-sim.exe: the program on real Win32 dialogs over the simulated joystick machine, for
// demonstrations and for tests where no controller is attached.
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include <shellapi.h>
#include "platform/sim/sim_options.h"
#include "platform/sim/sim_platform.h"
#include "platform/win32/win32_host.h"

namespace {

// The arguments after the program name, split as the C runtime splits them.
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<size_t>(size - 1) : 0, '\0');
        if (size > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SimMachine machine;
    std::string error;
    if (!ParseSimArguments(Arguments(), &machine, &error)) {
        const std::string text = "padwright-sim: " + error + "\n" + kSimUsage;
        MessageBoxA(nullptr, text.c_str(), "Padwright", MB_OK | MB_ICONERROR);
        return 2;
    }
    DefaultSimPlatform().Rebuild(machine);

    win32::Win32Host host;
    // The simulated machine announces configuration changes itself; on Windows the system does.
    DefaultSimPlatform().SetBroadcast(
        [&host](UINT message, WPARAM wParam, LPARAM lParam) { host.BroadcastMessage(message, wParam, lParam); });
    const int result = AfxWinMain(host);
    DefaultSimPlatform().SetBroadcast(nullptr);
    return result;
}
