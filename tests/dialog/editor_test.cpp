// The calibration editor: every change written at once, reloaded, and written again; defaults;
// the configuration-changed message; validation of what is typed.
#include "../support/session.h"

namespace {

using headless::Window;

DWORD AxisOf(const JOYPOS& pos, int axis) {
    const DWORD values[AXIS_COUNT] = {pos.dwX, pos.dwY, pos.dwZ, pos.dwR, pos.dwU, pos.dwV};
    return values[axis];
}

class Editor : public Session {
protected:
    JOYRANGE Stored(UINT number = 0) { return sim.StoredConfig(number).hwc.hwv.jrvHardware; }
    DWORD Flags(UINT number = 0) { return sim.StoredConfig(number).hwc.hwv.dwCalFlags; }
};

TEST_F(Editor, ShowsTheStoredCalibrationAndDeadZones) {
    const JOYRANGE range = Stored();
    Run([&](Window& w) {
        for (int axis = 0; axis < AXIS_COUNT; ++axis) {
            SCOPED_TRACE("axis " + std::to_string(axis));
            const bool calibrated = axis < 4;  // the stick stores X/Y, Z and R as calibrated
            EXPECT_EQ(w.Text(IDC_CAL_MIN_X + 2 * axis), calibrated ? std::to_string(AxisOf(range.jpMin, axis)) : "0");
            EXPECT_EQ(w.Text(IDC_CAL_CENTER_X + 2 * axis),
                      calibrated ? std::to_string(AxisOf(range.jpCenter, axis)) : "328");
            EXPECT_EQ(w.Text(IDC_CAL_MAX_X + 2 * axis), calibrated ? std::to_string(AxisOf(range.jpMax, axis)) : "655");
        }
        EXPECT_TRUE(w.Checked(IDC_CALIBRATED_XY));
        EXPECT_TRUE(w.Checked(IDC_CALIBRATED_Z));
        EXPECT_TRUE(w.Checked(IDC_CALIBRATED_R));
        EXPECT_FALSE(w.Checked(IDC_CALIBRATED_U));
        EXPECT_EQ(w.Text(IDC_DEADZONE_X), "5");
        EXPECT_EQ(w.Text(IDC_DEADZONE_X + 4), "0");
    });
}

// Every change makes the same writes, whichever control it comes from; the R dead zone (1023), which
// stands twice in the message map, included.
TEST_F(Editor, EveryEditAndCheckBoxWritesAtOnceAndOnlyOnce) {
    Run([&](Window& w) {
        std::vector<int> edits;
        for (int i = 0; i < AXIS_COUNT; ++i) {
            edits.push_back(IDC_DEADZONE_X + 2 * i);
            edits.push_back(IDC_CAL_MIN_X + 2 * i);
            edits.push_back(IDC_CAL_CENTER_X + 2 * i);
            edits.push_back(IDC_CAL_MAX_X + 2 * i);
        }
        int perChange = sim.ConfigWrites();
        w.Paste(IDC_DEADZONE_X, "1");
        perChange = sim.ConfigWrites() - perChange;
        EXPECT_GT(perChange, 0);
        for (int id : edits) {
            const int writes = sim.ConfigWrites();
            w.Paste(id, "9");
            EXPECT_EQ(sim.ConfigWrites() - writes, perChange) << "edit " << id;
        }
        for (int id : kCalibratedIds) {
            const int writes = sim.ConfigWrites();
            w.Click(id);
            EXPECT_EQ(sim.ConfigWrites() - writes, perChange) << "check box " << id;
        }
    });
}

TEST_F(Editor, AValueTypedForACalibratedAxisIsStored) {
    Run([&](Window& w) {
        w.Paste(IDC_CAL_MIN_X, "-1000");
        w.Paste(IDC_CAL_MAX_X + 2, "1655");
        w.Paste(IDC_DEADZONE_X + 2, "12");
        EXPECT_EQ(static_cast<LONG>(Stored().jpMin.dwX), -1000) << "a negative minimum survives as its 32-bit pattern";
        EXPECT_EQ(Stored().jpMax.dwY, 1655u);
        EXPECT_EQ(sim.StoredUserValues().ruv.jpDeadZone.dwY, 12u);
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "-1000");
    });
    // A new session reads back what the last one stored.
    Run([&](Window& w) { EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "-1000"); });
}

