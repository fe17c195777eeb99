// The simulated machine's WinMM side, its registered message, the selection of the process's services,
// the clock-driven motion of its controllers and failure injection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "joystick/joystick_services.h"
#include "platform/sim/sim_platform.h"

namespace {

// Registered during static initialisation, as the dialog does.
const UINT g_registeredAtStartup = JoystickServices().RegisterWindowMessageA("MSJSTICK_VJOYD_MSGSTR");

JOYINFOEX Read(CSimPlatform& sim, UINT id, DWORD flags, MMRESULT* result) {
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    info.dwFlags = flags;
    *result = sim.joyGetPosEx(id, &info);
    return info;
}

TEST(SimServices, TheDefaultIsTheProcessWideSimAndAnOverrideReplacesItUntilReset) {
    EXPECT_GE(g_registeredAtStartup, 0xC000u);
    EXPECT_EQ(g_registeredAtStartup, DefaultSimPlatform().ConfigChangedMessage());
    EXPECT_EQ(&JoystickServices(), &DefaultJoystickServices());

    CSimPlatform other;
    SetJoystickServices(&other);
    EXPECT_EQ(&JoystickServices(), &other);
    SetJoystickServices(nullptr);
    EXPECT_EQ(&JoystickServices(), &DefaultJoystickServices());
}

TEST(SimServices, RegisteredMessagesAreStablePerNameRegardlessOfCase) {
    CSimPlatform sim;
    const UINT first = sim.RegisterWindowMessageA("MSJSTICK_VJOYD_MSGSTR");
    EXPECT_GE(first, 0xC000u);
    EXPECT_EQ(sim.RegisterWindowMessageA("msjstick_vjoyd_msgstr"), first);
    EXPECT_NE(sim.RegisterWindowMessageA("SomethingElse"), first);
    EXPECT_EQ(sim.RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(sim.ConfigChangedMessage(), first);
}

TEST(SimWinMM, OnlyInstalledNumbersAnswerAndOthersFailWithWindowsCodes) {
    CSimPlatform sim;
    const std::vector<UINT> installed = {0, 1, 3};
    for (UINT id = 0; id < 17; ++id) {
        SCOPED_TRACE(id);
        const bool present = std::find(installed.begin(), installed.end(), id) != installed.end();
        JOYCAPSA caps{};
        MMRESULT result = sim.joyGetDevCapsA(id, &caps, sizeof(caps));
        EXPECT_EQ(result, present ? static_cast<MMRESULT>(JOYERR_NOERROR) : static_cast<MMRESULT>(JOYERR_PARMS));
        Read(sim, id, JOY_RETURNALL, &result);
        EXPECT_EQ(result, present ? static_cast<MMRESULT>(JOYERR_NOERROR) : static_cast<MMRESULT>(JOYERR_PARMS));
    }
    JOYCAPSA caps{};
    ASSERT_EQ(sim.joyGetDevCapsA(0, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(caps.wNumAxes, 6u);
    EXPECT_EQ(caps.wCaps & (JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASU | JOYCAPS_HASV),
              static_cast<UINT>(JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASU | JOYCAPS_HASV));

    MMRESULT result = 0;
    JOYINFOEX info{};
    info.dwSize = 40;  // a wrong size is refused
    info.dwFlags = JOY_RETURNALL;
    EXPECT_EQ(sim.joyGetPosEx(0, &info), static_cast<MMRESULT>(JOYERR_PARMS));
    EXPECT_EQ(sim.joyGetPosEx(0, nullptr), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(sim.joyConfigChanged(1), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));

    // A configured number whose controller is not plugged in reports itself unplugged.
    CSimPlatform empty(std::vector<SimController>{});
    DIJOYCONFIG config = empty.StoredConfig(5);
    config.hwc.dwType = JOY_HW_2A_2B_GENERIC;
    empty.StoreConfig(5, config);
    EXPECT_TRUE(empty.IsInstalled(5));
    Read(empty, 5, JOY_RETURNALL, &result);
    EXPECT_EQ(result, static_cast<MMRESULT>(JOYERR_UNPLUGGED));
}

TEST(SimWinMM, AxesMoveSmoothlyWithinTheGameportRangeAndAbsentAxesReadZero) {
    CSimPlatform sim;
    uint64_t now = 0;
    sim.SetClock([&] { return now; });
    MMRESULT result = 0;
    LONG low = 1000, high = -1000;
    LONG previous = sim.RawPosition(0, 0);
    for (now = 0; now < 20000; now += 50) {
        const JOYINFOEX raw = Read(sim, 0, JOY_RETURNALL | JOY_RETURNRAWDATA, &result);
        ASSERT_EQ(result, static_cast<MMRESULT>(JOYERR_NOERROR));
        for (DWORD value : {raw.dwXpos, raw.dwYpos, raw.dwZpos, raw.dwRpos, raw.dwUpos, raw.dwVpos}) {
            ASSERT_LE(value, 655u) << "at " << now << " ms";
        }
        const LONG x = static_cast<LONG>(raw.dwXpos);
        EXPECT_LE(std::abs(x - previous), 40) << "a 50 ms step moves the stick only a little";
        previous = x;
        low = std::min(low, x);
        high = std::max(high, x);

        const JOYINFOEX cooked = Read(sim, 0, JOY_RETURNALL, &result);
        ASSERT_LE(cooked.dwXpos, 65535u);
    }
    EXPECT_LT(low, 40);
    EXPECT_GT(high, 600);

    const JOYINFOEX pad = Read(sim, 1, JOY_RETURNALL | JOY_RETURNRAWDATA, &result);
    EXPECT_EQ(pad.dwZpos + pad.dwRpos + pad.dwUpos + pad.dwVpos, 0u) << "the gamepad has two axes";

    now = 1234;
    const LONG atTime = sim.RawPosition(0, 1);
    EXPECT_EQ(sim.RawPosition(0, 1), atTime) << "the clock alone decides the position";
    sim.HoldAxis(0, 1, 17);
    EXPECT_EQ(Read(sim, 0, JOY_RETURNALL | JOY_RETURNRAWDATA, &result).dwYpos, 17u);
    sim.ReleaseAxes(0);
    EXPECT_EQ(sim.RawPosition(0, 1), atTime);
}

TEST(SimWinMM, DegenerateCalibrationAndOversizedDeadZonesReadSafely) {
    CSimPlatform sim;
    DIJOYCONFIG config = sim.StoredConfig(1);
    config.hwc.hwv.dwCalFlags = JOY_ISCAL_XY;
    config.hwc.hwv.jrvHardware.jpMin.dwX = 300;  // no extent on either side of the centre
    config.hwc.hwv.jrvHardware.jpCenter.dwX = 300;
    config.hwc.hwv.jrvHardware.jpMax.dwX = 300;
    config.hwc.hwv.jrvHardware.jpMin.dwY = 600;  // minimum above maximum
    config.hwc.hwv.jrvHardware.jpCenter.dwY = 328;
    config.hwc.hwv.jrvHardware.jpMax.dwY = static_cast<DWORD>(-1000);
    sim.StoreConfig(1, config);
    DIJOYUSERVALUES values = sim.StoredUserValues();
    values.ruv.jpDeadZone.dwX = 0;
    values.ruv.jpDeadZone.dwY = 0;
    sim.StoreUserValues(values);

    MMRESULT result = 0;
    const struct {
        LONG raw;
        DWORD x;
        DWORD y;
    } cases[] = {{200, 0, 0}, {300, 32767, 0}, {328, 65535, 32767}, {400, 65535, 65535}};
    for (const auto& c : cases) {
        sim.HoldAxis(1, 0, c.raw);
        sim.HoldAxis(1, 1, c.raw);
        const JOYINFOEX info = Read(sim, 1, JOY_RETURNALL, &result);
        EXPECT_EQ(info.dwXpos, c.x) << "raw " << c.raw;
        EXPECT_EQ(info.dwYpos, c.y) << "raw " << c.raw;
    }

    values.ruv.jpDeadZone.dwX = 250;  // more than the whole half range
    sim.StoreUserValues(values);
    sim.HoldAxis(1, 0, 0);
    EXPECT_EQ(Read(sim, 1, JOY_RETURNALL | JOY_USEDEADZONE, &result).dwXpos, 32767u);
    EXPECT_EQ(Read(sim, 1, JOY_RETURNALL, &result).dwXpos, 0u) << "WinMM applies a dead zone only when asked to";
}

TEST(SimFailures, AChosenCallFailsTheChosenNumberOfTimesAfterTheChosenNumberOfSuccesses) {
    CSimPlatform sim;
    JOYCAPSA caps{};
    sim.FailCall(SimCall::JoyGetDevCaps, MMSYSERR_NODRIVER, 2, 1);
    EXPECT_EQ(sim.joyGetDevCapsA(0, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(sim.joyGetDevCapsA(0, &caps, sizeof(caps)), static_cast<MMRESULT>(MMSYSERR_NODRIVER));
    EXPECT_EQ(sim.joyGetDevCapsA(0, &caps, sizeof(caps)), static_cast<MMRESULT>(MMSYSERR_NODRIVER));
    EXPECT_EQ(sim.joyGetDevCapsA(0, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(sim.CallCount(SimCall::JoyGetDevCaps), 4);

    sim.FailCall(SimCall::RegOpenKey, ERROR_ACCESS_DENIED, CSimPlatform::kAlways);
    for (int i = 0; i < 3; ++i) {
        HKEY key = reinterpret_cast<HKEY>(0x1);
        EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, CSimPlatform::kJoystickBase, &key), ERROR_ACCESS_DENIED);
        EXPECT_EQ(key, nullptr);
    }
    sim.ClearFailures();
    HKEY key = nullptr;
    EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, CSimPlatform::kJoystickBase, &key), ERROR_SUCCESS);
    EXPECT_EQ(sim.RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
