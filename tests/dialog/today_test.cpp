// The dialog on a Windows 10/11 machine: names looked up per user and through the OEM branch,
// calibration kept in the device's own units, and writes that Windows refuses.
#include <cstring>

#include "../support/session.h"
#include "platform/sim/sim_internal.h"

namespace {

using headless::Window;

const std::string kOem = CSimPlatform::kOemBranch;

class Today : public Session {
protected:
    explicit Today(SimMachine machine = SimMachine::Modern()) : Session(machine) {}
    JOYRANGE Stored(UINT number = 0) { return sim.StoredConfig(number).hwc.hwv.jrvHardware; }
    DWORD Flags(UINT number = 0) { return sim.StoredConfig(number).hwc.hwv.dwCalFlags; }
    // Removes the per-axis values an earlier calibration left for the joystick's axes.
    void ForgetAxisCalibration(UINT number) {
        for (int axis = 0; axis < AXIS_COUNT; ++axis) {
            HKEY key = nullptr;
            if (sim.RegOpenKeyA(HKEY_CURRENT_USER, sim.AxisCalibrationKey(number, axis).c_str(), &key) != ERROR_SUCCESS)
                continue;
            sim.RegDeleteValueA(key, "Calibration");
            sim.RegCloseKey(key);
        }
    }
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& box : host.MessageBoxes()) texts.push_back(box.text);
        return texts;
    }
};

TEST_F(Today, NamesComeFromTheCurrentUsersSettingsThroughTheOemBranch) {
    // The gamepad's display name only under HKEY_CURRENT_USER; the wheel's OEM key without a name; the
    // stick named in both hives, where the local machine's name is the one shown.
    ASSERT_TRUE(sim.SetStringValue(HKEY_CURRENT_USER, kOem + "\\VID_1209&PID_5701", "OEMName", "Stick (per user)"));
    ASSERT_TRUE(sim.SetStringValue(HKEY_CURRENT_USER, kOem + "\\VID_1209&PID_5702", "OEMName", "Pad (per user)"));
    ASSERT_TRUE(sim.SetValue(HKEY_LOCAL_MACHINE, kOem + "\\VID_1209&PID_5702", "OEMName", REG_DWORD, "\1\0\0\0", 4));
    ASSERT_TRUE(sim.SetValue(HKEY_LOCAL_MACHINE, kOem + "\\VID_1209&PID_5703", "OEMName", REG_DWORD, "\1\0\0\0", 4));
    // A leftover, empty settings key under the local machine hides none of the user's names.
    ASSERT_TRUE(sim.AddKey(HKEY_LOCAL_MACHINE, std::string(CSimPlatform::kJoystickBase) + "\\DINPUT.DLL\\CurrentJoystickSettings"));
    Run([&](Window& w) {
        EXPECT_EQ(Line(w), "0: Virtual HOTAS Stick (USB)") << "named in both hives: the local machine's name";
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
    // The 10-bit pad with X and Y calibrated under the X/Y flag alone, Y stored beyond the pad's range.
    DIJOYCONFIG pad = sim.StoredConfig(1);
    pad.hwc.hwv.dwCalFlags = JOY_ISCAL_XY;
    pad.hwc.hwv.jrvHardware.jpMin = {0, 0, 0, 0, 0, 0};
    pad.hwc.hwv.jrvHardware.jpCenter = {511, 550, 0, 0, 0, 0};
    pad.hwc.hwv.jrvHardware.jpMax = {1023, 1100, 0, 0, 0, 0};
    sim.StoreConfig(1, pad);
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

        // A stored value beyond the axis widens its check: an edit of another field is not refused for it.
        w.Click(IDC_NEXT);
        w.Paste(IDC_CAL_MAX_X, "1000");
        EXPECT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Stored(1).jpMax.dwX, 1000u);
        EXPECT_EQ(Stored(1).jpMax.dwY, 1100u);
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

        // Another controller takes the 10-bit pad's number, an 8-bit one, and the change is announced:
        // the grid takes the new controller's units.
        w.Click(IDC_NEXT);
        EXPECT_EQ(w.SpinRange(IDC_CAL_MAX_X + 1), std::make_pair(0, 1023));
        CSimPlatform::Impl::Device& device = sim.impl().devices[1];
        device.nominalCenter = 127;
        device.nominalMax = 255;
        w.Send(sim.ConfigChangedMessage());
        EXPECT_EQ(w.SpinRange(IDC_CAL_MAX_X + 1), std::make_pair(0, 255));
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_EQ(Stored(1).jpMax.dwX, 255u);
        EXPECT_EQ(w.Text(IDC_CAL_CENTER_X), "127");
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
    ForgetAxisCalibration(0);
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

            // An axis the pad lacks takes no input: its box and fields are disabled.
            EXPECT_EQ(w.Enabled(IDC_CALIBRATED_V), pad.axes == 6);
            EXPECT_EQ(w.Enabled(IDC_CAL_MIN_X + 2 * 5), pad.axes == 6);
            EXPECT_EQ(w.Enabled(IDC_CAL_MAX_X + 2 * 5 + 1), pad.axes == 6);
            EXPECT_TRUE(w.Enabled(IDC_DEADZONE_X + 2 * 5));
            w.Click(IDC_CALIBRATED_V);
            EXPECT_EQ(w.Checked(IDC_CALIBRATED_V), pad.axes == 6);
            EXPECT_EQ(Flags(pad.number) & JOY_ISCAL_V, pad.axes == 6 ? DWORD{JOY_ISCAL_V} : 0u);

            w.Click(IDC_DEFAULT_VALUES);
            EXPECT_EQ(Flags(pad.number), 0u);
            Wait(w, 50);
            EXPECT_EQ(w.Text(IDC_DI_COOKED_X), right);
            EXPECT_EQ(w.Text(IDC_JOY_COOKED_X), winmm);
        }
    });
}