// An edit writes the hardware configuration only. The gain and the callout are not the editor's:
// another program's change to them, made after the grid was loaded, survives the edit.
TEST_F(Editor, AnEditWritesTheHardwareConfigurationOnly) {
    Run([&](Window& w) {
        w.Tick();
        DIJOYCONFIG other = sim.StoredConfig(0);
        other.dwGain = 5000;
        other.wszCallout[0] = 'x';
        sim.StoreConfig(0, other);
        w.Paste(IDC_CAL_MAX_X, "700");
        EXPECT_EQ(Stored().jpMax.dwX, 700u);
        EXPECT_EQ(sim.StoredConfig(0).dwGain, 5000u);
        EXPECT_EQ(sim.StoredConfig(0).wszCallout[0], other.wszCallout[0]);
    });
}

TEST_F(Editor, UncheckingXYStoresTheUncalibratedRangeForXAndY) {
    Run([&](Window& w) {
        w.Click(IDC_CALIBRATED_XY);
        EXPECT_EQ(Flags() & JOY_ISCAL_XY, 0u);
        EXPECT_EQ(Flags() & (JOY_ISCAL_Z | JOY_ISCAL_R), static_cast<DWORD>(JOY_ISCAL_Z | JOY_ISCAL_R));
        for (int axis : {0, 1}) {
            SCOPED_TRACE("axis " + std::to_string(axis));
            EXPECT_EQ(AxisOf(Stored().jpMin, axis), 0u);
            EXPECT_EQ(AxisOf(Stored().jpCenter, axis), 328u);
            EXPECT_EQ(AxisOf(Stored().jpMax, axis), 655u);
            EXPECT_EQ(w.Text(IDC_CAL_CENTER_X + 2 * axis), "328");
        }
        // Checking it again keeps exactly what is shown.
        w.Click(IDC_CALIBRATED_XY);
        EXPECT_NE(Flags() & JOY_ISCAL_XY, 0u);
        EXPECT_EQ(Stored().jpMax.dwX, 655u);
    });
}

TEST_F(Editor, ValuesTypedForAnUncalibratedAxisSnapBack) {
    Run([&](Window& w) {
        w.Paste(IDC_CAL_MIN_X + 8, "100");  // U is not calibrated on the stick
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X + 8), "0");
        EXPECT_EQ(Stored().jpMin.dwU, 0u);
    });
}

TEST_F(Editor, InvalidInputIsReportedAndTheStoredValueShownAgain) {
    Run([&](Window& w) {
        const std::string stored = w.Text(IDC_CAL_CENTER_X);
        const int writes = sim.ConfigWrites();
        w.Paste(IDC_CAL_CENTER_X, "-");
        ASSERT_FALSE(host.MessageBoxes().empty());
        EXPECT_EQ(host.MessageBoxes()[0].text, "Please enter an integer.");
        EXPECT_EQ(w.Text(IDC_CAL_CENTER_X), stored);
        EXPECT_EQ(std::to_string(Stored().jpCenter.dwX), stored);
        EXPECT_GT(sim.ConfigWrites(), writes) << "the other fields are still written";

        // Each value is checked right after its own read-back: a bad minimum is caught at the minimum.
        const std::string minimum = w.Text(IDC_CAL_MIN_X);
        w.Paste(IDC_CAL_MIN_X, "1656");
        EXPECT_EQ(host.MessageBoxes().back().text, "Please enter an integer between -1000 and 1655.");
        EXPECT_EQ(w.FocusId(), IDC_CAL_MIN_X);
        EXPECT_EQ(std::to_string(Stored().jpMin.dwX), minimum) << "a rejected value is never stored";
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), minimum);
        w.Paste(IDC_DEADZONE_X, "-5");
        EXPECT_EQ(host.MessageBoxes().back().text, "Please enter a positive integer.");
        EXPECT_EQ(w.Text(IDC_DEADZONE_X), "5");
    });
}

// The first load at start-up fails, so the grid starts empty. Once the joystick object opens, an
// edit loads the grid first and writes nothing: the empty grid never replaces the stored calibration.
TEST_F(Editor, AnEditAfterAFailedFirstLoadLoadsFirstAndWritesNothing) {
    const DIJOYCONFIG before = sim.StoredConfig(0);
    const DIJOYUSERVALUES values = sim.StoredUserValues();
    sim.FailCall(SimCall::GetConfig, E_FAIL);
    Run([&](Window& w) {
        ASSERT_EQ(w.Text(IDC_CAL_MAX_X), "0");
        Wait(w, 1000);  // the joystick object that did not open is opened again within a second
        const int writes = sim.ConfigWrites();
        w.Paste(IDC_DEADZONE_X + 4, "7");
        EXPECT_EQ(sim.ConfigWrites(), writes);
        EXPECT_EQ(Flags(), before.hwc.hwv.dwCalFlags);
        EXPECT_EQ(Stored().jpMax.dwX, before.hwc.hwv.jrvHardware.jpMax.dwX);
        EXPECT_EQ(sim.StoredUserValues().ruv.jpDeadZone.dwX, values.ruv.jpDeadZone.dwX);
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), std::to_string(before.hwc.hwv.jrvHardware.jpMax.dwX));
        EXPECT_TRUE(w.Checked(IDC_CALIBRATED_XY));
    });
}

