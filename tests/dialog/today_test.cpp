// The dialog on a Windows 10/11 machine: names looked up per user and through the OEM branch,
// calibration kept in the device's own units, and writes that Windows refuses.
#include <cstring>

#include "../support/session.h"

namespace {

using headless::Window;

const std::string kOem = CSimPlatform::kOemBranch;

class Today : public Session {
protected:
    explicit Today(SimMachine machine = SimMachine::Modern()) : Session(machine) {}
    JOYRANGE Stored(UINT number = 0) { return sim.StoredConfig(number).hwc.hwv.jrvHardware; }
    DWORD Flags(UINT number = 0) { return sim.StoredConfig(number).hwc.hwv.dwCalFlags; }
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& box : host.MessageBoxes()) texts.push_back(box.text);
        return texts;
    }
};

TEST_F(Today, NamesComeFromTheCurrentUsersSettingsThroughTheOemBranch) {
    // The gamepad's display name only under HKEY_CURRENT_USER; the wheel's OEM key without a name.
    ASSERT_TRUE(sim.SetStringValue(HKEY_CURRENT_USER, kOem + "\\VID_1209&PID_5702", "OEMName", "Pad (per user)"));
    ASSERT_TRUE(sim.SetValue(HKEY_LOCAL_MACHINE, kOem + "\\VID_1209&PID_5702", "OEMName", REG_DWORD, "\1\0\0\0", 4));
    ASSERT_TRUE(sim.SetValue(HKEY_LOCAL_MACHINE, kOem + "\\VID_1209&PID_5703", "OEMName", REG_DWORD, "\1\0\0\0", 4));
    // A leftover, empty settings key under the local machine hides none of the user's names.
    ASSERT_TRUE(sim.AddKey(HKEY_LOCAL_MACHINE, std::string(CSimPlatform::kJoystickBase) + "\\DINPUT.DLL\\CurrentJoystickSettings"));
    Run([&](Window& w) {
        EXPECT_EQ(Line(w), "0: Virtual HOTAS Stick (USB)");
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "1: Pad (per user)") << "a key without the name under HKLM, the name under HKCU";
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "2: VID_1209&PID_5703") << "no usable display name: the value itself";
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "3: not installed!");
    });
    EXPECT_EQ(sim.OpenKeyHandles(), 0u);
}

TEST_F(Today, ASixteenBitCalibrationIsEditedInItsOwnUnits) {
    Run([&](Window& w) {
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "65535");
        EXPECT_EQ(w.SpinRange(IDC_CAL_MAX_X + 1), std::make_pair(0, 65535));
        w.Paste(IDC_CAL_MAX_X, "60000");
        EXPECT_EQ(Stored().jpMax.dwX, 60000u);
        EXPECT_EQ(Stored().jpMax.dwY, 65535u) << "the other values are written as loaded";

        w.Paste(IDC_CAL_MIN_X + 2, "70000");
        EXPECT_EQ(Boxes(), std::vector<std::string>{"Please enter an integer between 0 and 65535."});
        EXPECT_EQ(w.FocusId(), IDC_CAL_MIN_X + 2);
        EXPECT_EQ(Stored().jpMin.dwY, 0u);
        EXPECT_EQ(Stored().jpMax.dwX, 60000u);
    });
}

// DirectInput 5's configuration interface refused, DirectInput 8's taken, and, as on Wine, no user values
// from it: both DirectInput columns live, the Raw column in the pad's own units (a DirectInput 5 device
// would read calibrated values there), and an edit writes nothing over a grid that did not load.
TEST_F(Today, TheDirectInputColumnsLiveThroughDirectInput8AndRawReadsRaw) {
    sim.HoldAxis(1, 2, 1023);
    sim.FailCall(SimCall::GetUserValues, E_NOTIMPL, CSimPlatform::kAlways);
    Run([&](Window& w) {
        w.Click(IDC_NEXT);
        Wait(w, 50);
        // A HID device's state arrives in reports after Acquire: the first read is the default state.
        EXPECT_EQ(w.Text(IDC_DI_COOKED_Z), "32767");
        Wait(w, 50);
        EXPECT_EQ(w.Text(IDC_DI_COOKED_Z), "65535");
        EXPECT_EQ(w.Text(IDC_DI_RAW_Z), "01023");
        sim.ReleaseAxes(1);
        const std::string cooked = w.Text(IDC_DI_COOKED_X);
        const std::string raw = w.Text(IDC_DI_RAW_X);
        Wait(w, 700);
        EXPECT_NE(w.Text(IDC_DI_COOKED_X), cooked) << "the calibrated column follows the moving stick";
        EXPECT_NE(w.Text(IDC_DI_RAW_X), raw) << "the raw column follows the moving stick";
        const int writes = sim.ConfigWrites();
        w.Paste(IDC_CAL_MAX_X, "600");
        EXPECT_EQ(sim.ConfigWrites(), writes);
    });
}

