// The simulated machine: its controllers, registry, configuration store and the WinMM and registry calls.
#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/sim/sim_internal.h"

namespace {

constexpr DWORD kCalBits[CSimPlatform::kAxes] = {JOY_ISCAL_XY, JOY_ISCAL_XY, JOY_ISCAL_Z,
                                                 JOY_ISCAL_R,  JOY_ISCAL_U,  JOY_ISCAL_V};
constexpr DWORD kReturnBits[CSimPlatform::kAxes] = {JOY_RETURNX, JOY_RETURNY, JOY_RETURNZ,
                                                    JOY_RETURNR, JOY_RETURNU, JOY_RETURNV};
constexpr double kPi = 3.14159265358979323846;

DWORD& Axis(JOYPOS& pos, int axis) {
    DWORD* fields[CSimPlatform::kAxes] = {&pos.dwX, &pos.dwY, &pos.dwZ, &pos.dwR, &pos.dwU, &pos.dwV};
    return *fields[axis];  // cppcheck-suppress returnReference ; a member of pos, not of the local array
}

LONG Axis(const JOYPOS& pos, int axis) {
    const DWORD fields[CSimPlatform::kAxes] = {pos.dwX, pos.dwY, pos.dwZ, pos.dwR, pos.dwU, pos.dwV};
    return static_cast<LONG>(fields[axis]);  // calibration values are signed, stored as 32-bit patterns
}

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

// ---------------------------------------------------------------------------------------------------
// The machine

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
    settingsHive = modern ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    driverKey = modern ? kModernDriverKey : kDriverKey;
    registry.ProtectHive(HKEY_LOCAL_MACHINE, modern && !machine.elevated);

