// Choosing and installing the kernel platform for the desktop program.
#include "platform/linux/kernel_machine.h"

#include <cstring>

#include "platform/linux/linux_platform.h"
#include "res/templates.h"

bool WantsKernelMachine(int argc, char** argv) {
    constexpr const char* kOption = "--machine=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kOption, std::strlen(kOption)) == 0) {
            return std::strcmp(argv[i] + std::strlen(kOption), "kernel") == 0;
        }
    }
    return LinuxJoystickNodesExist();
}

void InstallKernelMachine(std::function<void(UINT, WPARAM, LPARAM)> broadcast) {
    // Lives for the whole run; the message numbers stay those the dialog registered at start-up.
    static CLinuxPlatform platform(&DefaultJoystickServices());
    platform.SetBroadcast(std::move(broadcast));
    res::SelectInterfaceNames(res::InterfaceNames::LinuxKernel);
    SetJoystickServices(&platform);
}
