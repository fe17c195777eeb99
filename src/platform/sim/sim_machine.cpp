// The simulated machine: its controllers and registry as the legacy or the modern Windows sets them
// up, its configuration store, and the registry values the system keeps in step with that store.
#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "joystick/joystick_records.h"
#include "platform/sim/sim_internal.h"

namespace {

constexpr DWORD kCalBits[CSimPlatform::kAxes] = {JOY_ISCAL_XY, JOY_ISCAL_XY, JOY_ISCAL_Z,
                                                 JOY_ISCAL_R,  JOY_ISCAL_U,  JOY_ISCAL_V};
constexpr double kPi = 3.14159265358979323846;

template <size_t N>
void CopyText(WCHAR (&to)[N], const char* from) {
    size_t i = 0;
    for (; i + 1 < N && from[i] != '\0'; ++i) {
        to[i] = static_cast<WCHAR>(from[i]);
    }
    to[i] = 0;
}

uint64_t SteadyNowMs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

std::string ValueName(UINT number, const char* suffix) {
    char name[48];
    std::snprintf(name, sizeof(name), "Joystick%u%s", number + 1, suffix);
    return name;
}

}  // namespace

std::vector<SimController> CSimPlatform::DefaultControllers() {
    return {
        {0, "Virtual FlightStick Pro (throttle, rudder)", 6, 4, JOY_HW_4B_FLIGHTYOKETHROTTLE,
         JOY_ISCAL_XY | JOY_ISCAL_Z | JOY_ISCAL_R},
        {1, "Virtual GamePad", 2, 2, JOY_HW_2B_GAMEPAD, 0},
        {3, "Virtual Flight Yoke", 4, 4, JOY_HW_4B_FLIGHTYOKE, JOY_ISCAL_XY},
    };
}

SimMachine SimMachine::Legacy() {
    SimMachine machine;
    machine.controllers = CSimPlatform::DefaultControllers();
    return machine;
}

SimMachine SimMachine::Modern(bool elevated) {
    SimMachine machine;
    machine.windows = SimWindows::Modern;
    machine.elevated = elevated;
    // Test vendor/product ids of the open pid.codes range, so that no real product is named.
    machine.controllers = {
        {0, "Virtual HOTAS Stick (USB)", 6, 12, JOY_HW_CUSTOM, JOY_ISCAL_XY | JOY_ISCAL_Z, 65535, "VID_1209&PID_5701", true},
        {1, "Virtual USB Gamepad", 4, 10, JOY_HW_CUSTOM, 0, 1023, "VID_1209&PID_5702", true},
        {2, "Virtual Racing Wheel (USB)", 3, 8, JOY_HW_CUSTOM, JOY_ISCAL_XY, 1023, "VID_1209&PID_5703", false},
        {4, "Virtual Retro Pad (USB)", 2, 8, JOY_HW_CUSTOM, 0, 255, "VID_1209&PID_5704", true},
    };
    return machine;
}

GUID CSimPlatform::Impl::InstanceGuid(UINT number) {
    return GUID{0x50570000u | number, 0x5349, 0x4D4A, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, static_cast<uint8_t>(number)}};
}