// Marking an axis uncalibrated and calibrated again, or "Default values", never leaves a 16-bit
// axis calibrated over the gameport's 0..655.
TEST_F(Today, UncalibratedAxesKeepTheirOwnRangeAndDefaultsWriteNoGameportNumbers) {
    Run([&](Window& w) {
        EXPECT_EQ(w.Text(IDC_CAL_CENTER_X + 2 * 3), "32767") << "R is not calibrated: its own range";
        w.Click(IDC_CALIBRATED_Z);  // off
        EXPECT_EQ(Flags() & JOY_ISCAL_Z, 0u);
        w.Click(IDC_CALIBRATED_Z);  // on again
        EXPECT_NE(Flags() & JOY_ISCAL_Z, 0u);
        EXPECT_EQ(Stored().jpMin.dwZ, 0u);
        EXPECT_EQ(Stored().jpCenter.dwZ, 32767u);
        EXPECT_EQ(Stored().jpMax.dwZ, 65535u);

        // "Default values" writes the axis's own range, not the one stored when it was selected.
        w.Paste(IDC_CAL_MIN_X, "20000");
        for (int i = 0; i < 16; ++i) w.Click(IDC_NEXT);
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "20000");
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_EQ(Flags(), 0u);
        EXPECT_EQ(Stored().jpMin.dwX, 0u);
        EXPECT_EQ(Stored().jpMax.dwX, 65535u);
        EXPECT_EQ(Stored().jpCenter.dwV, 32767u);
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "65535");
        EXPECT_TRUE(Boxes().empty());
    });
}

// Each kind of pad, told apart by what the platform says of its axes and never by what it stores:
// ticking, a dead-zone edit and "Default values" leave what a game reads as it was, a value beyond the
// axis is refused with the axis's own bounds, and an axis the pad lacks is never written.
TEST_F(Today, EachPadIsEditedInItsOwnUnitsAndOrdinaryActionsKeepWhatGamesRead) {
    struct Pad {
        UINT number;
        LONG max;
        int axes;
    };
    // The 16-bit stick's record emptied: all zeros is no reason to take it for a gameport stick.
    DIJOYCONFIG stick = sim.StoredConfig(0);
    stick.hwc.hwv = {};
    sim.StoreConfig(0, stick);
    Run([&](Window& w) {
        UINT selected = 0;
        for (const Pad& pad : {Pad{0, 65535, 6}, Pad{1, 1023, 4}, Pad{4, 255, 2}}) {
            SCOPED_TRACE("joystick " + std::to_string(pad.number));
            while (selected != pad.number) {
                w.Click(IDC_NEXT);
                selected = (selected + 1) % 16;
            }
            EXPECT_EQ(w.Text(IDC_CAL_CENTER_X), std::to_string(pad.max / 2));
            EXPECT_EQ(w.Text(IDC_CAL_MAX_X), std::to_string(pad.max));

            sim.HoldAxis(pad.number, 0, pad.max);
            sim.HoldAxis(pad.number, 1, pad.max / 2);
            Wait(w, 50);
            const std::string right = w.Text(IDC_DI_COOKED_X), rest = w.Text(IDC_DI_COOKED_Y);
            const std::string winmm = w.Text(IDC_JOY_COOKED_X);

            w.Click(IDC_CALIBRATED_XY);
            EXPECT_EQ(Flags(pad.number) & JOY_ISCAL_XY, DWORD{JOY_ISCAL_XY});
            EXPECT_EQ(Stored(pad.number).jpCenter.dwX, static_cast<DWORD>(pad.max / 2));
            const JOYRANGE ranges = Stored(pad.number);
            w.Paste(IDC_DEADZONE_X + 2 * 2, "1");
            const JOYRANGE after = Stored(pad.number);
            EXPECT_EQ(std::memcmp(&ranges, &after, sizeof(ranges)), 0) << "a dead zone changes no range";
            Wait(w, 50);
            EXPECT_EQ(w.Text(IDC_DI_COOKED_X), right);
            EXPECT_EQ(w.Text(IDC_DI_COOKED_Y), rest);
            EXPECT_EQ(w.Text(IDC_JOY_COOKED_X), winmm);

            w.Paste(IDC_CAL_MAX_X, std::to_string(pad.max + 1));
            EXPECT_EQ(Boxes().back(), "Please enter an integer between 0 and " + std::to_string(pad.max) + ".");
            EXPECT_EQ(Stored(pad.number).jpMax.dwX, static_cast<DWORD>(pad.max));

            w.Click(IDC_CALIBRATED_V);
            EXPECT_EQ(w.Checked(IDC_CALIBRATED_V), pad.axes == 6) << "a box for an axis the pad lacks unticks";
            EXPECT_EQ(Flags(pad.number) & JOY_ISCAL_V, pad.axes == 6 ? DWORD{JOY_ISCAL_V} : 0u);

            w.Click(IDC_DEFAULT_VALUES);
            EXPECT_EQ(Flags(pad.number), 0u);
            Wait(w, 50);
            EXPECT_EQ(w.Text(IDC_DI_COOKED_X), right);
            EXPECT_EQ(w.Text(IDC_JOY_COOKED_X), winmm);
        }
    });
}

