// The checks of the Windows facts Padwright relies on, each named after the item of the project's notes
// on Windows 10/11 that it holds (see windows_contract.h). Only the joystick services are used, so the
// same code runs on the simulated machine and on the real system.
#include "windows_contract.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "joystick/com_ref.h"
#include "joystick/joystick_records.h"

// DirectInput 7's property; the DirectInput 5 headers the services are built with lack it.
#ifndef DIPROP_LOGICALRANGE
#define DIPROP_LOGICALRANGE MAKEDIPROP(19)
#endif

namespace contract {
namespace {

constexpr const char* kDirectInputBranch =
    "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\DirectInput";
constexpr DWORD kConfigFlags = DIJC_GUIDINSTANCE | DIJC_REGHWCONFIGTYPE | DIJC_GAIN | DIJC_CALLOUT;
// A cooked reading in the upper or lower quarter of 0..65535 tells which calibration was applied.
constexpr DWORD kHigh = 49152;
constexpr DWORD kLow = 16383;

const char* const kRefuseJoyConfig8 = "DirectInput objects of versions 0x0500 and 0x0700 refuse IDirectInputJoyConfig8 (item 1)";
const char* const kGiveJoyConfig8 = "a DirectInput 8 object gives IDirectInputJoyConfig8 (item 1)";
const char* const kAcquires = "a standard user's IDirectInputJoyConfig8::Acquire succeeds (item 14)";
const char* const kIdentity = "the device's Calibration\\<k> key holds its instance GUID in the value GUID (item 11)";
const char* const kNoLogicalRange = "a version 0x0500 device cannot tell an axis's logical range (item 3)";
const char* const kLogicalRange = "DirectInput 8 tells each axis's logical range (item 3)";
const char* const kFreshDevice = "a fresh device has dead zone 0 and saturation 10000 at 0x0500 and 0x0700 (item 12)";
const char* const kWholeDevice = "DIPROP_CALIBRATION for the whole device answers DIERR_INVALIDPARAM (item 10)";
const char* const kPerAxis = "DIPROP_CALIBRATION is set per axis, by offset and by id, on a device not acquired (item 10)";
const char* const kCreated = "setting DIPROP_CALIBRATION creates the axis's Calibration value at once (items 9, 14)";
const char* const kFirst = "an axis's per-axis value comes before JOYREGHWVALUES in WinMM's reading (item 9)";
const char* const kFallback = "without a per-axis value JOYREGHWVALUES applies (items 9, 14)";
const char* const kKept = "removing a per-axis value keeps the controller's instance GUID (item 11)";
const char* const kRestored = "every value changed by these checks is restored";

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(static_cast<DWORD>(hr)));
    return text;
}

Line Told(const char* fact, bool ok, const std::string& detail = {}) {
    return {fact, ok ? Verdict::Ok : Verdict::Failed, detail};
}
Line Unanswered(const char* fact, const std::string& why) { return {fact, Verdict::NotAnswered, why}; }

// Refusals that say the system does not implement what is asked (Wine's stubs).
bool NotImplemented(HRESULT hr) { return hr == E_NOTIMPL || hr == DIERR_UNSUPPORTED; }

class Checks {
public:
    explicit Checks(const System& system) : m_system(system), m_s(system.services) {}

