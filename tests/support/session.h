// A technician's session for the scenario tests: a fresh simulated machine with a hand-driven
// clock, the in-memory host, and the main dialog run modally with a script for the user's part.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "dialog/padwright_dlg.h"
#include "platform/headless/headless_host.h"
#include "platform/sim/sim_platform.h"
#include "res/resource.h"

class Session : public ::testing::Test {
protected:
    explicit Session(const std::vector<SimController>& controllers = CSimPlatform::DefaultControllers())
        : sim(controllers) {}
    explicit Session(const SimMachine& machine) : sim(machine) {}

    void SetUp() override {
        SetJoystickServices(&sim);
        sim.SetClock([this] { return now; });
        sim.SetBroadcast([this](UINT message, WPARAM wParam, LPARAM lParam) {
            host.BroadcastMessage(message, wParam, lParam);
        });
    }
    void TearDown() override { SetJoystickServices(nullptr); }

    // Runs the main dialog; `user` acts once it is initialised. Returns DoModal's result.
    INT_PTR Run(std::function<void(headless::Window&)> user) {
        host.OnDialog(IDD_PADWRIGHT_DIALOG, std::move(user));
        CPadwrightDlg dlg;
        return dlg.DoModal();
    }

    // Lets `ms` milliseconds pass on the machine's clock and delivers the timer ticks of that time.
    void Wait(headless::Window& w, int ms) {
        for (int t = 0; t < ms; t += REFRESH_PERIOD_MS) {
            now += REFRESH_PERIOD_MS;
            w.Tick();
        }
    }

    static std::string Line(const headless::Window& w) { return w.Text(IDC_POLLED_DEVICE); }

    uint64_t now = 1000;
    CSimPlatform sim;
    headless::HeadlessHost host;
};