CSimPlatform::Impl::Impl(const SimMachine& m) : machine(m) {
    const uint64_t start = SteadyNowMs();
    clock = [start] { return SteadyNowMs() - start; };
    const bool modern = Modern();
    // Windows 2000 and later keep the joystick settings per user, and WinMM reads joysticks through
    // DirectInput, whose capabilities name the driver key "DINPUT.DLL" (Microsoft's joystick
    // documentation; SDL, PLIB and freeglut open HKEY_LOCAL_MACHINE first and fall back to the user's).
    settingsHive = modern ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    driverKey = modern ? kModernDriverKey : kDriverKey;
    // A standard user's token may read HKEY_LOCAL_MACHINE but not delete there (registry key security).
    registry.ProtectHive(HKEY_LOCAL_MACHINE, modern && !machine.elevated);

    userValues.dwSize = sizeof(DIJOYUSERVALUES);
    userValues.ruv.dwTimeOut = 5000;
    for (int axis = 0; axis < kAxes; ++axis) {
        JoyPosAxis(userValues.ruv.jrvRanges.jpMin, axis) = 0;
        JoyPosAxis(userValues.ruv.jrvRanges.jpCenter, axis) = 32767;
        JoyPosAxis(userValues.ruv.jrvRanges.jpMax, axis) = 65535;
    }
    userValues.ruv.jpDeadZone.dwX = 5;
    userValues.ruv.jpDeadZone.dwY = 5;

    const std::string base = kJoystickBase;
    const std::string driver = base + "\\" + driverKey;
    EnsureSettingsKey();
    // WinMM's own calibration records: per user on the modern machine.
    registry.Create(settingsHive, driver + "\\JoystickSettings");
    if (modern) {
        // Left under HKEY_LOCAL_MACHINE by the Windows this machine was upgraded from.
        registry.Create(HKEY_LOCAL_MACHINE, driver + "\\JoystickSettings");
    } else {
        // Calibration left behind by drivers used before the current one, for the cleaner to find.
        registry.Create(base + "\\vjoyd.vxd<0001>\\JoystickSettings");
        registry.Create(base + "\\ibmjoy.drv<0002>\\JoystickSettings");
        registry.Create(base + "\\joyhid.vxd<0003>");
    }

    for (const SimController& c : machine.controllers) {
        if (c.number >= kJoysticks) {
            continue;
        }
        Device& d = devices[c.number];
        d.plugged = c.plugged;
        d.axes = std::clamp(c.axes, 0, static_cast<int>(kAxes));
        d.buttons = c.buttons;
        d.name = c.oemName;
        d.hardwareId = c.hardwareId;
        d.reportMs = modern ? std::max<uint32_t>(c.reportMs, 1) : 0;
        if (c.logicalMax > 0) {
            // Raw reads and the stored calibration of a HID axis are in its logical units, and an axis
            // without calibration reads over its logical range (JOY_RETURNRAWDATA, DIPROP_CALIBRATIONMODE).
            d.nominalMin = 0;
            d.nominalCenter = c.logicalMax / 2;
            d.nominalMax = c.logicalMax;
        }
        for (int axis = 0; axis < kAxes; ++axis) {
            if (c.logicalMax > 0) {
                // A HID axis reports its whole logical range.
                d.travelMin[axis] = d.nominalMin;
                d.travelCenter[axis] = d.nominalCenter;
                d.travelMax[axis] = d.nominalMax;
            } else {
                // Gameport-like travel: a little short of 0..655 at both ends, centre slightly off the middle.
                d.travelMin[axis] = 12 + 3 * axis + 2 * static_cast<LONG>(c.number);
                d.travelMax[axis] = 641 - 4 * axis - static_cast<LONG>(c.number);
                d.travelCenter[axis] = (d.travelMin[axis] + d.travelMax[axis]) / 2 + (axis % 2 == 0 ? -3 : 4);
            }
            d.periodMs[axis] = 3100 + 1700 * static_cast<uint32_t>(axis) + 500 * c.number;
            d.phaseMs[axis] = 400 * static_cast<uint32_t>(axis);
        }

        Stored& s = store[c.number];
        s.configured = true;
        s.guidInstance = InstanceGuid(c.number);
        JOYREGHWCONFIG& hwc = s.hwc;
        hwc.hws.dwNumButtons = c.buttons;
        hwc.hws.dwFlags = (d.axes >= 3 ? JOY_HWS_HASZ : 0) | (d.axes >= 4 ? JOY_HWS_HASR : 0) |
                          (d.axes >= 5 ? JOY_HWS_HASU : 0) | (d.axes >= 6 ? JOY_HWS_HASV : 0) |
                          (c.hwType == JOY_HW_2B_GAMEPAD || c.hwType == JOY_HW_4B_GAMEPAD ? JOY_HWS_ISGAMEPAD : 0);
        hwc.dwUsageSettings = JOY_US_PRESENT | (d.axes >= 4 ? JOY_US_HASRUDDER : 0);
        hwc.dwType = c.hwType;
        hwc.hwv.dwCalFlags = c.calFlags & (JOY_ISCAL_XY | JOY_ISCAL_Z | JOY_ISCAL_R | JOY_ISCAL_U | JOY_ISCAL_V);
        for (int axis = 0; axis < kAxes; ++axis) {
            const bool calibrated = axis < d.axes && (hwc.hwv.dwCalFlags & kCalBits[axis]) != 0;
            JoyPosAxis(hwc.hwv.jrvHardware.jpMin, axis) = static_cast<DWORD>(calibrated ? d.travelMin[axis] : d.nominalMin);
            JoyPosAxis(hwc.hwv.jrvHardware.jpCenter, axis) =
                static_cast<DWORD>(calibrated ? d.travelCenter[axis] : d.nominalCenter);
            JoyPosAxis(hwc.hwv.jrvHardware.jpMax, axis) = static_cast<DWORD>(calibrated ? d.travelMax[axis] : d.nominalMax);
        }
        if (modern) {
            CopyText(s.type, c.hardwareId.c_str());  // HID devices are typed by their hardware id
            // The driver's display name, in the OEM branch the settings point to.
            registry.SetValue(HKEY_LOCAL_MACHINE, std::string(kOemBranch) + "\\" + c.hardwareId, "OEMName", REG_SZ,
                              c.oemName.c_str(), c.oemName.size() + 1);
        } else {
            char type[8];
            std::snprintf(type, sizeof(type), "#%u", static_cast<unsigned>(c.hwType));
            CopyText(s.type, type);
        }
        s.gain = 10000;

        WriteSettings(c.number);
        MirrorCalibration(c.number);
        registry.SetValue(settingsHive, driver + "\\JoystickSettings", ValueName(c.number, "Calibration"), REG_BINARY,
                          &hwc.hwv.jrvHardware, sizeof(JOYRANGE));
        if (!modern) {
            registry.SetValue(base + "\\vjoyd.vxd<0001>\\JoystickSettings", ValueName(c.number, "Calibration"),
                              REG_BINARY, &hwc.hwv.jrvHardware, sizeof(JOYRANGE));
        }
    }
    if (!modern) {
        registry.SetValue(base + "\\ibmjoy.drv<0002>\\JoystickSettings", "Joystick1Calibration", REG_BINARY,
                          &store[0].hwc.hwv.jrvHardware, sizeof(JOYRANGE));
    }
}

