// A long session at the desk: refresh ticks with edits, check boxes, up-down steps, selections,
// "Default values" and configuration-change announcements in between. Afterwards every DirectInput
// interface and registry handle is released and the heap holds no more than it did early on.
// PADWRIGHT_SOAK_TICKS sets the length (default 2,000 ticks; an hour of refresh is 72,000).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../support/desk.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PW_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PW_ASAN 1
#endif

#if defined(PW_ASAN)
#include <sanitizer/allocator_interface.h>
#else
#include <malloc.h>
#endif

namespace {

using headless::Window;

// Bytes the program holds on the heap right now.
size_t HeapInUse() {
#if defined(PW_ASAN)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

int SoakTicks() {
    const char* text = std::getenv("PADWRIGHT_SOAK_TICKS");
    const int ticks = text ? std::atoi(text) : 0;
    return ticks > 0 ? ticks : 2000;
}

// Small deterministic generator, so that every run replays the same session.
class Dice {
public:
    uint32_t Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<uint32_t>(high - low + 1)); }

private:
    uint32_t m_state = 7;
};

const int kFlagBoxes[] = {IDC_CALIBRATED_XY, IDC_CALIBRATED_Z, IDC_CALIBRATED_R, IDC_CALIBRATED_U,
                          IDC_CALIBRATED_V};

// What the technician does at tick t, besides watching. Every value entered is valid, so no
// message box comes up (each box would stay in the host's record and grow the heap).
void UserAt(int t, Window& w, Dice& dice, UINT configMessage) {
    if (t % 7 == 3) {
        const int axis = dice.Between(0, AXIS_COUNT - 1);
        switch (dice.Between(0, 3)) {
        case 0: w.Paste(IDC_CAL_MIN_X + 2 * axis, std::to_string(dice.Between(-1000, 300))); break;
        case 1: w.Paste(IDC_CAL_CENTER_X + 2 * axis, std::to_string(dice.Between(200, 500))); break;
        case 2: w.Paste(IDC_CAL_MAX_X + 2 * axis, std::to_string(dice.Between(400, 1655))); break;
        default: w.Paste(IDC_DEADZONE_X + 2 * axis, std::to_string(dice.Between(0, 100))); break;
        }
    }
    if (t % 13 == 5) w.Click(kFlagBoxes[dice.Between(0, 4)]);
    if (t % 29 == 11) {
        const int axis = dice.Between(0, AXIS_COUNT - 1);
        const int spin = (dice.Between(0, 1) ? IDC_CAL_MAX_X : IDC_DEADZONE_X) + 2 * axis + 1;
        w.Spin(spin, dice.Between(0, 1) ? 1 : -1);
    }
    if (t % 97 == 41) w.Send(configMessage);
    if (t % 101 == 67) w.Click(IDC_NEXT);
    if (t % 211 == 150) w.Click(IDC_DEFAULT_VALUES);
}

TEST(Soak, AnHourOfRefreshLeavesNothingBehind) {
    const int ticks = SoakTicks();
    Desk desk;
    const int liveBefore = desk.sim.LiveInterfaces();
    const size_t keysBefore = desk.sim.OpenKeyHandles();
    const UINT configMessage = desk.sim.ConfigChangedMessage();

    // The heap after the first tenth of the run, then its highest point from there to the end.
    const int warmUp = std::max(ticks / 10, 200);
    size_t settled = 0;
    size_t peak = 0;
    size_t last = 0;
    int liveMax = 0;
    int boxes = 0;
    const auto start = std::chrono::steady_clock::now();
    desk.Run([&](Window& w, CPadwrightDlg&) {
        Dice dice;
        for (int t = 0; t < ticks; ++t) {
            desk.Tick(w);
            UserAt(t, w, dice, configMessage);
            liveMax = std::max(liveMax, desk.sim.LiveInterfaces());
            if (t + 1 == warmUp) settled = peak = HeapInUse();
            if (t + 1 > warmUp && (t % 100 == 0 || t + 1 == ticks)) peak = std::max(peak, last = HeapInUse());
        }
        boxes = static_cast<int>(desk.host.MessageBoxes().size());
        ASSERT_FALSE(w.Ended()) << "the dialog is still open after the session";
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(boxes, 0) << "only valid values were entered";
    EXPECT_EQ(desk.sim.LiveInterfaces(), liveBefore) << "every DirectInput interface is released with the dialog";
    EXPECT_LE(liveMax, 6) << "the two joystick objects hold at most three interfaces each";
    EXPECT_EQ(desk.sim.OpenKeyHandles(), keysBefore) << "every registry key opened was closed";
    EXPECT_FALSE(desk.sim.ConfigAcquired()) << "no configuration write was left acquired";
    EXPECT_GT(desk.sim.ConfigWrites(), ticks / 10) << "the edits reached the configuration store";
    // Texts on screen change length now and then (the device line, say), so a few hundred bytes
    // may come and go; a leak of even a few bytes a tick would exceed this over the run.
    constexpr size_t kSlack = 4096;
    EXPECT_LE(peak, settled + kSlack) << "heap grew from " << settled << " to " << peak << " bytes";

    std::printf("soak: %d ticks in %.1f s (%.1f us a tick with the user's actions), %d config writes; "
                "live interfaces %d before, %d after (at most %d during); open keys %zu after; heap %zu bytes "
                "after warm-up, %zu at the end, %zu at most\n",
                ticks, seconds, 1e6 * seconds / ticks, desk.sim.ConfigWrites(), liveBefore,
                desk.sim.LiveInterfaces(), liveMax, desk.sim.OpenKeyHandles(), settled, last, peak);
}

}  // namespace
