// What the tool's handlers cost, each set against the 50 ms refresh period: one refresh tick, one
// calibration edit, one "&Next" (each on the gameport machine and on Windows 10/11), and "Clear all
// calib. data" over a joystick branch of 1,000 driver keys. Runs on the simulated machines through the
// in-memory host, so it measures our code, the framework and the simulation, not a window system.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../support/desk.h"
#include "period_reporter.h"

namespace {

using headless::Window;

// Each of the first four runs on both simulated machines: the gameport one and Windows 10/11.

// A tick with every axis of the selected joystick moving, as on a desk with a stick in use.
void Tick(benchmark::State& state, const SimMachine& machine) {
    Desk desk(machine);
    desk.Run([&](Window& w, CPadwrightDlg&) {
        desk.Tick(w);
        for (auto _ : state) desk.Tick(w);
    });
}
BENCHMARK_CAPTURE(Tick, legacy, SimMachine::Legacy());
BENCHMARK_CAPTURE(Tick, modern, SimMachine::Modern());

// A tick with nothing changed: every axis held. Nothing on screen may be rewritten.
void QuietTick(benchmark::State& state, const SimMachine& machine) {
    Desk desk(machine);
    for (int axis = 0; axis < AXIS_COUNT; ++axis) desk.sim.HoldAxis(0, axis, 300 + axis);
    int writes = 0;
    desk.Run([&](Window& w, CPadwrightDlg&) {
        // A HID device's reports reach a device object only once it is acquired: the first tick acquires
        // the held readers, the second shows the held axes, and from then on nothing changes.
        desk.Tick(w);
        desk.Tick(w);
        const int before = desk.host.TextWrites();
        for (auto _ : state) desk.Tick(w);
        writes = desk.host.TextWrites() - before;
    });
    if (writes != 0) state.SkipWithError("a tick with nothing changed rewrote control texts");
    state.counters["rewrites"] = benchmark::Counter(writes, benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(QuietTick, legacy, SimMachine::Legacy());
BENCHMARK_CAPTURE(QuietTick, modern, SimMachine::Modern());

// The user types into X minimum: read back, write, reload, write again, and the reloads the
// configuration-changed announcements bring.
void CalibrationEdit(benchmark::State& state, const SimMachine& machine) {
    Desk desk(machine);
    desk.Run([&](Window& w, CPadwrightDlg&) {
        desk.Tick(w);
        int value = 20;
        for (auto _ : state) w.Paste(IDC_CAL_MIN_X, std::to_string(value++ % 40));
    });
}
BENCHMARK_CAPTURE(CalibrationEdit, legacy, SimMachine::Legacy());
BENCHMARK_CAPTURE(CalibrationEdit, modern, SimMachine::Modern());

// "&Next": a new joystick object, its name from the registry, its units, the grid reloaded.
void Selection(benchmark::State& state, const SimMachine& machine) {
    Desk desk(machine);
    desk.Run([&](Window& w, CPadwrightDlg&) {
        for (auto _ : state) w.Click(IDC_NEXT);
    });
}
BENCHMARK_CAPTURE(Selection, legacy, SimMachine::Legacy());
BENCHMARK_CAPTURE(Selection, modern, SimMachine::Modern());

constexpr int kDriverKeys = 1000;

std::string DriverCalibrationKey(int i) {
    char name[32];
    std::snprintf(name, sizeof(name), "drv%04d.vxd<%04d>", i, i);
    return std::string(CSimPlatform::kJoystickBase) + "\\" + name + "\\JoystickSettings";
}

// The cleaner's scan over 1,000 driver keys with calibration, every key found and declined.
// No controller is installed, so the command goes straight to the scan.
void CleanerDeclineAll(benchmark::State& state) {
    Desk desk(std::vector<SimController>{});
    for (int i = 0; i < kDriverKeys; ++i) desk.sim.AddKey(DriverCalibrationKey(i));
    desk.host.SetMessageBoxHandler([](const headless::MessageBoxRecord&) { return IDNO; });
    desk.Run([&](Window& w, CPadwrightDlg&) {
        for (auto _ : state) w.Click(IDC_CLEAR_CALIBRATION);
    });
    state.counters["keys"] = kDriverKeys;
}
BENCHMARK(CleanerDeclineAll)->Unit(benchmark::kMillisecond);

// The same scan with every key confirmed and deleted; the keys come back between runs, untimed.
void CleanerDeleteAll(benchmark::State& state) {
    Desk desk(std::vector<SimController>{});
    desk.host.SetMessageBoxHandler([](const headless::MessageBoxRecord& box) {
        return (box.type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    });
    desk.Run([&](Window& w, CPadwrightDlg&) {
        for (auto _ : state) {
            state.PauseTiming();
            for (int i = 0; i < kDriverKeys; ++i) desk.sim.AddKey(DriverCalibrationKey(i));
            state.ResumeTiming();
            w.Click(IDC_CLEAR_CALIBRATION);
        }
    });
    state.counters["keys"] = kDriverKeys;
}
BENCHMARK(CleanerDeleteAll)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::PeriodReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Failed() ? 1 : 0;  // a quiet tick that rewrote text fails the run
}
