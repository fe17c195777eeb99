// Fuzz target: a whole session at the desk driven by the input. Typing, pasting and deleting in any
// of the 24 edits, check boxes, up-down steps, ticks, "&Next", "Default values", the
// configuration-changed message, and now and then one DirectInput or registry call made to fail.
// After every step the dialog is still open, at most the two joystick objects' interfaces are alive,
// no registry key is left open, and the configuration store holds nothing the editor may not write:
// calibration values within -1000..1655 for a joystick in gameport numbers, within each axis's own
// range for one in its own units, and as they were for an axis the machine tells nothing of; dead zones
// within 0..100; each joystick's type, buttons and axis flags and the global ranges as they were. When the dialog closes, everything is released. Each input
// runs on the gameport machine and again on the Windows 10/11 one, whose standard user may be refused
// the configuration writes.
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "../support/desk.h"
#include "joystick/joystick_records.h"
#include "fuzz_input.h"

namespace {

std::vector<int> EditIds() {
    std::vector<int> ids;
    for (int i = 0; i < AXIS_COUNT; ++i) {
        ids.push_back(IDC_CAL_MIN_X + 2 * i);
        ids.push_back(IDC_CAL_CENTER_X + 2 * i);
        ids.push_back(IDC_CAL_MAX_X + 2 * i);
        ids.push_back(IDC_DEADZONE_X + 2 * i);
    }
    return ids;
}

// Calls that may fail during the session. Closing a key is left out: a close that fails keeps the
// handle open in the simulation, which is no fault of the tool's.
const SimCall kFaults[] = {SimCall::DirectInputCreate, SimCall::DIQueryInterface, SimCall::CreateDevice,
                           SimCall::DeviceQueryInterface, SimCall::SetDataFormat, SimCall::SetProperty,
                           SimCall::DeviceSetCooperativeLevel, SimCall::Poll, SimCall::GetDeviceState,
                           SimCall::JoyConfigAcquire, SimCall::JoyConfigSetCooperativeLevel, SimCall::SendNotify,
                           SimCall::GetConfig, SimCall::SetConfig, SimCall::GetUserValues, SimCall::SetUserValues,
                           SimCall::JoyGetPosEx, SimCall::JoyGetDevCaps, SimCall::RegOpenKey,
                           SimCall::RegQueryValueEx};

LONG Signed(DWORD v) { return static_cast<LONG>(v); }

struct Range {
    LONG low;
    LONG high;
};

// What the editor may store for each axis of a joystick: gameport numbers for a gameport joystick, the
// axis's own range where the platform tells one, and for an axis it does not tell nothing but what
// was stored before.
struct Allowed {
    Range axis[6];
};

Allowed AllowedRanges(CSimPlatform& sim, UINT number, const DIJOYCONFIG& initial) {
    JoystickUnits units;
    const bool known = sim.GetJoystickUnits(number, &units);
    Allowed allowed{};
    for (int i = 0; i < 6; ++i) {
        const JOYRANGE& r = initial.hwc.hwv.jrvHardware;
        const LONG values[3] = {Signed(JoyPosAxis(r.jpMin, i)), Signed(JoyPosAxis(r.jpCenter, i)),
                                Signed(JoyPosAxis(r.jpMax, i))};
        Range range{values[0], values[0]};
        for (LONG v : values) range = {v < range.low ? v : range.low, v > range.high ? v : range.high};
        if (known && units.gameport) {
            range = {-1000, 1655};
        } else if (known && units.axes[i].present) {
            range = {units.axes[i].min, units.axes[i].max};
        }
        allowed.axis[i] = range;
    }
    return allowed;
}

bool CalibrationInRange(const JOYRANGE& r, const Allowed& allowed) {
    for (int i = 0; i < 6; ++i)
        for (DWORD v : {JoyPosAxis(r.jpMin, i), JoyPosAxis(r.jpCenter, i), JoyPosAxis(r.jpMax, i)})
            if (Signed(v) < allowed.axis[i].low || Signed(v) > allowed.axis[i].high) return false;
    return true;
}

void RunSession(const uint8_t* data, size_t size, const SimMachine& machine) {
    fuzz::Bytes in(data, size);
    Desk desk(machine);
    const std::vector<int> edits = EditIds();
    std::vector<DIJOYCONFIG> initial;
    std::vector<Allowed> allowed;
    for (UINT n = 0; n < CSimPlatform::kJoysticks; ++n) {
        initial.push_back(desk.sim.StoredConfig(n));
        allowed.push_back(AllowedRanges(desk.sim, n, initial.back()));
    }
    const DIJOYUSERVALUES initialUser = desk.sim.StoredUserValues();

    desk.Run([&](headless::Window& w, CPadwrightDlg&) {
        for (int step = 0; step < 64 && !in.Empty(); ++step) {
            const uint8_t op = in.Byte();
            const int edit = edits[in.Byte() % edits.size()];
            switch (op % 10) {
            case 0: w.Paste(edit, in.Text(40)); break;
            case 1: w.Type(edit, in.Text(8)); break;
            case 2: w.Backspace(edit); break;
            case 3: w.Click(kCalibratedIds[in.Byte() % CALIBRATION_FLAG_COUNT]); break;
            case 4: w.Spin(edit + 1, static_cast<int8_t>(in.Byte())); break;
            case 5: desk.Tick(w); break;
            case 6: w.Click(IDC_NEXT); break;
            case 7: w.Click(IDC_DEFAULT_VALUES); break;
            case 8: w.Send(desk.sim.ConfigChangedMessage()); break;
            default: {
                const SimCall call = kFaults[in.Byte() % std::size(kFaults)];
                desk.sim.FailCall(call, call == SimCall::RegOpenKey || call == SimCall::RegQueryValueEx
                                            ? ERROR_ACCESS_DENIED
                                            : (call == SimCall::JoyGetPosEx || call == SimCall::JoyGetDevCaps
                                                   ? JOYERR_UNPLUGGED
                                                   : E_FAIL),
                                  1, in.Byte() % 8);
                break;
            }
            }

            FUZZ_CHECK(!w.Ended(), "step %d (op %d) closed the dialog", step, op % 10);
            // Three held, and on Windows 10/11 the DirectInput 8 object its configuration interface keeps.
            FUZZ_CHECK(desk.sim.LiveInterfaces() <= 8, "%d interfaces alive", desk.sim.LiveInterfaces());
            FUZZ_CHECK(desk.sim.OpenKeyHandles() == 0, "%zu keys left open", desk.sim.OpenKeyHandles());
            for (UINT n = 0; n < CSimPlatform::kJoysticks; ++n) {
                const DIJOYCONFIG stored = desk.sim.StoredConfig(n);
                const JOYREGHWCONFIG& hwc = stored.hwc;
                FUZZ_CHECK(CalibrationInRange(hwc.hwv.jrvHardware, allowed[n]),
                           "joystick %u stores a calibration value out of range (X min %ld)", n,
                           static_cast<long>(Signed(hwc.hwv.jrvHardware.jpMin.dwX)));
                FUZZ_CHECK(hwc.dwType == initial[n].hwc.dwType && hwc.hws.dwFlags == initial[n].hwc.hws.dwFlags &&
                               hwc.hws.dwNumButtons == initial[n].hwc.hws.dwNumButtons,
                           "joystick %u lost its type, flags or buttons", n);
            }
            const DIJOYUSERVALUES user = desk.sim.StoredUserValues();
            for (DWORD zone : {user.ruv.jpDeadZone.dwX, user.ruv.jpDeadZone.dwY, user.ruv.jpDeadZone.dwZ,
                               user.ruv.jpDeadZone.dwR, user.ruv.jpDeadZone.dwU, user.ruv.jpDeadZone.dwV})
                FUZZ_CHECK(zone <= 100, "a dead zone of %lu %%", static_cast<unsigned long>(zone));
            FUZZ_CHECK(std::memcmp(&user.ruv.jrvRanges, &initialUser.ruv.jrvRanges, sizeof(JOYRANGE)) == 0 &&
                           user.ruv.dwTimeOut == initialUser.ruv.dwTimeOut,
                       "the global ranges or time-out changed");
        }
        desk.sim.ClearFailures();
    });
    FUZZ_CHECK(desk.sim.LiveInterfaces() == 0, "%d interfaces outlive the dialog", desk.sim.LiveInterfaces());
    FUZZ_CHECK(!desk.sim.ConfigAcquired(), "the configuration is still acquired after the dialog closed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RunSession(data, size, SimMachine::Legacy());
    SimMachine modern = SimMachine::Modern();
    modern.joyConfigNeedsElevation = size % 2 == 1;  // both answers to whether writing needs the rights
    RunSession(data, size, modern);
    return 0;
}
