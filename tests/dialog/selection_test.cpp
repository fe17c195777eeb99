// Choosing the joystick with "&Next": numbering, names from the registry, and the grid following
// the joystick that is selected.
#include <algorithm>
#include <cstring>

#include "../support/session.h"

namespace {

using headless::Window;

class Selection : public Session {
protected:
    void EditAfterASelectionThatLoadedNothing(UINT number, const std::function<void(Window&)>& select);
};

TEST_F(Selection, StartsAtJoystickZeroNamedByItsFirstOemValue) {
    sim.SetStringValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", "Bench Stick");
    Run([&](Window& w) { EXPECT_EQ(Line(w), "0: Bench Stick"); });
}

TEST_F(Selection, SixteenPressesComeBackAndEveryNumberIsShown) {
    Run([&](Window& w) {
        const std::string first = Line(w);
        for (int press = 1; press <= 16; ++press) {
            w.Click(IDC_NEXT);
            const int expected = press & 15;
            EXPECT_EQ(Line(w).substr(0, Line(w).find(':')), std::to_string(expected));
        }
        EXPECT_EQ(Line(w), first);
        EXPECT_EQ(sim.LiveInterfaces(), 6) << "the calibrated and the raw joystick object, open on joystick 0";
    });
}

TEST_F(Selection, NumbersWithoutControllerOrNameShowSo) {
    Run([&](Window& w) {
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "1: Virtual GamePad");
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "2: not installed!");
    });
    // The settings key opens but holds no name for the number, or one that is no string.
    sim.StoreConfig(2, sim.StoredConfig(1));  // number 2 set up without a name
    const auto names = sim.ValueNames(CSimPlatform::SettingsKeyPath());
    ASSERT_EQ(std::count(names.begin(), names.end(), "Joystick3OEMName"), 0);
    sim.SetValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", REG_DWORD, "\1\0\0\0", 4);
    Run([&](Window& w) {
        EXPECT_EQ(Line(w), "0: ") << "a value that is no string reads as an empty name";
        w.Click(IDC_NEXT);
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "2: ") << "a missing value reads as an empty name";
    });
}

TEST_F(Selection, ANameLongerThanItsBufferShowsAsEmpty) {
    sim.SetStringValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", std::string(400, 'N'));
    Run([&](Window& w) { EXPECT_EQ(Line(w), "0: "); });
}

TEST_F(Selection, TheGridFollowsTheSelectedJoystick) {
    // Joystick 0 (the stick) has X calibrated over its own travel; joystick 1 is uncalibrated.
    const JOYRANGE stick = sim.StoredConfig(0).hwc.hwv.jrvHardware;
    ASSERT_NE(stick.jpMax.dwX, 655u) << "the stick's range must differ from the uncalibrated one";
    Run([&](Window& w) {
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), std::to_string(stick.jpMax.dwX));
        w.Click(IDC_NEXT);
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "0");
        EXPECT_EQ(w.Text(IDC_CAL_CENTER_X), "328");
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "655");
        EXPECT_FALSE(w.Checked(IDC_CALIBRATED_XY));
        // An edit now writes what joystick 1 shows, never the stick's calibration.
        w.Paste(IDC_DEADZONE_X + 4, "7");
        const DIJOYCONFIG pad = sim.StoredConfig(1);
        EXPECT_EQ(pad.hwc.hwv.dwCalFlags, 0u);
        EXPECT_EQ(pad.hwc.hwv.jrvHardware.jpMax.dwX, 655u);
        EXPECT_EQ(sim.StoredConfig(0).hwc.hwv.jrvHardware.jpMax.dwX, stick.jpMax.dwX);
        EXPECT_EQ(sim.StoredUserValues().ruv.jpDeadZone.dwZ, 7u);
    });
}

