// The live monitor: four independent reads every tick, shown in "%05d", never touching the edits.
#include <set>

#include "../support/session.h"

namespace {

using headless::Window;

class Monitor : public Session {
protected:
    static std::vector<std::string> Column(const Window& w, int firstId) {
        std::vector<std::string> texts;
        for (int i = 0; i < AXIS_COUNT; ++i) texts.push_back(w.Text(firstId + i));
        return texts;
    }
    static std::vector<std::string> Column(const Window& w, const int (&ids)[AXIS_COUNT]) {
        std::vector<std::string> texts;
        for (int id : ids) texts.push_back(w.Text(id));
        return texts;
    }
    const std::vector<std::string> zeros = std::vector<std::string>(AXIS_COUNT, "00000");
};

TEST_F(Monitor, ShowsAllFourReadsOfTheSelectedJoystick) {
    sim.HoldAxis(0, 0, 512);
    Run([&](Window& w) {
        ASSERT_EQ(w.Timers().count(1971), 1u) << "the refresh timer's id";
        EXPECT_EQ(w.Timers().at(1971), 50u);
        EXPECT_EQ(w.Text(IDC_JOY_RAW_X), "") << "nothing is shown before the first tick";
        w.Tick();
        EXPECT_EQ(w.Text(IDC_JOY_RAW_X), "00512");
        EXPECT_EQ(w.Text(IDC_DI_RAW_X), "00512");
        for (const std::string& text : Column(w, IDC_JOY_COOKED_X)) EXPECT_EQ(text.size(), 5u) << text;
        for (const std::string& text : Column(w, kDiCookedIds)) EXPECT_EQ(text.size(), 5u) << text;
        const auto before = Column(w, IDC_JOY_RAW_X);
        Wait(w, 700);
        EXPECT_NE(Column(w, IDC_JOY_RAW_X), before) << "the other axes move with time";
    });
}

// Six axes held at six different positions: each DirectInput field shows its own axis, in both
// columns. The calibrated reads of both interfaces apply the same calibration, so they agree once no
// dead zone is set (WinMM applies one only when asked to, and the dialog does not ask).
TEST_F(Monitor, EachDirectInputFieldShowsItsOwnAxis) {
    const LONG held[AXIS_COUNT] = {101, 202, 303, 404, 505, 606};
    for (int axis = 0; axis < AXIS_COUNT; ++axis) sim.HoldAxis(0, axis, held[axis]);
    DIJOYUSERVALUES values = sim.StoredUserValues();
    values.ruv.jpDeadZone = JOYPOS{};
    sim.StoreUserValues(values);
    Run([&](Window& w) {
        w.Tick();
        for (int axis = 0; axis < AXIS_COUNT; ++axis) {
            SCOPED_TRACE("axis " + std::to_string(axis));
            EXPECT_EQ(w.Text(kDiRawIds[axis]), "00" + std::to_string(held[axis]));
            EXPECT_EQ(w.Text(kDiCookedIds[axis]), w.Text(IDC_JOY_COOKED_X + axis));
        }
        const auto cooked = Column(w, kDiCookedIds);
        EXPECT_EQ(std::set<std::string>(cooked.begin(), cooked.end()).size(), cooked.size()) << "six different values";
    });
}

TEST_F(Monitor, NegativeValuesKeepTheSignInFrontOfThePadding) {
    Run([&](Window& w) {
        // Calibration whose minimum lies above the axis position reads below zero in raw mode only if
        // the device reports it so; the format itself is checked through a held raw value instead.
        sim.HoldAxis(0, 1, -12);
        w.Tick();
        EXPECT_EQ(w.Text(IDC_DI_RAW_Y), "-0012");
    });
}

TEST_F(Monitor, AJoystickThatIsNotThereShowsZerosAndKeepsTheWinmmText) {
    Run([&](Window& w) {
        w.Tick();
        const auto cooked = Column(w, IDC_JOY_COOKED_X);
        const auto raw = Column(w, IDC_JOY_RAW_X);
        w.Click(IDC_NEXT);
        w.Click(IDC_NEXT);  // number 2 has no controller
        Wait(w, 200);
        EXPECT_EQ(Column(w, IDC_JOY_COOKED_X), cooked);
        EXPECT_EQ(Column(w, IDC_JOY_RAW_X), raw);
        EXPECT_EQ(Column(w, kDiCookedIds), zeros);
        EXPECT_EQ(Column(w, kDiRawIds), zeros);
    });
}

TEST_F(Monitor, AFailingRawReadUpdatesOnlyTheCalibratedColumn) {
    Run([&](Window& w) {
        w.Tick();
        const auto raw = Column(w, IDC_JOY_RAW_X);
        const auto cooked = Column(w, IDC_JOY_COOKED_X);
        now += 600;
        sim.FailCall(SimCall::JoyGetPosEx, JOYERR_UNPLUGGED, 1, 1);  // the second read of the tick
        w.Tick();
        EXPECT_EQ(Column(w, IDC_JOY_RAW_X), raw);
        EXPECT_NE(Column(w, IDC_JOY_COOKED_X), cooked);
    });
}

// Both DirectInput readers stay open between ticks, so that a HID joystick's reports reach them. One is
// opened again only when it must be: after a calibration write, once its input was lost, and, after an
// open that failed, once a second. A reader that did not open shows zeros; one whose device was obtained
// before a later step failed still reads it.
TEST_F(Monitor, DirectInputReadersAreHeldAndOpenedAgainOnlyWhenTheyMust) {
    Run([&](Window& w) {
        Wait(w, 100);
        const int opened = sim.CallCount(SimCall::CreateDevice);
        Wait(w, 500);
        EXPECT_EQ(sim.CallCount(SimCall::CreateDevice), opened) << "steady ticks only read";
        w.Paste(IDC_DEADZONE_X + 4, "3");
        w.Tick();
        EXPECT_EQ(sim.CallCount(SimCall::CreateDevice), opened + 2) << "a calibration write opens both again";

        sim.FailCall(SimCall::Poll, DIERR_INPUTLOST);  // the calibrated reader's input is lost
        w.Tick();
        sim.FailCall(SimCall::CreateDevice, DIERR_DEVICENOTREG, CSimPlatform::kAlways);
        w.Tick();
        EXPECT_EQ(Column(w, kDiCookedIds), zeros);
        EXPECT_NE(Column(w, kDiRawIds), zeros) << "the raw reader is still held";
        const int failed = sim.CallCount(SimCall::CreateDevice);
        Wait(w, 950);
        EXPECT_EQ(sim.CallCount(SimCall::CreateDevice), failed) << "a failed open is tried again once a second";
        sim.ClearFailures();
        sim.HoldAxis(0, 0, 400);
        sim.FailCall(SimCall::SetProperty, E_FAIL, CSimPlatform::kAlways);
        w.Tick();
        EXPECT_EQ(sim.CallCount(SimCall::CreateDevice), failed + 1);
        EXPECT_EQ(w.Text(IDC_DI_RAW_X), "00400");
        EXPECT_NE(w.Text(IDC_DI_COOKED_X), "00000") << "a device obtained before a failing step is read";
    });
    EXPECT_EQ(sim.LiveInterfaces(), 0) << "every interface is released with the dialog";
}

// A game can take the joystick exclusively (for force feedback, say) while Padwright shows it.
TEST_F(Monitor, AGameCanStillTakeTheJoystickExclusively) {
    Run([&](Window& w) {
        Wait(w, 100);
        IDirectInputA* game = nullptr;
        ASSERT_EQ(sim.DirectInputCreateA(reinterpret_cast<HINSTANCE>(0x400000), 0x0500, &game, nullptr), DI_OK);
        IDirectInputDeviceA* device = nullptr;
        ASSERT_EQ(game->CreateDevice(sim.StoredConfig(0).guidInstance, &device, nullptr), DI_OK);
        EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(reinterpret_cast<HWND>(0x77), DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        EXPECT_EQ(device->Acquire(), DI_OK);
        device->Release();
        game->Release();
    });
}

TEST_F(Monitor, TicksLeaveWhatTheUserIsTypingAlone) {
    Run([&](Window& w) {
        const size_t boxes = host.MessageBoxes().size();
        w.Paste(IDC_CAL_MIN_X + 4, "12");  // Z is calibrated on the stick, so the value stays
        w.Type(IDC_CAL_MIN_X + 4, "3");
        Wait(w, 500);
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X + 4), "123");
        EXPECT_EQ(host.MessageBoxes().size(), boxes);
    });
}

TEST_F(Monitor, TicksBehindAValidationMessageLeaveTheRejectedTextAlone) {
    // "-" does not parse, so its field keeps the old value; a number above the range is restored to
    // it. Either way the field differs from what the edit shows while the message is up.
    for (const std::string& rejected : {std::string("-"), std::to_string(kCalibrationHigh + 1)}) {
        SCOPED_TRACE(rejected);
        Run([&](Window& w) {
            std::string shownBehind;
            host.SetMessageBoxHandler([&](const headless::MessageBoxRecord&) {
                Wait(w, 150);
                shownBehind = w.Text(IDC_CAL_MIN_X);
                return IDOK;
            });
            w.Paste(IDC_CAL_MIN_X, rejected);
            EXPECT_EQ(shownBehind, rejected);
        });
    }
}

TEST_F(Monitor, AQuietTickRewritesOnlyWhatChanged) {
    for (int axis = 0; axis < AXIS_COUNT; ++axis) sim.HoldAxis(0, axis, 300);
    Run([&](Window& w) {
        w.Tick();
        const int writes = host.TextWrites();
        w.Tick();
        EXPECT_EQ(host.TextWrites(), writes) << "nothing moved, so no control text is rewritten";
    });
}

}  // namespace
