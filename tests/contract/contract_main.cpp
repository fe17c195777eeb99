// padwright-contract.exe: the Windows contract against the system it runs on. One line a check; exit
// code 1 when a check this system answers fails, 0 otherwise. Not part of what users get.
#include <windows.h>

#include <cstdio>

#include "windows_contract.h"

int main() {
    // The configuration interface wants a top-level window; this one is never shown.
    HWND window = CreateWindowExA(0, "STATIC", "padwright-contract", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    const contract::System system{JoystickServices(), GetModuleHandleA(nullptr), window, [] { Sleep(200); }};
    const std::vector<contract::Line> lines = contract::Run(system);
    for (const contract::Line& line : lines) std::printf("%s\n", contract::Describe(line).c_str());
    std::fflush(stdout);
    if (window != nullptr) DestroyWindow(window);
    return contract::ExitCode(lines);
}