// The common case: an earlier calibration left per-axis values for X and Y, which DirectInput applies
// before the different numbers of JOYREGHWVALUES. The grid shows them, an edit reaches what games read,
// and unticking returns X to its uncalibrated reading; the controller keeps its identity.
TEST_F(Today, EditsChangeWhatGamesReadWhereAnEarlierCalibrationLeftPerAxisValues) {
    sim.SetAxisCalibrationValue(0, 0, 1000, 30000, 64000);
    sim.SetAxisCalibrationValue(0, 1, 2000, 32000, 63000);
    sim.HoldAxis(0, 0, 60000);
    std::vector<BYTE> identity;
    ASSERT_TRUE(sim.GetValue(HKEY_CURRENT_USER, sim.IdentityKey(0), "GUID", nullptr, &identity));
    Run([&](Window& w) {
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "1000");
        EXPECT_EQ(w.Text(IDC_CAL_CENTER_X), "30000");
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X + 2), "63000");
        // WinMM at the next tick; DirectInput at the tick after, once the reader that a write opens
        // again has had the device's first report.
        const auto expectX = [&](const std::string& value, const char* what) {
            Wait(w, 50);
            EXPECT_EQ(w.Text(IDC_JOY_COOKED_X), value) << what;
            Wait(w, 50);
            EXPECT_EQ(w.Text(IDC_DI_COOKED_X), value) << what;
        };
        expectX("61680", "the per-axis value, not JOYREGHWVALUES' 0..65535");

        w.Paste(IDC_CAL_MAX_X, "60000");
        EXPECT_EQ(Stored().jpMax.dwX, 60000u) << "JOYREGHWVALUES kept equal";
        EXPECT_EQ(Stored().jpMin.dwX, 1000u);
        expectX("65535", "the edit");

        w.Click(IDC_CALIBRATED_XY);
        EXPECT_FALSE(w.Checked(IDC_CALIBRATED_XY));
        expectX("60000", "read over the axis's own range");
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "0");
    });
    JoystickAxisCalibration axes[AXIS_COUNT];
    ASSERT_TRUE(sim.GetAxisCalibration(0, axes));
    EXPECT_FALSE(axes[0].stored || axes[1].stored) << "unticking removes the per-axis values";
    EXPECT_TRUE(axes[2].stored) << "Z keeps its own";
    std::vector<BYTE> after;
    EXPECT_TRUE(sim.GetValue(HKEY_CURRENT_USER, sim.IdentityKey(0), "GUID", nullptr, &after));
    EXPECT_EQ(after, identity) << "the controller keeps its instance GUID";
    EXPECT_TRUE(Boxes().empty());
}

// A per-axis write refused after the configuration was stored: games still read the old calibration,
// and the refused-write message says so.
TEST_F(Today, ARefusedPerAxisWriteIsToldAsTheCalibrationNotStored) {
    Run([&](Window& w) {
        sim.FailCall(SimCall::SetProperty, E_ACCESSDENIED);
        w.Paste(IDC_CAL_MAX_X, "60000");
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "65535") << "the grid shows what games read";
        // Only the calibration changed, and the configuration's part of it was stored: no other program
        // held the whole configuration.
        EXPECT_EQ(Boxes(), std::vector<std::string>{"Windows did not store the change to joystick 0 (error 0x80070005)."
                                                    "\n\nThe values shown are those stored."});
    });
}