std::string CSimPlatform::SettingsKeyPath() {
    return std::string(kJoystickBase) + "\\" + kDriverKey + "\\CurrentJoystickSettings";
}

std::string CSimPlatform::DeviceCalibrationKey(std::string_view hardwareId) {
    return std::string(kDirectInputBranch) + "\\" + std::string(hardwareId) + "\\Calibration";
}

std::string CSimPlatform::Impl::SettingsKey() const {
    return std::string(kJoystickBase) + "\\" + driverKey + "\\CurrentJoystickSettings";
}

void CSimPlatform::Impl::EnsureSettingsKey() {
    if (!settingsKey || settingsKey->deleted) {
        settingsKey = registry.Create(settingsHive, SettingsKey());
    }
}

void CSimPlatform::Impl::WriteSettings(UINT number) {
    // The legacy driver stores the display name itself; WinMM on the modern machine stores the name of
    // the device's OEM key.
    const std::string& name = Modern() ? devices[number].hardwareId : devices[number].name;
    registry.SetValue(settingsHive, SettingsKey(), ValueName(number, "OEMName"), REG_SZ, name.c_str(), name.size() + 1);
    MirrorConfiguration(number);
}

void CSimPlatform::Impl::MirrorConfiguration(UINT number) {
    registry.SetValue(settingsHive, SettingsKey(), ValueName(number, "Configuration"), REG_BINARY, &store[number].hwc,
                      sizeof(JOYREGHWCONFIG));
}

