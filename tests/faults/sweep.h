// What the fault sweeps share: the calls they fail and how, what the user sees, one session of the
// main dialog with a call made to fail and what it left behind, and the sweep over every occurrence
// of a call.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "../support/desk.h"

namespace sweep {

using headless::Window;

inline const char* Name(SimCall call) {
    static const char* const kNames[] = {
        "JoyGetPosEx", "JoyGetDevCaps", "JoyConfigChanged", "RegOpenKey", "RegQueryValueEx", "RegEnumKey",
        "RegDeleteKey", "RegCloseKey", "RegisterWindowMessage", "DirectInputCreate", "DirectInput8Create",
        "DIQueryInterface",
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

inline std::vector<SimCall> Range(SimCall first, SimCall last) {
    std::vector<SimCall> calls;
    for (int c = static_cast<int>(first); c <= static_cast<int>(last); ++c) calls.push_back(static_cast<SimCall>(c));
    return calls;
}
inline const std::vector<SimCall> kDirectInputCalls = Range(SimCall::DirectInputCreate, SimCall::OpenConfigKey);
inline const std::vector<SimCall> kRegistryCalls = Range(SimCall::RegOpenKey, SimCall::RegCloseKey);

inline int32_t FailureFor(SimCall call) {
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

inline Screen Look(const Window& w) {
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

// Keys of the user's hive are named as the cleaner names them, after their hive.
inline const std::string kUser = "HKEY_CURRENT_USER\\";

inline void AddKeysBelow(const CSimPlatform& sim, HKEY hive, const std::string& path, std::set<std::string>* keys) {
    for (const std::string& name : sim.Subkeys(hive, path)) {
        keys->insert((hive == HKEY_CURRENT_USER ? kUser : "") + path + "\\" + name);
        AddKeysBelow(sim, hive, path + "\\" + name, keys);
    }
}

// The joystick branch of both hives and DirectInput's per-device calibration.
inline std::set<std::string> AllKeys(const CSimPlatform& sim) {
    std::set<std::string> keys;
    AddKeysBelow(sim, HKEY_LOCAL_MACHINE, CSimPlatform::kJoystickBase, &keys);
    AddKeysBelow(sim, HKEY_CURRENT_USER, CSimPlatform::kJoystickBase, &keys);
    AddKeysBelow(sim, HKEY_CURRENT_USER, CSimPlatform::kDirectInputBranch, &keys);
    return keys;
}

// The user's answers: yes to everything but the calibration key of the "vjoyd" driver and the
// modern machine's gamepad.
inline bool Declines(const std::string& question) {
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
// runs, the failure is cleared, and two more ticks show how the tool came back (a DirectInput reader
// opened again reads a HID joystick's default state until the joystick's first report).
inline Outcome Play(const Action& action, SimCall call, int count, int after, const Setup& setup = nullptr) {
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
inline int Sweep(const Action& action, const std::vector<SimCall>& calls,
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
            // Per joystick object (calibrated and raw), three held, and on Windows 10/11 the DirectInput 8
            // object its configuration interface keeps.
            EXPECT_LE(faulty.liveAfterAction, 8) << "two joystick objects hold at most four interfaces each";
            EXPECT_EQ(faulty.keysAtEnd, static_cast<size_t>(faulty.closesFailed))
                << "every registry key opened was closed (a close made to fail leaves its handle)";
            check(clean, faulty, call);
            ++sessions;
        }
    }
    return sessions;
}

}  // namespace sweep