// A refusal names only what the user changed and was not stored, with a cause that can be true: the
// dead zones refused alone, left unchanged by an edit of the calibration, are not told; "another program"
// is said only when no part of the write was stored. Each case on a selection of its own, as a refusal
// is told once per selection.
TEST_F(Today, ARefusalNamesOnlyWhatWasChangedAndNotStoredWithACauseThatCanBeTrue) {
    const std::string shown = ".\n\nThe values shown are those stored.";
    const std::string notStored = "Windows did not store the change to joystick 0";
    struct Case {
        HRESULT config;      // SetConfig's answer
        HRESULT userValues;  // SetUserValues's answer
        int edit;            // the field pasted into, or "Default values" with the stored X dead zone 9
        std::string value;
        std::string told;    // empty: nothing
    };
    const Case cases[] = {
        {S_OK, E_ACCESSDENIED, IDC_CAL_MAX_X, "60000", ""},
        {S_OK, E_ACCESSDENIED, IDC_DEADZONE_X, "9", notStored + " (error 0x80070005)" + shown},
        {S_OK, DIERR_INSUFFICIENTPRIVS, IDC_DEADZONE_X, "9",
         notStored + ": changing its dead zones needs administrator rights" + shown +
             " Start Padwright as an administrator to change them."},
        {S_OK, E_ACCESSDENIED, IDC_DEFAULT_VALUES, "",
         "Windows stored the calibration of joystick 0, but not the dead zones (error 0x80070005)" + shown},
        {E_ACCESSDENIED, E_ACCESSDENIED, IDC_CAL_MAX_X, "60000",
         notStored + ": another program probably holds the joystick configuration (error 0x80070005)" + shown +
             " Close other programs that use the joystick and try again."},
    };
    Run([&](Window& w) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.edit == IDC_DEFAULT_VALUES ? std::string("Default values") : c.value);
            sim.ClearFailures();
            DIJOYUSERVALUES values = sim.StoredUserValues();
            values.ruv.jpDeadZone.dwX = c.edit == IDC_DEFAULT_VALUES ? 9 : 5;
            sim.StoreUserValues(values);
            for (int i = 0; i < 16; ++i) w.Click(IDC_NEXT);
            if (FAILED(c.config)) sim.FailCall(SimCall::SetConfig, c.config, CSimPlatform::kAlways);
            sim.FailCall(SimCall::SetUserValues, c.userValues, CSimPlatform::kAlways);
            const size_t before = Boxes().size();
            if (c.edit == IDC_DEFAULT_VALUES) {
                w.Click(IDC_DEFAULT_VALUES);
            } else {
                w.Paste(c.edit, c.value);
            }
            const std::vector<std::string> texts = Boxes();
            EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end()),
                      c.told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.told});
        }
    });
}

// Without either configuration interface nothing can be stored: the grid, the flags, the dead zones and
// "Default values" are disabled and show nothing, and the reason is told once per selection.
TEST_F(Today, WithoutAConfigurationInterfaceNothingLooksStoredOrEditable) {
    sim.FailCall(SimCall::DirectInput8Create, E_FAIL, CSimPlatform::kAlways);  // DirectInput 5's is refused
    Run([&](Window& w) {
        EXPECT_EQ(Boxes(), std::vector<std::string>{"DirectInput offers no joystick configuration here, so the "
                                                    "calibration of joystick 0 can be neither read nor changed."});
        for (int id : {IDC_CAL_MIN_X, IDC_CAL_MAX_X + 2 * 5 + 1, IDC_DEADZONE_X, IDC_CALIBRATED_XY, IDC_DEFAULT_VALUES})
            EXPECT_FALSE(w.Enabled(id)) << id;
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "");
        EXPECT_EQ(w.Text(IDC_DEADZONE_X), "");
        EXPECT_FALSE(w.Checked(IDC_CALIBRATED_XY));
        w.Type(IDC_CAL_MAX_X, "600");
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "");
        w.Tick(3);
        w.Send(sim.ConfigChangedMessage());
        EXPECT_EQ(Boxes().size(), 1u) << "told once per selection";
        w.Click(IDC_NEXT);
        EXPECT_EQ(Boxes().size(), 2u);

        sim.ClearFailures();
        for (int i = 0; i < 15; ++i) w.Click(IDC_NEXT);
        EXPECT_TRUE(w.Enabled(IDC_CAL_MAX_X)) << "with an interface again, the grid is the joystick's";
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "65535");
        EXPECT_EQ(Boxes().size(), 2u);
    });
    EXPECT_EQ(sim.ConfigWrites(), 0);
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
