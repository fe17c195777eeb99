// What the tool costs on the Linux kernel's joysticks, against the 50 ms refresh period: a tick with the
// stick moving, a quiet tick, a calibration edit and a selection, on an emulated six-axis stick and pad.
// Emulated ioctls cost thousands of times what the kernel's do, so the times here are an upper bound;
// the system calls a steady tick makes, counted at the C library, are the figure that carries over.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "../../bench/period_reporter.h"
#include "dialog/padwright_dlg.h"
#include "emulated_input.h"
#include "platform/headless/headless_host.h"
#include "platform/linux/linux_platform.h"
#include "res/resource.h"
#include "syscall_count.h"
#include "under_umockdev.h"

namespace {

using headless::Window;

// A stick on js0 and a pad on js1, the kernel platform installed, and the main dialog run on them.
struct KernelDesk {
    KernelDesk() {
        SetJoystickServices(&platform);
        platform.SetBroadcast([this](UINT message, WPARAM wParam, LPARAM lParam) {
            host.BroadcastMessage(message, wParam, lParam);
        });
    }
    ~KernelDesk() { SetJoystickServices(nullptr); }
    KernelDesk(const KernelDesk&) = delete;
    KernelDesk& operator=(const KernelDesk&) = delete;

    void Run(const std::function<void(Window&)>& user) {
        host.OnDialog(IDD_PADWRIGHT_DIALOG, user);
        CPadwrightDlg dlg;
        dlg.DoModal();
    }

    emu::Testbed bed;
    emu::Controller& stick = bed.AddStick(0, 10);
    emu::Controller& pad = bed.AddPad(1, 11);
    CLinuxPlatform platform{&DefaultJoystickServices()};
    headless::HeadlessHost host;
};

void KernelTick(benchmark::State& state) {
    KernelDesk desk;
    desk.Run([&](Window& w) {
        int step = 0;
        for (auto _ : state) {
            for (int axis = 0; axis < 6; ++axis) desk.bed.Move(desk.stick, axis, (step * 977 + axis * 5000) % 65536 - 32768);
            ++step;
            w.Tick();
        }
    });
}
BENCHMARK(KernelTick);

// A tick with nothing moving; once every tick in five a refresh period passes first, so that the
// kernel's facts are fetched as on a real desk, and the system calls of those ticks are counted.
void KernelQuietTick(benchmark::State& state) {
    KernelDesk desk;
    int counted = 0;
    int calls = 0;
    desk.Run([&](Window& w) {
        w.Tick();
        int i = 0;
        for (auto _ : state) {
            if (i++ % 5 == 0) {
                state.PauseTiming();
                std::this_thread::sleep_for(std::chrono::milliseconds(REFRESH_PERIOD_MS));
                state.ResumeTiming();
                syscalls::Start();
                w.Tick();
                calls += syscalls::Stop();
                ++counted;
            } else {
                w.Tick();
            }
        }
    });
    state.counters["syscalls_per_tick"] = counted > 0 ? static_cast<double>(calls) / counted : 0.0;
    if (counted > 0 && calls > 12 * counted) state.SkipWithError("a steady tick made more than 12 system calls");
}
BENCHMARK(KernelQuietTick);

void KernelCalibrationEdit(benchmark::State& state) {
    KernelDesk desk;
    desk.Run([&](Window& w) {
        w.Click(IDC_CALIBRATED_XY);
        int value = 0;
        for (auto _ : state) w.Paste(IDC_CAL_MIN_X, std::to_string(-32768 + value++ % 40));
    });
}
BENCHMARK(KernelCalibrationEdit);

void KernelSelection(benchmark::State& state) {
    KernelDesk desk;
    desk.Run([&](Window& w) {
        for (auto _ : state) w.Click(IDC_NEXT);
    });
}
BENCHMARK(KernelSelection);

}  // namespace

int main(int argc, char** argv) {
    if (!StartUnderUmockdev(argv)) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::PeriodReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Failed() ? 1 : 0;
}
