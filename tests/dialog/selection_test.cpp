// Choosing the joystick with "&Next": numbering, names from the registry, and the grid following
// the joystick that is selected.
#include "../support/session.h"

namespace {

using headless::Window;

class Selection : public Session {};

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
        EXPECT_EQ(sim.LiveInterfaces(), 3) << "one joystick object, open on joystick 0";
    });
}

TEST_F(Selection, NumbersWithoutControllerOrNameShowSo) {
    Run([&](Window& w) {
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "1: Virtual GamePad");
        w.Click(IDC_NEXT);
        EXPECT_EQ(Line(w), "2: not installed!");
    });
    // A settings key that exists without the name value gives an empty name.
    sim.SetStringValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", "x");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(sim.GetValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", &type, &data));
    sim.SetValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", REG_DWORD, "\1\0\0\0", 4);
    Run([&](Window& w) { EXPECT_EQ(Line(w), "0: ") << "a value that is no string reads as an empty name"; });
}

TEST_F(Selection, AnOverlongNameIsCutSafely) {
    sim.SetStringValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", std::string(400, 'N'));
    Run([&](Window& w) {
        const std::string line = Line(w);
        EXPECT_LE(line.size(), std::string("0: ").size() + 259);
        EXPECT_EQ(line.substr(0, 3), "0: ");
    });
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

}  // namespace