TEST_F(Editor, DefaultValuesResetAndStore) {
    // A gameport joystick stays one whatever it stores, a value far below the gameport's range included.
    DIJOYCONFIG config = sim.StoredConfig(0);
    config.hwc.hwv.jrvHardware.jpMin.dwU = static_cast<DWORD>(-5000);
    sim.StoreConfig(0, config);
    Run([&](Window& w) {
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_EQ(Flags(), 0u);
        const DIJOYUSERVALUES values = sim.StoredUserValues();
        const DWORD expected[AXIS_COUNT] = {5, 5, 0, 0, 0, 0};
        for (int axis = 0; axis < AXIS_COUNT; ++axis) {
            SCOPED_TRACE("axis " + std::to_string(axis));
            EXPECT_EQ(AxisOf(Stored().jpMin, axis), 0u);
            EXPECT_EQ(AxisOf(Stored().jpCenter, axis), 328u);
            EXPECT_EQ(AxisOf(Stored().jpMax, axis), 655u);
            EXPECT_EQ(AxisOf(values.ruv.jpDeadZone, axis), expected[axis]);
            EXPECT_EQ(w.Text(IDC_CAL_MAX_X + 2 * axis), "655");
        }
        for (int id : kCalibratedIds) EXPECT_FALSE(w.Checked(id)) << "check box " << id;
    });
}

TEST_F(Editor, DefaultValuesWithoutAnOpenJoystickChangeNothing) {
    Run([&](Window& w) {
        w.Click(IDC_NEXT);
        w.Click(IDC_NEXT);  // number 2: nothing to open
        const std::string shown = w.Text(IDC_CAL_MAX_X);
        const int writes = sim.ConfigWrites();
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_EQ(sim.ConfigWrites(), writes);
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), shown);
        w.Tick();
        w.Paste(IDC_CAL_MAX_X, "1");
        EXPECT_EQ(sim.ConfigWrites(), writes) << "edits cannot reach a joystick that is not open";
    });
}

TEST_F(Editor, TheConfigurationChangedMessageReloadsWithoutWriting) {
    EXPECT_EQ(WM_JOYCONFIGCHANGED, sim.ConfigChangedMessage());
    Run([&](Window& w) {
        w.Tick();
        DIJOYCONFIG config = sim.StoredConfig(0);
        config.hwc.hwv.jrvHardware.jpMax.dwX = 999;
        sim.StoreConfig(0, config);
        const int writes = sim.ConfigWrites();
        w.Send(WM_JOYCONFIGCHANGED);
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "999");
        EXPECT_EQ(sim.ConfigWrites(), writes) << "the rewritten edits must not reach the editor";
    });
}

// The user values are written before the configuration: a program that hears the first announcement
// of an edited dead zone finds it stored already.
TEST_F(Editor, TheUserValuesAreWrittenBeforeTheConfiguration) {
    std::vector<DWORD> heard;  // the X dead zone stored at each announcement
    sim.SetBroadcast([&](UINT message, WPARAM wParam, LPARAM lParam) {
        heard.push_back(sim.StoredUserValues().ruv.jpDeadZone.dwX);
        host.BroadcastMessage(message, wParam, lParam);
    });
    Run([&](Window& w) { w.Paste(IDC_DEADZONE_X, "9"); });
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), 9u);
}

TEST_F(Editor, WritesAnnounceTheChangeAndTheAnnouncementIsQuiet) {
    Run([&](Window& w) {
        const int notifications = sim.Notifications();
        w.Paste(IDC_CAL_MAX_X, "700");
        EXPECT_GT(sim.Notifications(), notifications);
        // The broadcast comes back to the dialog as the configuration-changed message, which only reloads.
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), "700");
        EXPECT_FALSE(sim.ConfigAcquired()) << "every save releases its write access";
    });
}

}  // namespace