    userValues.dwSize = sizeof(DIJOYUSERVALUES);
    userValues.ruv.dwTimeOut = 5000;
    for (int axis = 0; axis < kAxes; ++axis) {
        Axis(userValues.ruv.jrvRanges.jpMin, axis) = 0;
        Axis(userValues.ruv.jrvRanges.jpCenter, axis) = 32767;
        Axis(userValues.ruv.jrvRanges.jpMax, axis) = 65535;
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
        if (c.logicalMax > 0) {
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
            Axis(hwc.hwv.jrvHardware.jpMin, axis) = static_cast<DWORD>(calibrated ? d.travelMin[axis] : d.nominalMin);
            Axis(hwc.hwv.jrvHardware.jpCenter, axis) =
                static_cast<DWORD>(calibrated ? d.travelCenter[axis] : d.nominalCenter);
            Axis(hwc.hwv.jrvHardware.jpMax, axis) = static_cast<DWORD>(calibrated ? d.travelMax[axis] : d.nominalMax);
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

void CSimPlatform::Impl::MirrorCalibration(UINT number) {
    if (!Modern() || devices[number].hardwareId.empty()) {
        return;
    }
    const JOYREGHWVALUES& hwv = store[number].hwc.hwv;
    registry.SetValue(HKEY_CURRENT_USER, DeviceCalibrationKey(devices[number].hardwareId), "Calibration", REG_BINARY,
                      &hwv, sizeof(hwv));
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
            Axis(hwv.jrvHardware.jpMin, axis) = static_cast<DWORD>(devices[number].nominalMin);
            Axis(hwv.jrvHardware.jpCenter, axis) = static_cast<DWORD>(devices[number].nominalCenter);
            Axis(hwv.jrvHardware.jpMax, axis) = static_cast<DWORD>(devices[number].nominalMax);
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

LONG CSimPlatform::Impl::Raw(UINT number, int axis) const {
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
    const uint64_t t = clock() + d.phaseMs[axis];
    const double s = std::sin(2.0 * kPi * static_cast<double>(t % d.periodMs[axis]) / d.periodMs[axis]);
    const double span = s < 0 ? d.travelCenter[axis] - d.travelMin[axis] : d.travelMax[axis] - d.travelCenter[axis];
    return d.travelCenter[axis] + static_cast<LONG>(std::lround(s * span));
}

LONG CSimPlatform::Impl::Cook(UINT number, int axis, LONG raw, LONG lo, LONG hi, bool deadZone) const {
    const JOYREGHWVALUES& hwv = store[number].hwc.hwv;
    const Device& d = devices[number];
    const bool calibrated = (hwv.dwCalFlags & kCalBits[axis]) != 0;
    const double min = calibrated ? Axis(hwv.jrvHardware.jpMin, axis) : d.nominalMin;
    const double center = calibrated ? Axis(hwv.jrvHardware.jpCenter, axis) : d.nominalCenter;
    const double max = calibrated ? Axis(hwv.jrvHardware.jpMax, axis) : d.nominalMax;

    // Position in -1..1 around the centre; a side with no extent (bad calibration) reads as its end.
    double pos = 0.0;
    if (raw < center) {
        pos = center > min ? (raw - center) / (center - min) : -1.0;
    } else if (raw > center) {
        pos = max > center ? (raw - center) / (max - center) : 1.0;
    }
    pos = std::clamp(pos, -1.0, 1.0);

    const DWORD zone = deadZone ? std::min<DWORD>(Axis(userValues.ruv.jpDeadZone, axis), 100) : 0;
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

// ---------------------------------------------------------------------------------------------------
// CSimPlatform

namespace {

SimMachine LegacyWith(const std::vector<SimController>& controllers) {
    SimMachine machine;
    machine.controllers = controllers;
    return machine;
}

}  // namespace

CSimPlatform::CSimPlatform(const std::vector<SimController>& controllers)
    : m_impl(std::make_unique<Impl>(LegacyWith(controllers))) {}

CSimPlatform::CSimPlatform(const SimMachine& machine) : m_impl(std::make_unique<Impl>(machine)) {}

void CSimPlatform::Rebuild(const SimMachine& machine) {
    auto rebuilt = std::make_unique<Impl>(machine);
    rebuilt->messages = std::move(m_impl->messages);
    rebuilt->broadcast = std::move(m_impl->broadcast);
    rebuilt->isWindow = std::move(m_impl->isWindow);
    m_impl = std::move(rebuilt);
}

const SimMachine& CSimPlatform::Machine() const { return m_impl->machine; }

void CSimPlatform::SetWindowCheck(std::function<bool(HWND)> isWindow) { m_impl->isWindow = std::move(isWindow); }

CSimPlatform::~CSimPlatform() = default;

MMRESULT CSimPlatform::joyGetPosEx(UINT uJoyID, JOYINFOEX* pji) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::JoyGetPosEx, &injected)) {
        return static_cast<MMRESULT>(injected);
    }
    if (pji == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (uJoyID >= kJoysticks || pji->dwSize != sizeof(JOYINFOEX) || !m_impl->Installed(uJoyID)) {
        return JOYERR_PARMS;
    }
    if (!m_impl->Attached(uJoyID)) {
        return JOYERR_UNPLUGGED;
    }
    DWORD* positions[kAxes] = {&pji->dwXpos, &pji->dwYpos, &pji->dwZpos, &pji->dwRpos, &pji->dwUpos, &pji->dwVpos};
    const bool raw = (pji->dwFlags & JOY_RETURNRAWDATA) != 0;
    // WinMM applies the dead zone only when asked to (JOY_USEDEADZONE in Microsoft's JOYINFOEX documentation).
    const bool deadZone = (pji->dwFlags & JOY_USEDEADZONE) != 0;
    for (int axis = 0; axis < kAxes; ++axis) {
        if (pji->dwFlags & kReturnBits[axis]) {
            const LONG value = m_impl->Raw(uJoyID, axis);
            const bool present = axis < m_impl->devices[uJoyID].axes;
            *positions[axis] = !present ? 0 : static_cast<DWORD>(raw ? value : m_impl->Cook(uJoyID, axis, value, 0, 65535, deadZone));
        }
    }
    if (pji->dwFlags & JOY_RETURNBUTTONS) {
        pji->dwButtons = 0;
        pji->dwButtonNumber = 0;
    }
    if (pji->dwFlags & JOY_RETURNPOV) {
        pji->dwPOV = JOY_POVCENTERED;
    }
    return JOYERR_NOERROR;
}

MMRESULT CSimPlatform::joyGetDevCapsA(UINT_PTR uJoyID, JOYCAPSA* pjc, UINT cbjc) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::JoyGetDevCaps, &injected)) {
        return static_cast<MMRESULT>(injected);
    }
    if (pjc == nullptr || cbjc == 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (uJoyID >= kJoysticks || !m_impl->Installed(static_cast<UINT>(uJoyID))) {
        return JOYERR_PARMS;
    }
    const UINT number = static_cast<UINT>(uJoyID);
    const Impl::Stored& s = m_impl->store[number];
    JOYCAPSA caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.wMid = 0x00FF;
    caps.wPid = static_cast<WORD>(0x0100 + number);
    std::snprintf(caps.szPname, sizeof(caps.szPname), "%s",
                  m_impl->Modern() ? "Microsoft PC-joystick driver" : "Virtual gameport joystick");
    caps.wXmax = caps.wYmax = caps.wZmax = caps.wRmax = caps.wUmax = caps.wVmax = 65535;
    caps.wNumButtons = s.hwc.hws.dwNumButtons;
    caps.wPeriodMin = 10;
    caps.wPeriodMax = 1000;
    const DWORD hws = s.hwc.hws.dwFlags;
    caps.wCaps = ((hws & JOY_HWS_HASZ) ? JOYCAPS_HASZ : 0) | ((hws & JOY_HWS_HASR) ? JOYCAPS_HASR : 0) |
                 ((hws & JOY_HWS_HASU) ? JOYCAPS_HASU : 0) | ((hws & JOY_HWS_HASV) ? JOYCAPS_HASV : 0);
    caps.wNumAxes = static_cast<UINT>(m_impl->devices[number].axes);
    caps.wMaxAxes = kAxes;
    caps.wMaxButtons = 32;
    std::snprintf(caps.szRegKey, sizeof(caps.szRegKey), "%s", m_impl->driverKey.c_str());
    std::memcpy(pjc, &caps, std::min<size_t>(cbjc, sizeof(caps)));
    return JOYERR_NOERROR;
}

MMRESULT CSimPlatform::joyConfigChanged(DWORD dwFlags) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::JoyConfigChanged, &injected)) {
        return static_cast<MMRESULT>(injected);
    }
    if (dwFlags != 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (m_impl->Modern() && !m_impl->settingsKey) {
        // Plug-and-play controllers stay installed; WinMM writes their settings again when it rereads them.
        m_impl->EnsureSettingsKey();
        for (UINT number = 0; number < kJoysticks; ++number) {
            if (m_impl->Installed(number)) {
                m_impl->WriteSettings(number);
            }
        }
    }
    m_impl->AnnounceChange();
    return JOYERR_NOERROR;
}

