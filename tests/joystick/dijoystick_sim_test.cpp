// CDIJoystick on the simulated platform: the state the object is left in when Open fails at each step,
// and end-to-end saves, loads and reads through DirectInput and WinMM.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "joystick/dijoystick.h"
#include "joystick/joystick_services.h"
#include "platform/sim/sim_platform.h"

namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);
const HWND kOwner = reinterpret_cast<HWND>(0x1234);
constexpr HRESULT kFailure = static_cast<HRESULT>(0x80041234u);

template <typename Record>
bool AllZero(const Record& record) {
    static const Record zero{};
    return std::memcmp(&record, &zero, sizeof(Record)) == 0;
}

class DIJoystickOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        sim.SetClock([this] { return now; });
        SetJoystickServices(&sim);
    }
    void TearDown() override {
        SetJoystickServices(nullptr);
        EXPECT_EQ(sim.LiveInterfaces(), 0) << "every DirectInput object released";
    }

    // One calibrated and one raw DirectInput read of joystick `id`, as the live monitor does them.
    void ReadBoth(CDIJoystick& joystick, WORD id, DIJOYSTATE* cooked, DIJOYSTATE* raw) {
        joystick.Open(kOwner, id, FALSE);
        joystick.ReadState();
        *cooked = joystick.m_state;
        joystick.Open(kOwner, id, TRUE);
        joystick.ReadState();
        *raw = joystick.m_state;
    }

    DWORD WinMM(UINT id, DWORD flags, int axis) {
        JOYINFOEX info{};
        info.dwSize = sizeof(info);
        info.dwFlags = flags;
        EXPECT_EQ(sim.joyGetPosEx(id, &info), static_cast<MMRESULT>(JOYERR_NOERROR));
        const DWORD values[] = {info.dwXpos, info.dwYpos, info.dwZpos, info.dwRpos, info.dwUpos, info.dwVpos};
        return values[axis];
    }

    uint64_t now = 1000;
    CSimPlatform sim;
};

struct FailStep {
    const char* name;
    SimCall call;
    int after;       // calls of the same kind let through first
    bool open;       // IsOpen afterwards
    int directInputs, joyConfigs, devices;
    bool configLoaded, userValuesLoaded;
};

class OpenFailure : public DIJoystickOnSim, public ::testing::WithParamInterface<FailStep> {};

TEST_P(OpenFailure, LeavesWhatItObtainedHeldUntilTheNextClose) {
    const FailStep& step = GetParam();
    CDIJoystick joystick(kInstance);
    sim.FailCall(step.call, kFailure, 1, step.after);

    EXPECT_EQ(joystick.Open(kOwner, 0, FALSE), kFailure);
    EXPECT_EQ(joystick.IsOpen(), step.open ? TRUE : FALSE);
    EXPECT_EQ(sim.LiveInterfaces(SimObject::DirectInput), step.directInputs);
    EXPECT_EQ(sim.LiveInterfaces(SimObject::JoyConfig), step.joyConfigs);
    EXPECT_EQ(sim.LiveInterfaces(SimObject::Device), step.devices);

    const DIJOYCONFIG stored = sim.StoredConfig(0);
    if (step.configLoaded) {
        EXPECT_TRUE(IsEqualGUID(joystick.m_config.guidInstance, stored.guidInstance));
        EXPECT_EQ(std::memcmp(&joystick.m_config.hwc, &stored.hwc, sizeof(stored.hwc)), 0);
    } else if (step.call == SimCall::GetConfig) {
        EXPECT_EQ(joystick.m_config.dwSize, 1160u) << "cleared with its size set, then the load failed";
        EXPECT_TRUE(IsEqualGUID(joystick.m_config.guidInstance, GUID_NULL));
    } else {
        EXPECT_TRUE(AllZero(joystick.m_config));
    }
    if (step.userValuesLoaded) {
        EXPECT_EQ(joystick.m_userValues.ruv.jpDeadZone.dwX, 5u);
    } else {
        EXPECT_EQ(joystick.m_userValues.ruv.jpDeadZone.dwX, 0u);
    }

    const int polls = sim.CallCount(SimCall::Poll);
    const int reads = sim.CallCount(SimCall::GetDeviceState);
    const HRESULT read = joystick.ReadState();
    if (!step.open) {
        EXPECT_EQ(read, S_OK);
        EXPECT_TRUE(AllZero(joystick.m_state));
    } else {
        // The device an Open obtained before failing is still polled and read.
        EXPECT_GT(sim.CallCount(SimCall::Poll), polls);
        EXPECT_EQ(sim.CallCount(SimCall::GetDeviceState), reads + 1);
    }

    EXPECT_EQ(joystick.Close(), S_OK);
    EXPECT_EQ(sim.LiveInterfaces(), 0);
    EXPECT_FALSE(joystick.IsOpen());
    EXPECT_TRUE(AllZero(joystick.m_config) && AllZero(joystick.m_userValues) && AllZero(joystick.m_state));

    sim.ClearFailures();
    EXPECT_EQ(joystick.Open(kOwner, 0, FALSE), DI_OK) << "a closed object can always be opened again";
}