// DirectInput on Windows 10/11 keeps calibration per user and per device (VID&PID), below
// MediaProperties\PrivateProperties\DirectInput in HKEY_CURRENT_USER.
void CSimPlatform::Impl::MirrorCalibration(UINT number) {
    if (!Modern() || devices[number].hardwareId.empty()) {
        return;
    }
    // DirectInput creates the device's keys when it first sees the device (Wine's hid.c deletes them after
    // its tests: "These keys are automatically created by DInput"); only a calibrated device holds a
    // "Calibration" value (Microsoft's DIOBJECTCALIBRATION page).
    const JOYREGHWVALUES& hwv = store[number].hwc.hwv;
    const std::string key = DeviceCalibrationKey(devices[number].hardwareId);
    if ((hwv.dwCalFlags & (JOY_ISCAL_XY | JOY_ISCAL_Z | JOY_ISCAL_R | JOY_ISCAL_U | JOY_ISCAL_V)) == 0) {
        registry.Create(HKEY_CURRENT_USER, key);
        registry.RemoveValue(HKEY_CURRENT_USER, key, "Calibration");
        return;
    }
    registry.SetValue(HKEY_CURRENT_USER, key, "Calibration", REG_BINARY, &hwv, sizeof(hwv));
}

void CSimPlatform::Impl::KeyDeleted(const std::shared_ptr<CSimRegistry::Key>& key) {
    if (key == settingsKey) {
        settingsKey.reset();
        if (!Modern()) {
            // The controllers this key described are gone, as a user of the real system sees after removing them.
            for (UINT number = 0; number < kJoysticks; ++number) {
                Uninstall(number);
            }
        }
        return;
    }
    if (!Modern() || !CSimRegistry::EqualNames(key->name, "Calibration")) {
        return;
    }
    for (UINT number = 0; number < kJoysticks; ++number) {
        const std::string& id = devices[number].hardwareId;
        if (!store[number].configured || id.empty() || registry.Find(HKEY_CURRENT_USER, DeviceCalibrationKey(id))) {
            continue;
        }
        // Without its calibration key DirectInput reads the device over its logical range again.
        JOYREGHWVALUES& hwv = store[number].hwc.hwv;
        hwv.dwCalFlags = 0;
        for (int axis = 0; axis < kAxes; ++axis) {
            JoyPosAxis(hwv.jrvHardware.jpMin, axis) = static_cast<DWORD>(devices[number].nominalMin);
            JoyPosAxis(hwv.jrvHardware.jpCenter, axis) = static_cast<DWORD>(devices[number].nominalCenter);
            JoyPosAxis(hwv.jrvHardware.jpMax, axis) = static_cast<DWORD>(devices[number].nominalMax);
        }
        if (settingsKey) {
            MirrorConfiguration(number);
        }
    }
}

void CSimPlatform::Impl::Uninstall(UINT number) {
    store[number] = Stored{};
    exclusiveAcquired[number] = 0;
}

bool CSimPlatform::Impl::Inject(SimCall call, int32_t* result) {
    const size_t index = static_cast<size_t>(call);
    ++calls[index];
    Rule& rule = rules[index];
    if (rule.remaining == 0) {
        return false;
    }
    if (rule.skip > 0) {
        --rule.skip;
        return false;
    }
    if (rule.remaining > 0) {
        --rule.remaining;
    }
    *result = rule.result;
    return true;
}

int CSimPlatform::Impl::FindByInstance(REFGUID guid) const {
    for (UINT number = 0; number < kJoysticks; ++number) {
        if (Attached(number) && IsEqualGUID(store[number].guidInstance, guid)) {
            return static_cast<int>(number);
        }
    }
    return -1;
}

LONG CSimPlatform::Impl::RawAt(UINT number, int axis, uint64_t ms) const {
    if (number >= kJoysticks || axis < 0 || axis >= kAxes) {
        return 0;
    }
    const Device& d = devices[number];
    if (!d.plugged || axis >= d.axes) {
        return 0;
    }
    if (d.held[axis]) {
        return d.heldRaw[axis];
    }
    const uint64_t t = ms + d.phaseMs[axis];
    const double s = std::sin(2.0 * kPi * static_cast<double>(t % d.periodMs[axis]) / d.periodMs[axis]);
    const double span = s < 0 ? d.travelCenter[axis] - d.travelMin[axis] : d.travelMax[axis] - d.travelCenter[axis];
    return d.travelCenter[axis] + static_cast<LONG>(std::lround(s * span));
}