LONG CSimPlatform::RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegOpenKey, &injected)) {
        if (phkResult != nullptr) {
            *phkResult = nullptr;
        }
        return injected;
    }
    return m_impl->registry.OpenKey(hKey, lpSubKey, phkResult);
}

LONG CSimPlatform::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                                    DWORD* lpcbData) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegQueryValueEx, &injected)) {
        return injected;
    }
    return m_impl->registry.QueryValue(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}

LONG CSimPlatform::RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegEnumKey, &injected)) {
        return injected;
    }
    return m_impl->registry.EnumKey(hKey, dwIndex, lpName, cchName);
}

LONG CSimPlatform::RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegDeleteKey, &injected)) {
        return injected;
    }
    std::shared_ptr<CSimRegistry::Key> deleted;
    const LONG result = m_impl->registry.DeleteKey(hKey, lpSubKey, &deleted);
    if (result == ERROR_SUCCESS) {
        m_impl->KeyDeleted(deleted);
    }
    return result;
}

LONG CSimPlatform::RegCloseKey(HKEY hKey) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegCloseKey, &injected)) {
        return injected;
    }
    return m_impl->registry.CloseKey(hKey);
}

UINT CSimPlatform::RegisterWindowMessageA(LPCSTR lpString) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegisterWindowMessage, &injected)) {
        return static_cast<UINT>(injected);
    }
    if (lpString == nullptr || *lpString == '\0') {
        return 0;
    }
    return m_impl->RegisterMessage(lpString);
}