// Only the dead zones refused, as when another program holds the joystick configuration: the
// calibration is stored and shown, and the box says exactly that.
TEST_F(Today, APartlyRefusedWriteSaysWhatWasStoredAndTheLikelyCause) {
    sim.FailCall(SimCall::SetUserValues, E_ACCESSDENIED, CSimPlatform::kAlways);
    Run([&](Window& w) {
        w.Paste(IDC_CAL_MAX_X, "60000");
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "60000");
        EXPECT_EQ(Boxes(), std::vector<std::string>{
                               "Windows stored the calibration of joystick 0, but not the dead zones: another program "
                               "probably holds the joystick configuration (error 0x80070005).\n\nThe values shown are "
                               "those stored. Close other programs that use the joystick and try again."});
    });
    EXPECT_EQ(Stored().jpMax.dwX, 60000u);
}

class TodayWithoutRights : public Today {
protected:
    static SimMachine Machine() {
        SimMachine machine = SimMachine::Modern();
        machine.joyConfigNeedsElevation = true;
        return machine;
    }
    TodayWithoutRights() : Today(Machine()) {}
};

TEST_F(TodayWithoutRights, ARefusedWriteIsToldOncePerSelectionAndTheStoredValuesStay) {
    const std::string refused =
        "Windows did not store the change to joystick 0: changing its calibration needs administrator rights.\n\n"
        "The values shown are those stored. Start Padwright as an administrator to change them.";
    Run([&](Window& w) {
        w.Paste(IDC_CAL_MAX_X, "60000");
        EXPECT_EQ(Boxes(), std::vector<std::string>{refused});
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "65535") << "the grid shows what is stored";
        w.Paste(IDC_DEADZONE_X, "9");
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_EQ(Boxes().size(), 1u) << "told once per selection";
        EXPECT_EQ(w.Text(IDC_DEADZONE_X), "5");
        EXPECT_TRUE(w.Checked(IDC_CALIBRATED_XY)) << "the refused defaults are not shown as if stored";

        for (int i = 0; i < 3; ++i) w.Click(IDC_NEXT);
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_EQ(Boxes().size(), 1u) << "3: not installed!: nothing written, nothing told";
        for (int i = 0; i < 13; ++i) w.Click(IDC_NEXT);
        w.Paste(IDC_CAL_MAX_X, "60000");
        EXPECT_EQ(Boxes().size(), 2u) << "told again after a new selection";
    });
    EXPECT_EQ(Stored().jpMax.dwX, 65535u);
    EXPECT_FALSE(sim.ConfigAcquired());
}

}  // namespace
