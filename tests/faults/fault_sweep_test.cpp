// Fault sweeps of the main dialog: every platform call the tool makes during a refresh tick, a
// calibration edit, a reload and a selection is made to fail, once at each of its occurrences and
// then at all of them. The tool must keep running, show what it shows for a failing platform (zeros,
// "not installed!"), write nothing it was not asked to, and leave no DirectInput interface or
// registry key open once the dialog has closed. The cleaner's sweep is in cleaner_sweep_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sweep.h"

namespace {

using headless::Window;
using namespace sweep;

const std::vector<std::string> kZeros(AXIS_COUNT, "00000");

bool SameCalibration(const DIJOYCONFIG& a, const DIJOYCONFIG& b) {
    return std::memcmp(&a.hwc, &b.hwc, sizeof(a.hwc)) == 0 && std::memcmp(a.wszType, b.wszType, sizeof(a.wszType)) == 0;
}
bool SameUserValues(const DIJOYUSERVALUES& a, const DIJOYUSERVALUES& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

// The machines the dialog's sweeps run on: the gameport one, and Windows 10/11 run by a standard user.
struct SweptMachine {
    const char* name;
    Setup setup;
};

void OnTodaysWindows(Desk& desk) {
    desk.sim.Rebuild(SimMachine::Modern());
    desk.sim.SetClock([&desk] { return desk.now; });
}

const SweptMachine kMachines[] = {{"legacy", nullptr}, {"modern", OnTodaysWindows}};

bool WellFormed(const std::vector<std::string>& column) {
    return std::all_of(column.begin(), column.end(), [](const std::string& t) {
        const size_t digits = t.size() - (t.empty() || t[0] != '-' ? 0 : 1);
        return digits >= 4 && t.size() >= 5 && t.find_first_not_of("0123456789", t.size() - digits) == std::string::npos;
    });
}

// DirectInput calls that, failing inside Open, leave the joystick object without a device.
bool LosesDevice(SimCall call) {
    return call == SimCall::DirectInputCreate || call == SimCall::DirectInput8Create || call == SimCall::DIQueryInterface || call == SimCall::GetConfig ||
           call == SimCall::GetUserValues || call == SimCall::CreateDevice || call == SimCall::DeviceQueryInterface ||
           call == SimCall::GetDeviceState;
}

void ExpectNothingWritten(const Outcome& o) {
    EXPECT_EQ(o.configWrites, 0);
    for (UINT n = 0; n < CSimPlatform::kJoysticks; ++n)
        EXPECT_TRUE(SameCalibration(o.storeBefore[n], o.storeAfter[n])) << "joystick " << n << "'s configuration changed";
    EXPECT_TRUE(SameUserValues(o.userValuesBefore, o.userValuesAfter)) << "the user values changed";
    EXPECT_EQ(o.keysBefore, o.keysAfter) << "the registry changed";
}

TEST(FaultSweep, ATickWithAFailingCallShowsZerosOrGoodReadingsAndComesBack) {
    const Action tick = [](Desk& desk, Window& w) { desk.Tick(w); };
    std::vector<SimCall> calls = kDirectInputCalls;
    calls.push_back(SimCall::JoyGetPosEx);
    int sessions = 0;
    for (const SweptMachine& machine : kMachines) {
        SCOPED_TRACE(machine.name);
        sessions += Sweep(tick, calls, [](const Outcome& clean, const Outcome& o, SimCall call) {
            EXPECT_EQ(o.after.grid, clean.after.grid) << "a tick never touches the editor";
            EXPECT_EQ(o.after.line, clean.after.line);
            // The stick is held still, so a failing WinMM read, which keeps its column's last good
            // text, shows the same as a good one; DirectInput failures do not reach these columns.
            EXPECT_EQ(o.after.joyCooked, clean.after.joyCooked);
            EXPECT_EQ(o.after.joyRaw, clean.after.joyRaw);
            for (const auto* column : {&o.after.diCooked, &o.after.diRaw}) EXPECT_TRUE(WellFormed(*column));
            if (LosesDevice(call)) {
                // Each DirectInput column shows either its good reading or zeros.
                EXPECT_TRUE(o.after.diCooked == clean.after.diCooked || o.after.diCooked == kZeros);
                EXPECT_TRUE(o.after.diRaw == clean.after.diRaw || o.after.diRaw == kZeros);
            }
            EXPECT_EQ(o.recovered.diCooked, clean.recovered.diCooked) << "the next ticks read normally again";
            EXPECT_EQ(o.recovered.diRaw, clean.recovered.diRaw);
            ExpectNothingWritten(o);
        }, machine.setup);
    }
    EXPECT_GT(sessions, 15) << "a steady tick only reads: two polls, two reads and two WinMM reads";
    ::testing::Test::RecordProperty("faulty_sessions", sessions);
    std::printf("%d sessions with a failing call\n", sessions);
}

TEST(FaultSweep, AnEditWithAFailingCallStoresTheEditOrNothingAndCorruptsNothing) {
    const Action edit = [](Desk&, Window& w) { w.Paste(IDC_CAL_MIN_X, "40"); };
    std::vector<SimCall> calls = kDirectInputCalls;
    int sessions = 0;
    for (const SweptMachine& machine : kMachines) {
        SCOPED_TRACE(machine.name);
        sessions += Sweep(edit, calls, [](const Outcome& clean, const Outcome& o, SimCall) {
            const DIJOYCONFIG& stored = o.storeAfter[0];
            const DIJOYCONFIG& was = o.storeBefore[0];
            const DIJOYCONFIG& edited = clean.storeAfter[0];
            EXPECT_TRUE(SameCalibration(stored, was) || SameCalibration(stored, edited))
                << "the stored calibration is the old one or the edited one, nothing in between; X min now "
                << static_cast<LONG>(stored.hwc.hwv.jrvHardware.jpMin.dwX) << ", type " << stored.hwc.dwType
                << ", buttons " << stored.hwc.hws.dwNumButtons;
            EXPECT_TRUE(SameUserValues(o.userValuesAfter, o.userValuesBefore) ||
                        SameUserValues(o.userValuesAfter, clean.userValuesAfter))
                << "the global user values are kept; ranges now " << o.userValuesAfter.ruv.jrvRanges.jpMax.dwX;
            for (UINT n = 1; n < CSimPlatform::kJoysticks; ++n)
                EXPECT_TRUE(SameCalibration(o.storeBefore[n], o.storeAfter[n])) << "joystick " << n << " was written";
            EXPECT_EQ(o.keysBefore, o.keysAfter);
            // The reload shows what the configuration holds; when the reload itself failed, what was typed.
            const std::string storedMin = std::to_string(static_cast<LONG>(stored.hwc.hwv.jrvHardware.jpMin.dwX));
            EXPECT_TRUE(o.after.grid[0] == storedMin || o.after.grid[0] == "40")
                << "X min shows " << o.after.grid[0] << ", the store holds " << storedMin;
            // A valid edit shows no message unless the platform refused to store it; then one says what
            // was stored: the calibration (then it holds the edit), or not.
            if (!o.boxes.empty()) {
                EXPECT_EQ(o.boxes.size(), 1u);
                const bool calibrationStored = o.boxes[0].rfind("Windows stored the calibration of joystick 0", 0) == 0;
                EXPECT_TRUE(calibrationStored || o.boxes[0].rfind("Windows did not store the change to joystick 0", 0) == 0 ||
                            o.boxes[0].rfind("Windows stored the dead zones, but not the calibration of joystick 0", 0) == 0)
                    << o.boxes[0];
                EXPECT_EQ(calibrationStored, SameCalibration(stored, edited)) << o.boxes[0];
            }
        }, machine.setup);
    }
    EXPECT_GT(sessions, 40);
    ::testing::Test::RecordProperty("faulty_sessions", sessions);
    std::printf("%d sessions with a failing call\n", sessions);
}

TEST(FaultSweep, AReloadWithAFailingCallKeepsOrShowsTheStoredValuesAndWritesNothing) {
    // Another program stores a new X minimum and announces the change.
    const Action reload = [](Desk& desk, Window& w) {
        DIJOYCONFIG config = desk.sim.StoredConfig(0);
        config.hwc.hwv.jrvHardware.jpMin.dwX = 77;
        desk.sim.StoreConfig(0, config);
        w.Send(desk.sim.ConfigChangedMessage());
    };
    int sessions = 0;
    for (const SweptMachine& machine : kMachines) {
        SCOPED_TRACE(machine.name);
        sessions += Sweep(reload, kDirectInputCalls, [](const Outcome& clean, const Outcome& o, SimCall) {
            EXPECT_EQ(clean.after.grid[0], "77");
            EXPECT_TRUE(o.after.grid == o.before.grid || o.after.grid == clean.after.grid)
                << "the grid shows the old values or the stored ones; X min shows " << o.after.grid[0];
            EXPECT_EQ(o.configWrites, 0) << "a reload writes nothing";
            EXPECT_TRUE(SameCalibration(o.storeAfter[0], clean.storeAfter[0]));
            EXPECT_TRUE(SameUserValues(o.userValuesBefore, o.userValuesAfter));
            EXPECT_TRUE(o.boxes.empty());
        }, machine.setup);
    }
    EXPECT_GT(sessions, 0);
    ::testing::Test::RecordProperty("faulty_sessions", sessions);
    std::printf("%d sessions with a failing call\n", sessions);
}

TEST(FaultSweep, ASelectionWithAFailingCallNamesTheJoystickOrSaysNotInstalled) {
    const Action next = [](Desk&, Window& w) { w.Click(IDC_NEXT); };
    std::vector<SimCall> calls = kRegistryCalls;
    calls.push_back(SimCall::JoyGetDevCaps);
    for (SimCall c : kDirectInputCalls) calls.push_back(c);
    int sessions = 0;
    for (const SweptMachine& machine : kMachines) {
        SCOPED_TRACE(machine.name);
        sessions += Sweep(next, calls, [](const Outcome& clean, const Outcome& o, SimCall) {
            // Where the display name cannot be read, the OEM key it is looked up by stands in for it.
            EXPECT_TRUE(o.after.line == clean.after.line || o.after.line == "1: not installed!" ||
                        o.after.line == "1: " || o.after.line == "1: VID_1209&PID_5702")
                << o.after.line;
            EXPECT_EQ(o.recovered.line, o.after.line) << "the line changes only with the next selection";
            ExpectNothingWritten(o);
            EXPECT_TRUE(o.boxes.empty());
        }, machine.setup);
    }
    EXPECT_GT(sessions, 20);
    ::testing::Test::RecordProperty("faulty_sessions", sessions);
    std::printf("%d sessions with a failing call\n", sessions);
}

}  // namespace

namespace {

// A reload that fails (here the one the configuration-changed message brings) must not leave an
// emptied record for the next edit to store over the joystick's configuration or the global user
// values: the edit stores the calibration as shown on top of what was read before.
TEST(FaultSweep, AFailedReloadLeavesNoEmptiedRecordForTheNextEdit) {
    for (SimCall call : {SimCall::GetConfig, SimCall::GetUserValues}) {
        SCOPED_TRACE(Name(call));
        Desk desk;
        const DIJOYCONFIG configBefore = desk.sim.StoredConfig(0);
        const DIJOYUSERVALUES userBefore = desk.sim.StoredUserValues();
        desk.Run([&](Window& w, CPadwrightDlg&) {
            desk.Tick(w);
            desk.sim.FailCall(call, E_FAIL);
            w.Send(desk.sim.ConfigChangedMessage());
            w.Paste(IDC_CAL_MIN_X, "40");
        });
        const DIJOYCONFIG config = desk.sim.StoredConfig(0);
        EXPECT_EQ(static_cast<LONG>(config.hwc.hwv.jrvHardware.jpMin.dwX), 40) << "the edit was stored";
        EXPECT_EQ(config.hwc.dwType, configBefore.hwc.dwType);
        EXPECT_EQ(config.hwc.hws.dwNumButtons, configBefore.hwc.hws.dwNumButtons);
        EXPECT_EQ(config.hwc.hws.dwFlags, configBefore.hwc.hws.dwFlags);
        EXPECT_EQ(std::memcmp(config.wszType, configBefore.wszType, sizeof(config.wszType)), 0);
        const DIJOYUSERVALUES user = desk.sim.StoredUserValues();
        EXPECT_EQ(user.ruv.jrvRanges.jpMax.dwX, userBefore.ruv.jrvRanges.jpMax.dwX) << "global ranges kept";
        EXPECT_EQ(user.ruv.dwTimeOut, userBefore.ruv.dwTimeOut);
        EXPECT_EQ(desk.sim.LiveInterfaces(), 0);
    }
}

}  // namespace

namespace {

// Start-up with one call failing at each of its occurrences (and always): the dialog opens, names
// joystick 0 or says it is not installed, shows the stored calibration or nothing loaded at all,
// writes nothing, and releases everything when it closes.
TEST(FaultSweep, StartUpWithAFailingCallOpensTheDialogAndWritesNothing) {
    std::vector<SimCall> calls = kDirectInputCalls;
    for (SimCall c : kRegistryCalls) calls.push_back(c);
    calls.push_back(SimCall::JoyGetDevCaps);

    struct Start {
        bool opened = false;
        Screen screen;
        int calls = 0;
        int writes = 0;
        int live = 0;
        size_t keys = 0;
        size_t boxes = 0;
        int failedCloses = 0;
    };
    const auto start = [](SimCall call, int count, int after) {
        Start s;
        Desk desk;
        const int before = desk.sim.CallCount(call);
        if (count != 0) desk.sim.FailCall(call, FailureFor(call), count, after);
        desk.Run([&](Window& w, CPadwrightDlg&) {
            s.calls = desk.sim.CallCount(call) - before;
            desk.sim.ClearFailures();
            s.opened = w.Timers().count(IDT_REFRESH) == 1;
            s.screen = Look(w);
        });
        s.writes = desk.sim.ConfigWrites();
        s.live = desk.sim.LiveInterfaces();
        s.keys = desk.sim.OpenKeyHandles();
        s.boxes = desk.host.MessageBoxes().size();
        if (call == SimCall::RegCloseKey && count != 0) s.failedCloses = count < 0 ? s.calls : std::min(count, s.calls - after);
        return s;
    };

    std::vector<std::string> nothingLoaded(4 * AXIS_COUNT, "0");
    for (int k = 0; k < CALIBRATION_FLAG_COUNT; ++k) nothingLoaded.push_back("clear");
    int sessions = 0;
    for (SimCall call : calls) {
        const Start clean = start(call, 0, 0);
        for (int k = 0; k <= clean.calls; ++k) {
            const bool always = k == clean.calls;
            if (always && clean.calls == 0) break;
            SCOPED_TRACE(std::string(Name(call)) + (always ? " failing every time" : " failing at call " + std::to_string(k + 1)));
            const Start s = start(call, always ? CSimPlatform::kAlways : 1, always ? 0 : k);
            EXPECT_TRUE(s.opened) << "the dialog runs with its refresh timer";
            const std::string& line = s.screen.line;
            EXPECT_TRUE(line == clean.screen.line || line == "0: not installed!" || line == "0: ") << line;
            EXPECT_TRUE(s.screen.grid == clean.screen.grid || s.screen.grid == nothingLoaded)
                << "X min shows " << s.screen.grid[0];
            EXPECT_EQ(s.writes, 0) << "start-up writes nothing";
            EXPECT_EQ(s.boxes, 0u) << "the dialog starts without a message";
            EXPECT_EQ(s.live, 0);
            EXPECT_EQ(s.keys, static_cast<size_t>(s.failedCloses));
            ++sessions;
        }
    }
    EXPECT_GT(sessions, 20);
    ::testing::Test::RecordProperty("faulty_sessions", sessions);
    std::printf("%d sessions with a failing call\n", sessions);
}

}  // namespace