INSTANTIATE_TEST_SUITE_P(
    Steps3To12, OpenFailure,
    ::testing::Values(FailStep{"Step3_DirectInputCreate", SimCall::DirectInputCreate, 0, false, 0, 0, 0, false, false},
                      FailStep{"Step4_QueryJoyConfig", SimCall::DIQueryInterface, 0, false, 1, 0, 0, false, false},
                      FailStep{"Step5_GetConfig", SimCall::GetConfig, 0, false, 1, 1, 0, false, false},
                      FailStep{"Step6_GetUserValues", SimCall::GetUserValues, 0, false, 1, 1, 0, true, false},
                      FailStep{"Step7_CreateDevice", SimCall::CreateDevice, 0, false, 1, 1, 0, true, true},
                      FailStep{"Step7_QueryDevice2", SimCall::DeviceQueryInterface, 0, false, 1, 1, 0, true, true},
                      FailStep{"Step8_Unacquire", SimCall::DeviceUnacquire, 0, true, 1, 1, 1, true, true},
                      FailStep{"Step9_SetDataFormat", SimCall::SetDataFormat, 0, true, 1, 1, 1, true, true},
                      FailStep{"Step10_SetCooperativeLevel", SimCall::DeviceSetCooperativeLevel, 0, true, 1, 1, 1, true, true},
                      FailStep{"Step11_SetRange", SimCall::SetProperty, 0, true, 1, 1, 1, true, true},
                      FailStep{"Step12_SetCalibrationMode", SimCall::SetProperty, 1, true, 1, 1, 1, true, true}),
    [](const ::testing::TestParamInfo<FailStep>& info) { return std::string(info.param.name); });