    std::vector<Line> Run() {
        m_lines.push_back(RefuseJoyConfig8());
        m_lines.push_back(GiveJoyConfig8());
        m_lines.push_back(Acquires());
        if (!FindJoystick()) {
            for (const char* fact : {kIdentity, kNoLogicalRange, kLogicalRange, kFreshDevice, kWholeDevice, kPerAxis,
                                     kCreated, kFirst, kFallback, kKept, kRestored})
                m_lines.push_back(Unanswered(fact, "no attached joystick read through DirectInput"));
            return m_lines;
        }
        m_lines.push_back(Told(kIdentity, HoldsIdentity(m_guid)));
        m_lines.push_back(NoLogicalRange());
        m_lines.push_back(Told(kLogicalRange, m_unitsKnown && m_units.axes[0].present && m_units.axes[0].min < m_units.axes[0].max));
        m_lines.push_back(FreshDevice());
        m_lines.push_back(WholeDevice());
        const bool set = PerAxis();
        m_lines.push_back(set ? Created() : Unanswered(kCreated, "no per-axis value was set"));
        Precedence(set);
        m_lines.push_back(Restore());
        return m_lines;
    }

private:
    HRESULT JoyConfig8(ComRef<IDirectInputJoyConfig8>& config) {
        ComRef<IUnknown> input;
        const HRESULT hr = m_s.DirectInput8Create(m_system.instance, 0x0800, IID_IDirectInput8A, input.out(), nullptr);
        return FAILED(hr) ? hr : input.p->QueryInterface(IID_IDirectInputJoyConfig8, config.out());
    }

    // A device of the chosen joystick from a DirectInput object of `version`, with the joystick format.
    HRESULT Device(DWORD version, ComRef<IDirectInputA>& input, ComRef<IDirectInputDeviceA>& device) {
        HRESULT hr = m_s.DirectInputCreateA(m_system.instance, version, &input.p, nullptr);
        if (FAILED(hr)) return hr;
        hr = input.p->CreateDevice(m_guid, &device.p, nullptr);
        return FAILED(hr) ? hr : device.p->SetDataFormat(&c_dfDIJoystick);
    }

    Line RefuseJoyConfig8() {
        std::string detail;
        bool ok = true;
        for (DWORD version : {DWORD{0x0500}, DWORD{0x0700}}) {
            ComRef<IDirectInputA> input;
            if (FAILED(m_s.DirectInputCreateA(m_system.instance, version, &input.p, nullptr))) continue;
            ComRef<IDirectInputJoyConfig8> config;
            const HRESULT hr = input.p->QueryInterface(IID_IDirectInputJoyConfig8, config.out());
            ok = ok && hr == E_NOINTERFACE;
            detail += (detail.empty() ? "" : ", ") + Hex(hr);
        }
        return detail.empty() ? Unanswered(kRefuseJoyConfig8, "no DirectInput object") : Told(kRefuseJoyConfig8, ok, detail);
    }

    Line GiveJoyConfig8() {
        ComRef<IDirectInputJoyConfig8> config;
        const HRESULT hr = JoyConfig8(config);
        return Told(kGiveJoyConfig8, hr == S_OK, Hex(hr));
    }

