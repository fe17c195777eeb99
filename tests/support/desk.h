// A technician's desk for the programs that drive the main dialog outside GoogleTest (benchmarks,
// soak runs, fuzzers): a simulated machine with a hand-driven clock and the in-memory host.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "dialog/padwright_dlg.h"
#include "joystick/joystick_services.h"
#include "platform/headless/headless_host.h"
#include "platform/sim/sim_platform.h"
#include "res/resource.h"

class Desk {
public:
    explicit Desk(const std::vector<SimController>& controllers = CSimPlatform::DefaultControllers())
        : Desk(LegacyMachine(controllers)) {}
    explicit Desk(const SimMachine& machine) : sim(machine) {
        SetJoystickServices(&sim);
        sim.SetClock([this] { return now; });
        sim.SetBroadcast([this](UINT message, WPARAM wParam, LPARAM lParam) {
            host.BroadcastMessage(message, wParam, lParam);
        });
    }
    ~Desk() { SetJoystickServices(nullptr); }
    static SimMachine LegacyMachine(const std::vector<SimController>& controllers) {
        SimMachine machine;
        machine.controllers = controllers;
        return machine;
    }
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    // Runs the main dialog modally; `user` acts once it is initialised and may reach the dialog
    // object itself. Returns DoModal's result.
    INT_PTR Run(const std::function<void(headless::Window&, CPadwrightDlg&)>& user) {
        CPadwrightDlg dlg;
        host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](headless::Window& w) { user(w, dlg); });
        return dlg.DoModal();
    }

    // One refresh period passes: the clock moves on and the timer fires.
    void Tick(headless::Window& w) {
        now += REFRESH_PERIOD_MS;
        w.Tick();
    }

    uint64_t now = 1000;
    CSimPlatform sim;
    headless::HeadlessHost host;
};