HRESULT CSimPlatform::DirectInputCreateA(HINSTANCE hinst, DWORD dwVersion, IDirectInputA** ppDI, IUnknown* punkOuter) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::DirectInputCreate, &injected)) {
        if (ppDI != nullptr) {
            *ppDI = nullptr;
        }
        return injected;
    }
    if (ppDI == nullptr) {
        return E_POINTER;
    }
    *ppDI = nullptr;
    if (punkOuter != nullptr) {
        return DIERR_NOAGGREGATION;
    }
    // As Wine's dinput tests find on Windows: no instance handle is an invalid parameter; version 0 is
    // not initialised; a version newer than any this DirectInput knows means it is too old for the
    // caller, and an unknown one below that is a beta version.
    if (hinst == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    if (dwVersion == 0) {
        return DIERR_NOTINITIALIZED;
    }
    constexpr DWORD kKnownVersions[] = {0x0300, 0x0500, 0x050A, 0x05B2, 0x0602, 0x061A, 0x0700};
    if (dwVersion > 0x0700) {
        return DIERR_OLDDIRECTINPUTVERSION;
    }
    if (std::find(std::begin(kKnownVersions), std::end(kKnownVersions), dwVersion) == std::end(kKnownVersions)) {
        return DIERR_BETADIRECTINPUTVERSION;
    }
    *ppDI = NewSimDirectInput(*m_impl);
    return DI_OK;
}

void CSimPlatform::SetBroadcast(std::function<void(UINT, WPARAM, LPARAM)> broadcast) {
    m_impl->broadcast = std::move(broadcast);
}

UINT CSimPlatform::ConfigChangedMessage() { return m_impl->RegisterMessage(kConfigMessage); }

void CSimPlatform::SetClock(std::function<uint64_t()> nowMs) { m_impl->clock = std::move(nowMs); }

void CSimPlatform::HoldAxis(UINT number, int axis, LONG raw) {
    if (number < kJoysticks && axis >= 0 && axis < kAxes) {
        m_impl->devices[number].held[axis] = true;
        m_impl->devices[number].heldRaw[axis] = raw;
    }
}

void CSimPlatform::ReleaseAxes(UINT number) {
    if (number < kJoysticks) {
        m_impl->devices[number].held.fill(false);
    }
}

LONG CSimPlatform::RawPosition(UINT number, int axis) const { return m_impl->Raw(number, axis); }

void CSimPlatform::FailCall(SimCall call, int32_t result, int count, int after) {
    Impl::Rule& rule = m_impl->rules[static_cast<size_t>(call)];
    rule.result = result;
    rule.remaining = count < 0 ? kAlways : count;
    rule.skip = std::max(after, 0);
}

void CSimPlatform::ClearFailures() { m_impl->rules.fill(Impl::Rule{}); }

int CSimPlatform::CallCount(SimCall call) const { return m_impl->calls[static_cast<size_t>(call)]; }

int CSimPlatform::LiveInterfaces() const { return m_impl->live[0] + m_impl->live[1] + m_impl->live[2]; }

