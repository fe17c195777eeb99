// Fault sweeps: every platform call the tool makes during a refresh tick, a calibration edit, a
// reload, a selection and the cleaner (the latter on the legacy and the modern machine) is made to
// fail, once at each of its occurrences and then at all of them. The tool must keep running, show
// what it shows for a failing platform (zeros, "not installed!", the cleaner's error messages),
// write or delete nothing it was not asked to, and leave no DirectInput interface or registry key
// open once the dialog has closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../support/desk.h"

namespace {

using headless::Window;

const char* Name(SimCall call) {
    static const char* const kNames[] = {
        "JoyGetPosEx", "JoyGetDevCaps", "JoyConfigChanged", "RegOpenKey", "RegQueryValueEx", "RegEnumKey",
        "RegDeleteKey", "RegCloseKey", "RegisterWindowMessage", "DirectInputCreate", "DIQueryInterface",
        "CreateDevice", "EnumDevices", "GetDeviceStatus", "DIRunControlPanel", "DIInitialize",
        "DeviceQueryInterface", "GetCapabilities", "EnumObjects", "GetProperty", "SetProperty", "DeviceAcquire",
        "DeviceUnacquire", "GetDeviceState", "GetDeviceData", "SetDataFormat", "SetEventNotification",
        "DeviceSetCooperativeLevel", "GetObjectInfo", "GetDeviceInfo", "DeviceRunControlPanel", "DeviceInitialize",
        "CreateEffect", "EnumEffects", "GetEffectInfo", "GetForceFeedbackState", "SendForceFeedbackCommand",
        "EnumCreatedEffectObjects", "Escape", "Poll", "SendDeviceData", "JoyConfigQueryInterface",
        "JoyConfigAcquire", "JoyConfigUnacquire", "JoyConfigSetCooperativeLevel", "SendNotify", "EnumTypes",
        "GetTypeInfo", "SetTypeInfo", "DeleteType", "GetConfig", "SetConfig", "DeleteConfig", "GetUserValues",
        "SetUserValues", "AddNewHardware", "OpenTypeKey", "OpenConfigKey"};
    static_assert(std::size(kNames) == static_cast<size_t>(SimCall::Count), "one name a call");
    return kNames[static_cast<int>(call)];
}

std::vector<SimCall> Range(SimCall first, SimCall last) {
    std::vector<SimCall> calls;
    for (int c = static_cast<int>(first); c <= static_cast<int>(last); ++c) calls.push_back(static_cast<SimCall>(c));
    return calls;
}
const std::vector<SimCall> kDirectInputCalls = Range(SimCall::DirectInputCreate, SimCall::OpenConfigKey);
const std::vector<SimCall> kRegistryCalls = Range(SimCall::RegOpenKey, SimCall::RegCloseKey);

int32_t FailureFor(SimCall call) {
    if (call == SimCall::JoyGetPosEx || call == SimCall::JoyGetDevCaps || call == SimCall::JoyConfigChanged)
        return JOYERR_UNPLUGGED;
    if (call >= SimCall::RegOpenKey && call <= SimCall::RegCloseKey) return ERROR_ACCESS_DENIED;
    if (call == SimCall::Poll) return DIERR_INPUTLOST;
    return E_FAIL;
}

// What the user sees in the main dialog.
struct Screen {
    std::vector<std::string> joyCooked, joyRaw, diCooked, diRaw, grid;
    std::string line;
};

Screen Look(const Window& w) {
    Screen s;
    for (int i = 0; i < AXIS_COUNT; ++i) {
        s.joyCooked.push_back(w.Text(IDC_JOY_COOKED_X + i));
        s.joyRaw.push_back(w.Text(IDC_JOY_RAW_X + i));
        s.diCooked.push_back(w.Text(kDiCookedIds[i]));
        s.diRaw.push_back(w.Text(kDiRawIds[i]));
    }
    for (int i = 0; i < AXIS_COUNT; ++i) {
        s.grid.push_back(w.Text(IDC_CAL_MIN_X + 2 * i));
        s.grid.push_back(w.Text(IDC_CAL_CENTER_X + 2 * i));
        s.grid.push_back(w.Text(IDC_CAL_MAX_X + 2 * i));
        s.grid.push_back(w.Text(IDC_DEADZONE_X + 2 * i));
    }
    for (int id : kCalibratedIds) s.grid.push_back(w.Checked(id) ? "ticked" : "clear");
    s.line = w.Text(IDC_POLLED_DEVICE);
    return s;
}

const std::vector<std::string> kZeros(AXIS_COUNT, "00000");

// Keys of the user's hive are named as the cleaner names them, after their hive.
const std::string kUser = "HKEY_CURRENT_USER\\";

void AddKeysBelow(const CSimPlatform& sim, HKEY hive, const std::string& path, std::set<std::string>* keys) {
    for (const std::string& name : sim.Subkeys(hive, path)) {
        keys->insert((hive == HKEY_CURRENT_USER ? kUser : "") + path + "\\" + name);
        AddKeysBelow(sim, hive, path + "\\" + name, keys);
    }
}

// The joystick branch of both hives and DirectInput's per-device calibration.
std::set<std::string> AllKeys(const CSimPlatform& sim) {
    std::set<std::string> keys;
    AddKeysBelow(sim, HKEY_LOCAL_MACHINE, CSimPlatform::kJoystickBase, &keys);
    AddKeysBelow(sim, HKEY_CURRENT_USER, CSimPlatform::kJoystickBase, &keys);
    AddKeysBelow(sim, HKEY_CURRENT_USER, CSimPlatform::kDirectInputBranch, &keys);
    return keys;
}

bool SameCalibration(const DIJOYCONFIG& a, const DIJOYCONFIG& b) {
    return std::memcmp(&a.hwc, &b.hwc, sizeof(a.hwc)) == 0 && std::memcmp(a.wszType, b.wszType, sizeof(a.wszType)) == 0;
}
bool SameUserValues(const DIJOYUSERVALUES& a, const DIJOYUSERVALUES& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

// The user's answers: yes to everything but the calibration key of the "vjoyd" driver and the
// modern machine's gamepad.
bool Declines(const std::string& question) {
    return question.find("vjoyd.vxd") != std::string::npos || question.find("PID_5702") != std::string::npos;
}

// What one session showed and left behind.
struct Outcome {
    Screen before, after, recovered;
    bool ended = false;
    int liveAfterAction = 0;
    int liveAtEnd = 0;
    bool acquiredAtEnd = false;
    size_t keysAtEnd = 0;
    int closesFailed = 0;
    int configWrites = 0;
    std::vector<std::string> boxes;
    std::set<std::string> keysBefore, keysAfter;
    std::vector<DIJOYCONFIG> storeBefore, storeAfter;
    DIJOYUSERVALUES userValuesBefore{}, userValuesAfter{};
    int calls = 0;  // calls of the swept function during the action
    int notifications = 0;
};

using Action = std::function<void(Desk&, Window&)>;
// Prepares the machine before the dialog starts; none keeps the legacy machine.
using Setup = std::function<void(Desk&)>;

// One session: the dialog starts on a machine with every axis of joystick 0 held still and ticks
// once; then `call` is set to fail `count` times after `after` good calls (count 0: never), `action`
// runs, the failure is cleared, and one more tick shows how the tool came back.
Outcome Play(const Action& action, SimCall call, int count, int after, const Setup& setup = nullptr) {
    Outcome o;
    Desk desk;
    if (setup) setup(desk);
    for (int axis = 0; axis < AXIS_COUNT; ++axis) desk.sim.HoldAxis(0, axis, 150 + 60 * axis);
    desk.host.SetMessageBoxHandler([&](const headless::MessageBoxRecord& box) {
        o.boxes.push_back(box.text);
        if ((box.type & MB_TYPEMASK) != MB_YESNO) return IDOK;
        return Declines(box.text) ? IDNO : IDYES;
    });
    desk.Run([&](Window& w, CPadwrightDlg&) {
        desk.Tick(w);
        o.before = Look(w);
        o.keysBefore = AllKeys(desk.sim);
        for (UINT n = 0; n < CSimPlatform::kJoysticks; ++n) o.storeBefore.push_back(desk.sim.StoredConfig(n));
        o.userValuesBefore = desk.sim.StoredUserValues();
        const int writes = desk.sim.ConfigWrites();
        const int callsBefore = desk.sim.CallCount(call);
        const int notificationsBefore = desk.sim.Notifications();

        if (count != 0) desk.sim.FailCall(call, FailureFor(call), count, after);
        action(desk, w);
        desk.sim.ClearFailures();

        o.calls = desk.sim.CallCount(call) - callsBefore;
        if (call == SimCall::RegCloseKey && count != 0)
            o.closesFailed = std::min(o.calls - after, count < 0 ? o.calls : count);
        o.configWrites = desk.sim.ConfigWrites() - writes;
        o.notifications = desk.sim.Notifications() - notificationsBefore;
        o.after = Look(w);
        o.liveAfterAction = desk.sim.LiveInterfaces();
        o.keysAfter = AllKeys(desk.sim);
        for (UINT n = 0; n < CSimPlatform::kJoysticks; ++n) o.storeAfter.push_back(desk.sim.StoredConfig(n));
        o.userValuesAfter = desk.sim.StoredUserValues();
        desk.Tick(w);
        o.recovered = Look(w);
        o.ended = w.Ended();
    });
    o.liveAtEnd = desk.sim.LiveInterfaces();
    o.acquiredAtEnd = desk.sim.ConfigAcquired();
    o.keysAtEnd = desk.sim.OpenKeyHandles();
    return o;
}

// Runs `check` for the fault-free session and for `call` failing at each occurrence in turn and
// then always; returns how many faulty sessions ran.
int Sweep(const Action& action, const std::vector<SimCall>& calls,
          const std::function<void(const Outcome& clean, const Outcome& faulty, SimCall call)>& check,
          const Setup& setup = nullptr) {
    int sessions = 0;
    for (SimCall call : calls) {
        const Outcome clean = Play(action, call, 0, 0, setup);
        for (int k = 0; k <= clean.calls; ++k) {
            const bool always = k == clean.calls;
            if (always && clean.calls == 0) break;
            SCOPED_TRACE(std::string(Name(call)) + (always ? " failing every time" : " failing at call " + std::to_string(k + 1) + " of " + std::to_string(clean.calls)));
            const Outcome faulty = Play(action, call, always ? CSimPlatform::kAlways : 1, always ? 0 : k, setup);
            EXPECT_FALSE(faulty.ended) << "the dialog is still open";
            EXPECT_EQ(faulty.liveAtEnd, 0) << "no DirectInput interface outlives the dialog";
            EXPECT_FALSE(faulty.acquiredAtEnd) << "no configuration write is left acquired";
            EXPECT_LE(faulty.liveAfterAction, 3) << "one joystick object holds at most three interfaces";
            EXPECT_EQ(faulty.keysAtEnd, static_cast<size_t>(faulty.closesFailed))
                << "every registry key opened was closed (a close made to fail leaves its handle)";
            check(clean, faulty, call);
            ++sessions;
        }
    }
    return sessions;
}

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
    return call == SimCall::DirectInputCreate || call == SimCall::DIQueryInterface || call == SimCall::GetConfig ||
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
            EXPECT_EQ(o.recovered.diCooked, clean.recovered.diCooked) << "the next tick reads normally again";
            EXPECT_EQ(o.recovered.diRaw, clean.recovered.diRaw);
            ExpectNothingWritten(o);
        }, machine.setup);
    }
    EXPECT_GT(sessions, 40);
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
            // A valid edit shows no message unless the platform refused to store it; then one says so.
            if (!o.boxes.empty()) {
                EXPECT_EQ(o.boxes.size(), 1u);
                EXPECT_EQ(o.boxes[0].rfind("Windows did not store the change to joystick 0", 0), 0u) << o.boxes[0];
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

const std::string kBase = CSimPlatform::kJoystickBase;
const std::string kFoundHead = "Found calibration information at\n>";

// The key a "Found calibration information" question names (key names may hold '<' and '>').
std::string FoundPath(const std::string& question) {
    return question.substr(kFoundHead.size(), question.rfind("<\n\n") - kFoundHead.size());
}

std::string Refused(const std::string& path) {
    return "Windows refused to delete\n>" + path +
           "<\n\nDeleting it needs administrator rights: start Padwright as an administrator to remove it.";
}

// The machines the cleaner is swept on, and the settings key each removes, as the messages name it.
struct CleanerMachine {
    const char* name;
    Setup setup;
    std::string settings;
};

std::vector<CleanerMachine> CleanerMachines() {
    const auto modern = [](bool elevated) {
        return [elevated](Desk& desk) {
            desk.sim.Rebuild(SimMachine::Modern(elevated));
            desk.sim.SetClock([&desk] { return desk.now; });
            // Windows keeps a device's calibration in subkeys, which go before their key.
            const std::string stick = CSimPlatform::DeviceCalibrationKey("VID_1209&PID_5701");
            desk.sim.AddKey(HKEY_CURRENT_USER, stick + "\\0\\Type\\Axes\\0");
        };
    };
    const std::string modernSettings = kUser + kBase + "\\DINPUT.DLL\\CurrentJoystickSettings";
    return {{"legacy", nullptr, CSimPlatform::SettingsKeyPath()},
            {"modern, standard user", modern(false), modernSettings},
            {"modern, administrator", modern(true), modernSettings}};
}

TEST(FaultSweep, TheCleanerWithAFailingCallDeletesOnlyWhatWasConfirmedAndSaysWhatHappened) {
    const Action clear = [](Desk&, Window& w) { w.Click(IDC_CLEAR_CALIBRATION); };
    std::vector<SimCall> calls = kRegistryCalls;
    calls.push_back(SimCall::JoyGetDevCaps);
    calls.push_back(SimCall::JoyConfigChanged);
    for (const CleanerMachine& machine : CleanerMachines()) {
        SCOPED_TRACE(machine.name);
        const bool rewritesSettings = machine.setup != nullptr;  // WinMM writes the modern settings again
        const std::string& settings = machine.settings;
        const int sessions = Sweep(clear, calls, [&](const Outcome&, const Outcome& o, SimCall) {
            // Every key the user confirmed, as the questions named them; a confirmed key's subkeys go with it.
            std::set<std::string> confirmed;
            for (const std::string& text : o.boxes) {
                if (text.rfind(kFoundHead, 0) == 0 && !Declines(text)) confirmed.insert(FoundPath(text));
                if (text.rfind("You still have some game controllers installed", 0) == 0) confirmed.insert(settings);
            }
            const auto wasConfirmed = [&](const std::string& key) {
                return std::any_of(confirmed.begin(), confirmed.end(), [&](const std::string& c) {
                    return key == c || key.rfind(c + "\\", 0) == 0;
                });
            };
            for (const std::string& key : o.keysBefore)
                EXPECT_TRUE(o.keysAfter.count(key) || wasConfirmed(key)) << key << " was deleted unasked";

            // Each report matches what the registry now holds.
            const auto shown = [&](const std::string& text) {
                return std::find(o.boxes.begin(), o.boxes.end(), text) != o.boxes.end();
            };
            if (shown("All game controllers have been deleted.\n")) {
                EXPECT_TRUE(!o.keysAfter.count(settings) || (rewritesSettings && o.notifications > 0));
            }
            int deletions = 0;
            int failures = 0;
            for (const std::string& text : o.boxes) {
                const bool removalFailed = text.rfind("An error occurred while deleting\n>", 0) == 0 ||
                                           (text.rfind("Windows refused", 0) == 0 &&
                                            text.find("CurrentJoystickSettings<") != std::string::npos);
                if (!removalFailed) continue;
                EXPECT_TRUE(o.keysAfter.count(settings)) << "a failed removal left no settings key: " << text;
                EXPECT_EQ(o.notifications, 0) << "a failed removal is not announced";
                ++failures;
            }
            for (size_t i = 0; i + 1 < o.boxes.size(); ++i) {
                if (o.boxes[i].rfind(kFoundHead, 0) != 0) continue;
                const std::string path = FoundPath(o.boxes[i]);
                if (Declines(o.boxes[i])) {
                    EXPECT_TRUE(o.keysAfter.count(path)) << path << " was declined but is gone";
                    EXPECT_NE(o.boxes[i + 1], "Calibration found and deleted.");
                } else if (o.boxes[i + 1] == "Calibration found and deleted.") {
                    EXPECT_FALSE(o.keysAfter.count(path)) << path << " reported deleted but still there";
                    ++deletions;
                } else {
                    EXPECT_TRUE(o.boxes[i + 1] == "An error occured while trying to delete:\n>" + path + "<!" ||
                                o.boxes[i + 1] == Refused(path))
                        << o.boxes[i + 1];
                    EXPECT_TRUE(o.keysAfter.count(path)) << path << " reported kept but gone";
                    ++failures;
                }
            }
            if (!shown("An error occured while accessing\n>" + kBase + "<")) {
                const char* closing = "No calibration information was found. Probably already deleted.";
                if (failures == 0 && deletions > 0) closing = "All calibration information has been deleted.";
                if (failures > 0 && deletions == 0) closing = "The calibration information found could not be deleted.";
                if (failures > 0 && deletions > 0)
                    closing = "Some calibration information has been deleted, but not all of it could be.";
                EXPECT_EQ(o.boxes.back(), closing) << deletions << " deleted, " << failures << " failed";
            }
            EXPECT_EQ(o.recovered.diCooked.size(), static_cast<size_t>(AXIS_COUNT));
        }, machine.setup);
        EXPECT_GT(sessions, 20);
        ::testing::Test::RecordProperty(std::string("faulty_sessions, ") + machine.name, sessions);
        std::printf("%s: %d sessions with a failing call\n", machine.name, sessions);
    }
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
