// Choosing the Linux kernel's joysticks for the desktop program, and installing them for the run.
#pragma once

#include <functional>

#include "joystick/platform_api.h"

// True when the program should run on the kernel: asked for with --machine=kernel, or, when no
// --machine option is given, whenever a joystick node exists.
bool WantsKernelMachine(int argc, char** argv);

// Installs the kernel platform as the process's joystick services for the rest of the run, with the
// kernel's group titles; `broadcast` posts the configuration-changed message to the open dialogs.
void InstallKernelMachine(std::function<void(UINT message, WPARAM wParam, LPARAM lParam)> broadcast);