int CSimPlatform::LiveInterfaces(SimObject kind) const { return m_impl->live[static_cast<size_t>(kind)]; }

bool CSimPlatform::IsInstalled(UINT number) const { return m_impl->Installed(number); }

bool CSimPlatform::IsPlugged(UINT number) const { return number < kJoysticks && m_impl->devices[number].plugged; }

DIJOYCONFIG CSimPlatform::StoredConfig(UINT number) const { return m_impl->ConfigRecord(number); }

void CSimPlatform::StoreConfig(UINT number, const DIJOYCONFIG& config) {
    if (number >= kJoysticks) {
        return;
    }
    Impl::Stored& s = m_impl->store[number];
    if (!s.configured) {
        s.configured = true;
        s.guidInstance = Impl::InstanceGuid(number);
    }
    m_impl->Store(number, config, DIJC_REGHWCONFIGTYPE | DIJC_GAIN | DIJC_CALLOUT);
}

DIJOYUSERVALUES CSimPlatform::StoredUserValues() const { return m_impl->userValues; }

void CSimPlatform::StoreUserValues(const DIJOYUSERVALUES& values) {
    m_impl->userValues = values;
    m_impl->userValues.dwSize = sizeof(DIJOYUSERVALUES);
}

int CSimPlatform::ConfigWrites() const { return m_impl->configWrites; }

int CSimPlatform::Notifications() const { return m_impl->notifications; }

bool CSimPlatform::ConfigAcquired() const { return m_impl->configOwner != nullptr; }

bool CSimPlatform::KeyExists(HKEY hive, std::string_view path) const {
    return m_impl->registry.Find(hive, path) != nullptr;
}

std::vector<std::string> CSimPlatform::Subkeys(HKEY hive, std::string_view path) const {
    std::vector<std::string> names;
    if (auto key = m_impl->registry.Find(hive, path)) {
        for (const auto& child : key->subkeys) {
            names.push_back(child->name);
        }
    }
    return names;
}

std::vector<std::string> CSimPlatform::ValueNames(HKEY hive, std::string_view path) const {
    std::vector<std::string> names;
    if (auto key = m_impl->registry.Find(hive, path)) {
        for (const auto& value : key->values) {
            names.push_back(value.name);
        }
    }
    return names;
}

bool CSimPlatform::AddKey(HKEY hive, std::string_view path) { return m_impl->registry.Create(hive, path) != nullptr; }

bool CSimPlatform::SetValue(HKEY hive, std::string_view path, std::string_view name, DWORD type, const void* data,
                            size_t size) {
    return m_impl->registry.SetValue(hive, path, name, type, data, size);
}

bool CSimPlatform::SetStringValue(HKEY hive, std::string_view path, std::string_view name, std::string_view text) {
    std::string terminated(text);
    return m_impl->registry.SetValue(hive, path, name, REG_SZ, terminated.c_str(), terminated.size() + 1);
}

bool CSimPlatform::GetValue(HKEY hive, std::string_view path, std::string_view name, DWORD* type,
                            std::vector<BYTE>* data) const {
    auto key = m_impl->registry.Find(hive, path);
    const CSimRegistry::Value* value = key ? CSimRegistry::FindValue(*key, name) : nullptr;
    if (value == nullptr) {
        return false;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    if (data != nullptr) {
        *data = value->data;
    }
    return true;
}

std::string CSimPlatform::CurrentSettingsKey() const { return m_impl->SettingsKey(); }

HKEY CSimPlatform::SettingsHive() const { return m_impl->settingsHive; }

size_t CSimPlatform::OpenKeyHandles() const { return m_impl->registry.OpenHandles(); }

CSimPlatform& DefaultSimPlatform() {
    // Never destroyed: joystick objects and registrations may outlive the end of main.
    static CSimPlatform* const sim = new CSimPlatform(SimMachine::Modern());
    return *sim;
}

CJoystickServices& DefaultJoystickServices() { return DefaultSimPlatform(); }