// A selection that could not load the grid leaves the previous joystick's values on show. Once the
// joystick object opens, the first edit loads the grid from the selected joystick and writes nothing,
// so the previous joystick's calibration never reaches this one; the next edit writes as usual.
void Selection::EditAfterASelectionThatLoadedNothing(UINT number, const std::function<void(Window&)>& select) {
    Run([&](Window& w) {
        select(w);
        const DIJOYCONFIG before = sim.StoredConfig(number);
        const DWORD maxX = before.hwc.hwv.jrvHardware.jpMax.dwX;
        ASSERT_NE(w.Text(IDC_CAL_MAX_X), std::to_string(maxX)) << "the grid must still show another joystick";
        Wait(w, 1000);  // a joystick object that did not open is opened again within a second
        const int writes = sim.ConfigWrites();
        w.Paste(IDC_DEADZONE_X + 4, "7");
        EXPECT_EQ(sim.ConfigWrites(), writes);
        const DIJOYCONFIG after = sim.StoredConfig(number);
        EXPECT_EQ(std::memcmp(&after.hwc, &before.hwc, sizeof(before.hwc)), 0) << "the configuration was written";
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), std::to_string(maxX)) << "the grid now shows this joystick";
        EXPECT_EQ(w.Text(IDC_DEADZONE_X + 4), "0") << "the edit was not kept";

        w.Paste(IDC_DEADZONE_X + 4, "7");
        EXPECT_EQ(sim.StoredUserValues().ruv.jpDeadZone.dwZ, 7u);
        EXPECT_EQ(sim.StoredConfig(number).hwc.hwv.dwCalFlags, before.hwc.hwv.dwCalFlags);
        EXPECT_EQ(sim.StoredConfig(number).hwc.hwv.jrvHardware.jpMax.dwX, maxX);
    });
}

TEST_F(Selection, AnEditAfterAJoystickObjectThatDidNotOpenLoadsFirstAndWritesNothing) {
    EditAfterASelectionThatLoadedNothing(1, [&](Window& w) {
        sim.FailCall(SimCall::CreateDevice, DIERR_DEVICENOTREG);
        w.Click(IDC_NEXT);
    });
}

TEST_F(Selection, AnEditAfterAControllerIsSetUpAgainUnderANumberShownNotInstalledLoadsFirstAndWritesNothing) {
    DIJOYCONFIG pad = sim.StoredConfig(1);
    pad.hwc.hwv.dwCalFlags = JOY_ISCAL_XY;
    pad.hwc.hwv.jrvHardware.jpMax.dwX = 600;
    EditAfterASelectionThatLoadedNothing(1, [&](Window& w) {
        // Every controller is removed, then the gamepad is set up again, calibrated, once "&Next" has
        // passed by its number.
        host.Answer(IDYES);
        for (int key = 0; key < 3; ++key) host.Answer(IDNO);
        w.Click(IDC_CLEAR_CALIBRATION);
        w.Click(IDC_NEXT);
        ASSERT_EQ(Line(w), "1: not installed!");
        sim.StoreConfig(1, pad);
    });
}

TEST_F(Selection, DefaultValuesThatCannotLoadAfterASelectionThatLoadedNothingWriteNothing) {
    Run([&](Window& w) {
        sim.FailCall(SimCall::CreateDevice, DIERR_DEVICENOTREG);
        w.Click(IDC_NEXT);
        w.Tick();
        const int writes = sim.ConfigWrites();
        sim.FailCall(SimCall::GetConfig, E_FAIL);
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_EQ(sim.ConfigWrites(), writes) << "joystick 0's grid was written onto joystick 1";
    });
}

TEST_F(Selection, StartUpLoadsTheGridOnceAsASelectionDoes) {
    Run([&](Window& w) {
        const int atStartUp = sim.CallCount(SimCall::GetConfig);
        w.Click(IDC_NEXT);
        EXPECT_EQ(atStartUp, sim.CallCount(SimCall::GetConfig) - atStartUp);
    });
}

}  // namespace