TEST_F(DIJoystickOnSim, SavedConfigurationAndUserValuesLoadBackIncludingANegativeMinimum) {
    UINT announced = 0;
    int broadcasts = 0;
    sim.SetBroadcast([&](UINT msg, WPARAM, LPARAM) {
        announced = msg;
        ++broadcasts;
    });
    {
        CDIJoystick joystick(kInstance);
        ASSERT_EQ(joystick.Open(kOwner, 1, TRUE), DI_OK);
        ASSERT_TRUE(joystick.IsOpen());
        JOYRANGE& range = joystick.m_config.hwc.hwv.jrvHardware;
        range.jpMin.dwX = static_cast<DWORD>(-1000);
        range.jpCenter.dwX = 300;
        range.jpMax.dwX = 1655;
        range.jpMin.dwY = 10;
        range.jpCenter.dwY = 320;
        range.jpMax.dwY = 600;
        joystick.m_config.hwc.hwv.dwCalFlags = JOY_ISCAL_XY | JOY_ISCAL_V;
        joystick.m_userValues.ruv.jpDeadZone = JOYPOS{7, 8, 9, 10, 11, 12};
        EXPECT_EQ(joystick.SaveUserValues(), DI_OK);
        EXPECT_EQ(joystick.SaveConfig(DIJC_REGHWCONFIGTYPE), DI_OK);
        EXPECT_FALSE(sim.ConfigAcquired()) << "each save unacquires the configuration store";
    }
    EXPECT_EQ(sim.ConfigWrites(), 2);
    EXPECT_EQ(broadcasts, 2) << "SendNotify announces each write";
    EXPECT_EQ(announced, sim.RegisterWindowMessageA("MSJSTICK_VJOYD_MSGSTR"));

    CDIJoystick joystick(kInstance);
    ASSERT_EQ(joystick.Open(kOwner, 1, FALSE), DI_OK);
    const JOYREGHWVALUES& hwv = joystick.m_config.hwc.hwv;
    EXPECT_EQ(static_cast<LONG>(hwv.jrvHardware.jpMin.dwX), -1000);
    EXPECT_EQ(hwv.jrvHardware.jpCenter.dwX, 300u);
    EXPECT_EQ(hwv.jrvHardware.jpMax.dwX, 1655u);
    EXPECT_EQ(hwv.jrvHardware.jpMax.dwY, 600u);
    EXPECT_EQ(hwv.dwCalFlags, static_cast<DWORD>(JOY_ISCAL_XY | JOY_ISCAL_V));
    const JOYPOS& dead = joystick.m_userValues.ruv.jpDeadZone;
    EXPECT_EQ(std::vector<DWORD>({dead.dwX, dead.dwY, dead.dwZ, dead.dwR, dead.dwU, dead.dwV}),
              std::vector<DWORD>({7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(joystick.m_config.hwc.dwType, static_cast<DWORD>(JOY_HW_2B_GAMEPAD)) << "other members pass unchanged";
}

TEST_F(DIJoystickOnSim, ASaveThatFailsAfterAcquireKeepsTheStoreAcquiredUntilClose) {
    CDIJoystick joystick(kInstance);
    ASSERT_EQ(joystick.Open(kOwner, 0, TRUE), DI_OK);
    sim.FailCall(SimCall::SetConfig, kFailure);
    EXPECT_EQ(joystick.SaveConfig(DIJC_REGHWCONFIGTYPE), kFailure);
    EXPECT_TRUE(sim.ConfigAcquired());
    EXPECT_EQ(sim.Notifications(), 0) << "no notification for a failed write";
    joystick.Close();
    EXPECT_FALSE(sim.ConfigAcquired());
}

TEST_F(DIJoystickOnSim, OpeningAnotherNumberHoldsOnlyThatNumbersData) {
    CDIJoystick joystick(kInstance);
    ASSERT_EQ(joystick.Open(kOwner, 0, FALSE), DI_OK);
    ASSERT_EQ(joystick.Open(kOwner, 3, FALSE), DI_OK);
    EXPECT_EQ(sim.LiveInterfaces(), 3) << "one DirectInput object, one configuration interface, one device";
    const DIJOYCONFIG stored = sim.StoredConfig(3);
    EXPECT_TRUE(IsEqualGUID(joystick.m_config.guidInstance, stored.guidInstance));
    EXPECT_EQ(std::memcmp(&joystick.m_config, &stored, sizeof(stored)), 0);

    sim.HoldAxis(3, 2, 111);
    sim.HoldAxis(0, 2, 555);
    ASSERT_EQ(joystick.Open(kOwner, 3, TRUE), DI_OK);
    ASSERT_EQ(joystick.ReadState(), DI_OK);
    EXPECT_EQ(joystick.m_state.lZ, 111);

    // Number 2 has no controller: its configuration loads empty and no device can be created.
    EXPECT_EQ(joystick.Open(kOwner, 2, FALSE), DIERR_DEVICENOTREG);
    EXPECT_FALSE(joystick.IsOpen());
    EXPECT_TRUE(IsEqualGUID(joystick.m_config.guidInstance, GUID_NULL));
    EXPECT_EQ(joystick.m_config.dwSize, 1160u);
    EXPECT_EQ(joystick.m_userValues.dwSize, 1128u);
    EXPECT_EQ(joystick.ReadState(), S_OK);
    EXPECT_TRUE(AllZero(joystick.m_state));
}

TEST_F(DIJoystickOnSim, CalibrationChangesCalibratedReadsButNotRawOnes) {
    CDIJoystick joystick(kInstance);
    sim.HoldAxis(1, 0, 250);
    sim.HoldAxis(1, 1, 328);
    DIJOYSTATE cooked{}, raw{};

    // Uncalibrated: the nominal 0..328..655 applies; X is below centre, Y at it.
    ReadBoth(joystick, 1, &cooked, &raw);
    EXPECT_EQ(raw.lX, 250);
    EXPECT_EQ(raw.lY, 328);
    EXPECT_LT(cooked.lX, 32767);
    EXPECT_EQ(cooked.lY, 32767);
    EXPECT_EQ(WinMM(1, JOY_RETURNALL | JOY_RETURNRAWDATA, 0), 250u);
    const DWORD before = WinMM(1, JOY_RETURNALL | JOY_USEDEADZONE, 0);
    EXPECT_EQ(static_cast<LONG>(before), cooked.lX) << "WinMM and DirectInput calibrate alike over 0..65535";

    // Calibrate X so that 250 is its centre, with no dead zone.
    ASSERT_EQ(joystick.Open(kOwner, 1, TRUE), DI_OK);
    JOYRANGE& range = joystick.m_config.hwc.hwv.jrvHardware;
    range.jpMin.dwX = 100;
    range.jpCenter.dwX = 250;
    range.jpMax.dwX = 400;
    range.jpMin.dwY = 0;
    range.jpCenter.dwY = 328;
    range.jpMax.dwY = 655;
    joystick.m_config.hwc.hwv.dwCalFlags = JOY_ISCAL_XY;
    joystick.m_userValues.ruv.jpDeadZone = JOYPOS{0, 0, 0, 0, 0, 0};
    ASSERT_EQ(joystick.SaveUserValues(), DI_OK);
    ASSERT_EQ(joystick.SaveConfig(DIJC_REGHWCONFIGTYPE), DI_OK);

    ReadBoth(joystick, 1, &cooked, &raw);
    EXPECT_EQ(raw.lX, 250) << "raw reads ignore calibration";
    EXPECT_EQ(cooked.lX, 32767);
    EXPECT_EQ(WinMM(1, JOY_RETURNALL, 0), 32767u);
    EXPECT_EQ(WinMM(1, JOY_RETURNALL | JOY_RETURNRAWDATA, 0), 250u);

    sim.HoldAxis(1, 0, 400);
    ReadBoth(joystick, 1, &cooked, &raw);
    EXPECT_EQ(cooked.lX, 65535);
    sim.HoldAxis(1, 0, 40);
    ReadBoth(joystick, 1, &cooked, &raw);
    EXPECT_EQ(cooked.lX, 0) << "beyond the calibrated minimum reads as the end of the range";
    EXPECT_EQ(raw.lX, 40);
}

TEST_F(DIJoystickOnSim, TheDeadZoneHoldsSmallDeflectionsAtTheCentre) {
    CDIJoystick joystick(kInstance);
    sim.HoldAxis(1, 0, 328 + 10);  // about 3% of the half range off centre
    DIJOYSTATE cooked{}, raw{};
    ReadBoth(joystick, 1, &cooked, &raw);
    EXPECT_EQ(cooked.lX, 32767) << "inside the default 5% dead zone of X";
    EXPECT_EQ(raw.lX, 338);

    ASSERT_EQ(joystick.Open(kOwner, 1, TRUE), DI_OK);
    joystick.m_userValues.ruv.jpDeadZone.dwX = 0;
    ASSERT_EQ(joystick.SaveUserValues(), DI_OK);
    ReadBoth(joystick, 1, &cooked, &raw);
    EXPECT_GT(cooked.lX, 32767);
    EXPECT_EQ(raw.lX, 338);
}

}  // namespace
