// The Windows facts Padwright relies on, written once as checks over the joystick services: run against
// the simulated Windows 10/11 machine in the unit tests, and against the real system by
// padwright-contract.exe (under Wine in the tests, by hand on a Windows 10/11 machine).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "joystick/joystick_services.h"

namespace contract {

enum class Verdict { Ok, Failed, NotAnswered };

struct Line {
    std::string fact;    // what is checked, with the note's item it comes from
    Verdict verdict;
    std::string detail;  // what the system answered, where that says more than the verdict
};

// What the checks need beside the services: an instance handle for DirectInput, a top-level window for
// the configuration interface, and a pause that lets the system take in a write (none for the sim).
struct System {
    CJoystickServices& services;
    HINSTANCE instance;
    HWND window;
    std::function<void()> settle;
};

// Runs every check in order and restores every value it changed. The checks that need a controller take
// the first joystick number read through DirectInput that is attached.
std::vector<Line> Run(const System& system);

// "ok: <fact>", "failed: <fact> (<detail>)" or "not answered by this system: <fact> (<detail>)".
std::string Describe(const Line& line);
// 1 when a check this system answers failed, else 0.
int ExitCode(const std::vector<Line>& lines);

}  // namespace contract