    Line Acquires() {
        ComRef<IDirectInputJoyConfig8> config;
        HRESULT hr = JoyConfig8(config);
        if (SUCCEEDED(hr)) hr = config.p->SetCooperativeLevel(m_system.window, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
        if (SUCCEEDED(hr)) hr = config.p->Acquire();
        if (SUCCEEDED(hr)) config.p->Unacquire();
        if (NotImplemented(hr)) return Unanswered(kAcquires, Hex(hr));
        return Told(kAcquires, hr == DI_OK, Hex(hr));
    }

    // The first attached joystick read through DirectInput ("DINPUT.DLL"), its stored configuration, the
    // units the platform tells and its per-axis calibration.
    bool FindJoystick() {
        ComRef<IDirectInputJoyConfig8> config;
        if (FAILED(JoyConfig8(config))) return false;
        for (UINT number = 0; number < 16; ++number) {
            std::memset(&m_config, 0, sizeof(m_config));
            m_config.dwSize = sizeof(m_config);
            if (config.p->GetConfig(number, AsJoyConfigParam(&m_config), kConfigFlags) != DI_OK) continue;
            JOYCAPSA caps{};
            JOYINFOEX info{};
            info.dwSize = sizeof(info);
            info.dwFlags = JOY_RETURNALL;
            if (m_s.joyGetDevCapsA(number, &caps, sizeof(caps)) != JOYERR_NOERROR ||
                std::strncmp(caps.szRegKey, "DINPUT.DLL", sizeof(caps.szRegKey)) != 0 ||
                m_s.joyGetPosEx(number, &info) != JOYERR_NOERROR)
                continue;
            m_number = number;
            m_guid = m_config.guidInstance;
            m_unitsKnown = m_s.GetJoystickUnits(number, &m_units);
            m_axesKept = m_s.GetAxisCalibration(number, m_axes);
            return true;
        }
        return false;
    }

    // True when some VID_xxxx&PID_xxxx\Calibration\<k> key of the user's DirectInput branch holds `guid`.
    bool HoldsIdentity(const GUID& guid) {
        const auto subkeys = [&](const std::string& path) {
            std::vector<std::string> names;
            HKEY key = nullptr;
            if (m_s.RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) return names;
            char name[256];
            for (DWORD i = 0; m_s.RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; ++i) names.emplace_back(name);
            m_s.RegCloseKey(key);
            return names;
        };
        for (const std::string& device : subkeys(kDirectInputBranch)) {
            const std::string calibration = std::string(kDirectInputBranch) + "\\" + device + "\\Calibration";
            for (const std::string& k : subkeys(calibration)) {
                HKEY key = nullptr;
                if (m_s.RegOpenKeyA(HKEY_CURRENT_USER, (calibration + "\\" + k).c_str(), &key) != ERROR_SUCCESS) continue;
                GUID stored{};
                DWORD type = REG_NONE;
                DWORD size = sizeof(stored);
                const bool same = m_s.RegQueryValueExA(key, "GUID", nullptr, &type, reinterpret_cast<BYTE*>(&stored),
                                                       &size) == ERROR_SUCCESS &&
                                  size == sizeof(stored) && IsEqualGUID(stored, guid);
                m_s.RegCloseKey(key);
                if (same) return true;
            }
        }
        return false;
    }

    Line NoLogicalRange() {
        ComRef<IDirectInputA> input;
        ComRef<IDirectInputDeviceA> device;
        HRESULT hr = Device(0x0500, input, device);
        if (FAILED(hr)) return Unanswered(kNoLogicalRange, "no version 0x0500 device: " + Hex(hr));
        DIPROPRANGE range{};
        range.diph = {sizeof(range), sizeof(DIPROPHEADER), kStateAxisOffsets[0], DIPH_BYOFFSET};
        hr = device.p->GetProperty(DIPROP_LOGICALRANGE, &range.diph);
        return Told(kNoLogicalRange, hr == DIERR_UNSUPPORTED, Hex(hr));
    }

    Line FreshDevice() {
        std::string detail;
        bool ok = true;
        bool answered = false;
        for (DWORD version : {DWORD{0x0500}, DWORD{0x0700}}) {
            ComRef<IDirectInputA> input;
            ComRef<IDirectInputDeviceA> device;
            if (FAILED(Device(version, input, device))) continue;
            answered = true;
            for (int axis = 0; axis < 6; ++axis) {
                if (!m_units.axes[axis].present) continue;
                DIPROPDWORD zone{};
                zone.diph = {sizeof(zone), sizeof(DIPROPHEADER), kStateAxisOffsets[axis], DIPH_BYOFFSET};
                DIPROPDWORD saturation = zone;
                const HRESULT hz = device.p->GetProperty(DIPROP_DEADZONE, &zone.diph);
                const HRESULT hs = device.p->GetProperty(DIPROP_SATURATION, &saturation.diph);
                if (hz != DI_OK || hs != DI_OK || zone.dwData != 0 || saturation.dwData != 10000) {
                    ok = false;
                    detail = "axis " + std::to_string(axis) + ": " + Hex(hz) + " " + std::to_string(zone.dwData) + ", " +
                             Hex(hs) + " " + std::to_string(saturation.dwData);
                }
            }
        }
        return answered ? Told(kFreshDevice, ok, detail) : Unanswered(kFreshDevice, "no device");
    }

    Line WholeDevice() {
        ComRef<IDirectInputA> input;
        ComRef<IDirectInputDeviceA> device;
        HRESULT hr = Device(0x0700, input, device);
        if (FAILED(hr)) return Unanswered(kWholeDevice, "no version 0x0700 device: " + Hex(hr));
        DIPROPCAL cal{};
        cal.diph = {sizeof(cal), sizeof(DIPROPHEADER), 0, DIPH_DEVICE};
        const HRESULT got = device.p->GetProperty(DIPROP_CALIBRATION, &cal.diph);
        const HRESULT set = device.p->SetProperty(DIPROP_CALIBRATION, &cal.diph);
        return Told(kWholeDevice, got == DIERR_INVALIDPARAM && set == DIERR_INVALIDPARAM, Hex(got) + ", " + Hex(set));
    }

    // Sets X by offset to the bottom of its range and Y by id to just inside its range, and reads both back.
    bool PerAxis() {
        ComRef<IDirectInputA> input;
        ComRef<IDirectInputDeviceA> device;
        HRESULT hr = Device(0x0700, input, device);
        if (FAILED(hr) || !m_unitsKnown || !m_units.axes[0].present || !m_units.axes[1].present) {
            m_lines.push_back(Unanswered(kPerAxis, "no version 0x0700 device with X and Y: " + Hex(hr)));
            return false;
        }
        m_changed = true;
        const LONG low = m_units.axes[0].min;
        m_x = {low, low + 1, low + 2};
        const JoystickAxisUnits& y = m_units.axes[1];
        // Y slightly inside its range, so that no value it held before can pass for it.
        const LONG yValues[3] = {y.min + 3, static_cast<LONG>((static_cast<long long>(y.min) + y.max) / 2), y.max - 3};
        DIPROPCAL cal{};
        cal.diph = {sizeof(cal), sizeof(DIPROPHEADER), kStateAxisOffsets[0], DIPH_BYOFFSET};
        cal.lMin = m_x[0];
        cal.lCenter = m_x[1];
        cal.lMax = m_x[2];
        hr = device.p->SetProperty(DIPROP_CALIBRATION, &cal.diph);
        // Y by the id DirectInput gives it.
        DIDEVICEOBJECTINSTANCEA yObject{};
        yObject.dwSize = sizeof(yObject);
        const HRESULT named = device.p->GetObjectInfo(&yObject, kStateAxisOffsets[1], DIPH_BYOFFSET);
        DIPROPCAL byId = cal;
        byId.diph = {sizeof(cal), sizeof(DIPROPHEADER), yObject.dwType, DIPH_BYID};
        byId.lMin = yValues[0];
        byId.lCenter = yValues[1];
        byId.lMax = yValues[2];
        const HRESULT hrId = FAILED(hr) ? hr : FAILED(named) ? named : device.p->SetProperty(DIPROP_CALIBRATION, &byId.diph);
        if (NotImplemented(hr) || NotImplemented(hrId)) {
            m_lines.push_back(Unanswered(kPerAxis, Hex(hr) + ", " + Hex(hrId)));
            return false;
        }
        DIPROPCAL readX{};
        readX.diph = {sizeof(readX), sizeof(DIPROPHEADER), kStateAxisOffsets[0], DIPH_BYOFFSET};
        DIPROPCAL readY = readX;
        readY.diph.dwObj = kStateAxisOffsets[1];
        const bool readBack = SUCCEEDED(hrId) && device.p->GetProperty(DIPROP_CALIBRATION, &readX.diph) == DI_OK &&
                              device.p->GetProperty(DIPROP_CALIBRATION, &readY.diph) == DI_OK &&
                              readX.lMin == m_x[0] && readX.lCenter == m_x[1] && readX.lMax == m_x[2] &&
                              readY.lMin == yValues[0] && readY.lCenter == yValues[1] && readY.lMax == yValues[2];
        m_lines.push_back(Told(kPerAxis, readBack, Hex(hr) + ", " + Hex(hrId) + "; X reads " + std::to_string(readX.lMin) +
                                                       "/" + std::to_string(readX.lCenter) + "/" + std::to_string(readX.lMax)));
        return SUCCEEDED(hrId);
    }

    Line Created() {
        JoystickAxisCalibration axes[6];
        if (!m_s.GetAxisCalibration(m_number, axes)) return Unanswered(kCreated, "the device's Calibration\\<k> key was not found");
        const JoystickAxisCalibration& x = axes[0];
        return Told(kCreated, x.stored && x.min == m_x[0] && x.center == m_x[1] && x.max == m_x[2],
                    x.stored ? std::to_string(x.min) + "/" + std::to_string(x.center) + "/" + std::to_string(x.max)
                             : "no value under Type\\Axes");
    }

    HRESULT WriteConfig(const DIJOYCONFIG& record) {
        ComRef<IDirectInputJoyConfig8> config;
        HRESULT hr = JoyConfig8(config);
        if (SUCCEEDED(hr)) hr = config.p->SetCooperativeLevel(m_system.window, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
        if (SUCCEEDED(hr)) hr = config.p->Acquire();
        if (FAILED(hr)) return hr;
        DIJOYCONFIG copy = record;
        hr = config.p->SetConfig(m_number, AsJoyConfigParam(&copy), DIJC_REGHWCONFIGTYPE);
        if (SUCCEEDED(hr)) hr = config.p->SendNotify();
        config.p->Unacquire();
        if (m_system.settle) m_system.settle();
        return hr;
    }

    // WinMM's calibrated X, with the raw X it came from; false when WinMM does not answer.
    bool ReadX(DWORD* cooked, DWORD* raw) {
        JOYINFOEX info{};
        info.dwSize = sizeof(info);
        info.dwFlags = JOY_RETURNALL | JOY_RETURNRAWDATA;
        if (m_s.joyGetPosEx(m_number, &info) != JOYERR_NOERROR) return false;
        *raw = info.dwXpos;
        info.dwFlags = JOY_RETURNALL;
        if (m_s.joyGetPosEx(m_number, &info) != JOYERR_NOERROR) return false;
        *cooked = info.dwXpos;
        return true;
    }

    // X's per-axis value is the bottom of its range, so WinMM reads X at its top; JOYREGHWVALUES is the
    // top of the range, which would read X at its bottom. Then the per-axis value goes.
    void Precedence(bool set) {
        if (!set) {
            for (const char* fact : {kFirst, kFallback, kKept}) m_lines.push_back(Unanswered(fact, "no per-axis value was set"));
            return;
        }
        const LONG high = m_units.axes[0].max;
        DIJOYCONFIG record = m_config;
        record.hwc.hwv.dwCalFlags |= JOY_ISCAL_XY;
        JoyPosAxis(record.hwc.hwv.jrvHardware.jpMin, 0) = static_cast<DWORD>(high - 2);
        JoyPosAxis(record.hwc.hwv.jrvHardware.jpCenter, 0) = static_cast<DWORD>(high - 1);
        JoyPosAxis(record.hwc.hwv.jrvHardware.jpMax, 0) = static_cast<DWORD>(high);
        const HRESULT hr = WriteConfig(record);
        DWORD cooked = 0;
        DWORD raw = 0;
        const bool read = ReadX(&cooked, &raw);
        const bool inside = read && static_cast<LONG>(raw) > m_x[2] && static_cast<LONG>(raw) < high - 2;
        const std::string seen = "raw " + std::to_string(raw) + ", cooked " + std::to_string(cooked);
        if (FAILED(hr) || !inside) {
            const std::string why = FAILED(hr) ? "JOYREGHWVALUES not written: " + Hex(hr) : "X not away from its ends: " + seen;
            m_lines.push_back(Unanswered(kFirst, why));
        } else {
            m_lines.push_back(cooked >= kHigh ? Told(kFirst, true)
                              : cooked <= kLow ? Told(kFirst, false, "JOYREGHWVALUES applied: " + seen)
                                               : Unanswered(kFirst, seen));
        }

        JoystickAxisCalibration none[6];
        const HRESULT removed = m_s.SetAxisCalibration(m_number, none, 1u);
        if (m_system.settle) m_system.settle();
        const bool readAgain = ReadX(&cooked, &raw);
        if (FAILED(hr) || FAILED(removed) || !readAgain) {
            m_lines.push_back(Unanswered(kFallback, "not written: " + Hex(hr) + ", " + Hex(removed)));
        } else {
            const std::string after = "raw " + std::to_string(raw) + ", cooked " + std::to_string(cooked);
            m_lines.push_back(cooked <= kLow ? Told(kFallback, true)
                              : cooked >= kHigh ? Told(kFallback, false, "not applied: " + after)
                                                : Unanswered(kFallback, after));
        }

        ComRef<IDirectInputJoyConfig8> config;
        DIJOYCONFIG now{};
        now.dwSize = sizeof(now);
        const bool same = SUCCEEDED(JoyConfig8(config)) &&
                          SUCCEEDED(config.p->GetConfig(m_number, AsJoyConfigParam(&now), DIJC_GUIDINSTANCE)) &&
                          IsEqualGUID(now.guidInstance, m_guid);
        m_lines.push_back(FAILED(removed) ? Unanswered(kKept, "not removed: " + Hex(removed))
                                          : Told(kKept, same && HoldsIdentity(m_guid)));
    }

    Line Restore() {
        if (!m_changed) return Unanswered(kRestored, "nothing was changed");
        const HRESULT config = WriteConfig(m_config);
        // Every axis, in case a write by id reached another axis than the one meant.
        unsigned present = 0;
        for (int axis = 0; axis < 6; ++axis) present |= m_units.axes[axis].present ? 1u << axis : 0u;
        const HRESULT axes = m_s.SetAxisCalibration(m_number, m_axes, present);
        JoystickAxisCalibration now[6];
        const bool kept = m_s.GetAxisCalibration(m_number, now) == m_axesKept;
        bool same = kept;
        for (int axis = 0; axis < 6 && m_axesKept; ++axis) {
            same = same && now[axis].stored == m_axes[axis].stored &&
                   (!now[axis].stored || (now[axis].min == m_axes[axis].min && now[axis].center == m_axes[axis].center &&
                                          now[axis].max == m_axes[axis].max));
        }
        ComRef<IDirectInputJoyConfig8> joyConfig;
        DIJOYCONFIG stored{};
        stored.dwSize = sizeof(stored);
        same = same && SUCCEEDED(JoyConfig8(joyConfig)) &&
               SUCCEEDED(joyConfig.p->GetConfig(m_number, AsJoyConfigParam(&stored), DIJC_REGHWCONFIGTYPE)) &&
               std::memcmp(&stored.hwc.hwv, &m_config.hwc.hwv, sizeof(JOYREGHWVALUES)) == 0;
        return Told(kRestored, same, Hex(config) + ", " + Hex(axes));
    }

    const System& m_system;
    CJoystickServices& m_s;
    std::vector<Line> m_lines;
    UINT m_number = 0;
    GUID m_guid{};
    DIJOYCONFIG m_config{};
    JoystickUnits m_units;
    bool m_unitsKnown = false;
    JoystickAxisCalibration m_axes[6];
    bool m_axesKept = false;
    bool m_changed = false;
    std::array<LONG, 3> m_x{};
};

}  // namespace

std::vector<Line> Run(const System& system) { return Checks(system).Run(); }

std::string Describe(const Line& line) {
    switch (line.verdict) {
    case Verdict::Ok: return "ok: " + line.fact;
    case Verdict::Failed: return "failed: " + line.fact + (line.detail.empty() ? "" : " (" + line.detail + ")");
    default: return "not answered by this system: " + line.fact + (line.detail.empty() ? "" : " (" + line.detail + ")");
    }
}

int ExitCode(const std::vector<Line>& lines) {
    for (const Line& line : lines)
        if (line.verdict == Verdict::Failed) return 1;
    return 0;
}

}  // namespace contract