LONG CSimPlatform::Impl::Cook(UINT number, int axis, LONG raw, LONG lo, LONG hi, bool deadZone) const {
    const JOYREGHWVALUES& hwv = store[number].hwc.hwv;
    const Device& d = devices[number];
    const bool calibrated = (hwv.dwCalFlags & kCalBits[axis]) != 0;
    const double min = calibrated ? SignedJoyPosAxis(hwv.jrvHardware.jpMin, axis) : d.nominalMin;
    const double center = calibrated ? SignedJoyPosAxis(hwv.jrvHardware.jpCenter, axis) : d.nominalCenter;
    const double max = calibrated ? SignedJoyPosAxis(hwv.jrvHardware.jpMax, axis) : d.nominalMax;

    // Position in -1..1 around the centre; a side with no extent (bad calibration) reads as its end.
    double pos = 0.0;
    if (raw < center) {
        pos = center > min ? (raw - center) / (center - min) : -1.0;
    } else if (raw > center) {
        pos = max > center ? (raw - center) / (max - center) : 1.0;
    }
    pos = std::clamp(pos, -1.0, 1.0);

    const DWORD zone = deadZone ? std::min<DWORD>(JoyPosAxis(userValues.ruv.jpDeadZone, axis), 100) : 0;
    const double dead = zone / 100.0;
    const double magnitude = std::fabs(pos);
    if (magnitude <= dead) {
        pos = 0.0;
    } else {
        pos = (pos < 0 ? -1.0 : 1.0) * (magnitude - dead) / (1.0 - dead);
    }

    const int64_t mid = static_cast<int64_t>(lo) + (static_cast<int64_t>(hi) - lo) / 2;
    const double span = pos < 0 ? static_cast<double>(mid - lo) : static_cast<double>(hi - mid);
    return static_cast<LONG>(mid + std::llround(pos * span));
}

DIJOYCONFIG CSimPlatform::Impl::ConfigRecord(UINT number) const {
    DIJOYCONFIG config;
    std::memset(&config, 0, sizeof(config));
    config.dwSize = sizeof(config);
    if (number < kJoysticks && store[number].configured) {
        const Stored& s = store[number];
        config.guidInstance = s.guidInstance;
        config.hwc = s.hwc;
        config.dwGain = s.gain;
        std::memcpy(config.wszType, s.type, sizeof(config.wszType));
        std::memcpy(config.wszCallout, s.callout, sizeof(config.wszCallout));
    }
    return config;
}

void CSimPlatform::Impl::Store(UINT number, const DIJOYCONFIG& config, DWORD flags) {
    Stored& s = store[number];
    if (flags & DIJC_REGHWCONFIGTYPE) {
        s.hwc = config.hwc;
        std::memcpy(s.type, config.wszType, sizeof(s.type));
        s.type[MAX_JOYSTRING - 1] = 0;
        if (!s.configured && config.hwc.dwType != JOY_HW_NONE) {
            s.configured = true;
            s.guidInstance = InstanceGuid(number);
        }
    }
    if (flags & DIJC_GAIN) {
        s.gain = config.dwGain;
    }
    if (flags & DIJC_CALLOUT) {
        std::memcpy(s.callout, config.wszCallout, sizeof(s.callout));
        s.callout[MAX_JOYSTRING - 1] = 0;
    }
    // The instance GUID belongs to the system; DIJC_GUIDINSTANCE writes are ignored.
    if (s.configured) {
        EnsureSettingsKey();
        MirrorConfiguration(number);
        if (flags & DIJC_REGHWCONFIGTYPE) {
            MirrorCalibration(number);
        }
    }
}

UINT CSimPlatform::Impl::RegisterMessage(std::string_view name) {
    for (size_t i = 0; i < messages.size(); ++i) {
        if (CSimRegistry::EqualNames(messages[i], name)) {
            return kFirstMessage + static_cast<UINT>(i);
        }
    }
    if (messages.size() >= 0x4000) {
        return 0;  // the range of registered messages is full
    }
    messages.emplace_back(name);
    return kFirstMessage + static_cast<UINT>(messages.size() - 1);
}

void CSimPlatform::Impl::AnnounceChange() {
    ++notifications;
    if (broadcast) {
        broadcast(RegisterMessage(kConfigMessage), 0, 0);
    }
}
