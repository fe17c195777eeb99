// The modern machine's per-user DirectInput store below ...\DirectInput\VID_xxxx&PID_xxxx\Calibration: each
// device's identity (Calibration\<k>) and its axes' per-axis calibration (Calibration\<k>\Type\Axes\<n>),
// and the joystick services that read and write that calibration as the real platform does.
#include <cstring>
#include <string>

#include "joystick/com_ref.h"
#include "joystick/joystick_records.h"
#include "platform/sim/sim_internal.h"

namespace {

using Impl = CSimPlatform::Impl;

constexpr const char* kCalibrationValue = "Calibration";

}  // namespace

std::string Impl::IdentityKey(UINT number) const {
    // <k> is the ordinal among the attached devices with that VID/PID (Process Monitor on Windows 11,
    // HIDMaestro issue 60).
    return DeviceCalibrationKey(devices[number].hardwareId) + "\\" + std::to_string(devices[number].ordinal);
}

std::string Impl::AxisKey(UINT number, int axis) const {
    // <n> counts the device's axes in the order it reports them (Microsoft's DIOBJECTCALIBRATION page).
    return IdentityKey(number) + "\\Type\\Axes\\" + std::to_string(axis);
}

bool Impl::AxisCalibration(UINT number, int axis, LONG (&values)[3]) const {
    if (number >= kJoysticks || devices[number].hardwareId.empty() || axis >= devices[number].axes) return false;
    const auto key = registry.Find(HKEY_CURRENT_USER, AxisKey(number, axis));
    const CSimRegistry::Value* value = key ? CSimRegistry::FindValue(*key, kCalibrationValue) : nullptr;
    // DIOBJECTCALIBRATION: lMin, lCenter, lMax, 12 bytes.
    if (value == nullptr || value->type != REG_BINARY || value->data.size() != sizeof(values)) return false;
    std::memcpy(values, value->data.data(), sizeof(values));
    return true;
}

void Impl::AppliedCalibration(UINT number, int axis, LONG (&values)[3]) const {
    // Microsoft's DIOBJECTCALIBRATION page: a HID axis's "Calibration" value first; "If the 'Calibration'
    // value is absent, then the calibration information is taken from the joystick JOYREGHWVALUES".
    if (Modern() && AxisCalibration(number, axis, values)) return;
    const JOYREGHWVALUES& hwv = store[number].hwc.hwv;
    const Device& d = devices[number];
    const bool calibrated = ((hwv.dwCalFlags >> CalibrationFlagOfAxis(axis)) & 1) != 0;
    values[0] = calibrated ? SignedJoyPosAxis(hwv.jrvHardware.jpMin, axis) : d.nominalMin;
    values[1] = calibrated ? SignedJoyPosAxis(hwv.jrvHardware.jpCenter, axis) : d.nominalCenter;
    values[2] = calibrated ? SignedJoyPosAxis(hwv.jrvHardware.jpMax, axis) : d.nominalMax;
}

void Impl::SetAxisCalibration(UINT number, int axis, const LONG (&values)[3]) {
    registry.SetValue(HKEY_CURRENT_USER, AxisKey(number, axis), kCalibrationValue, REG_BINARY, values, sizeof(values));
}

void Impl::RefreshIdentity(UINT number) {
    if (!Modern() || number >= kJoysticks || !store[number].configured || devices[number].hardwareId.empty()) return;
    Device& d = devices[number];
    const std::string key = IdentityKey(number);
    const auto found = registry.Find(HKEY_CURRENT_USER, key);
    const CSimRegistry::Value* guid = found ? CSimRegistry::FindValue(*found, "GUID") : nullptr;
    if (guid != nullptr && guid->data.size() == sizeof(GUID)) {
        // dinput8.dll looks the instance GUID up there at enumeration (HIDMaestro issue 60).
        std::memcpy(&store[number].guidInstance, guid->data.data(), sizeof(GUID));
        return;
    }
    if (d.identified) {
        // The key is gone: a new instance GUID, and games lose their bindings for the controller.
        store[number].guidInstance = InstanceGuid(number);
        store[number].guidInstance.Data4[6] = ++identities;
    }
    d.identified = true;
    const DWORD id = number;
    registry.SetValue(HKEY_CURRENT_USER, key, "GUID", REG_BINARY, &store[number].guidInstance, sizeof(GUID));
    registry.SetValue(HKEY_CURRENT_USER, key, "Joystick Id", REG_BINARY, &id, sizeof(id));
}

std::string CSimPlatform::IdentityKey(UINT number) const { return m_impl->IdentityKey(number); }

std::string CSimPlatform::AxisCalibrationKey(UINT number, int axis) const { return m_impl->AxisKey(number, axis); }

void CSimPlatform::SetAxisCalibrationValue(UINT number, int axis, LONG min, LONG center, LONG max) {
    const LONG values[3] = {min, center, max};
    m_impl->SetAxisCalibration(number, axis, values);
}

bool CSimPlatform::GetAxisCalibration(UINT uJoyID, JoystickAxisCalibration (&axes)[6]) {
    for (JoystickAxisCalibration& axis : axes) axis = JoystickAxisCalibration{};
    if (!m_impl->Modern() || !m_impl->Attached(uJoyID) || m_impl->devices[uJoyID].hardwareId.empty()) return false;
    for (int axis = 0; axis < kAxes; ++axis) {
        LONG values[3] = {};
        if (m_impl->AxisCalibration(uJoyID, axis, values)) axes[axis] = {true, values[0], values[1], values[2]};
    }
    return true;
}

// As on Windows: a DirectInput 8 device of the joystick number, found through the configuration interface,
// given the joystick data format and never acquired; each axis set with DIPROP_CALIBRATION, or its
// per-axis value removed.
HRESULT CSimPlatform::SetAxisCalibration(UINT uJoyID, const JoystickAxisCalibration (&axes)[6], unsigned mask) {
    if (mask == 0 || !m_impl->Modern()) return CJoystickServices::SetAxisCalibration(uJoyID, axes, mask);
    static int module;
    ComRef<IUnknown> object;
    HRESULT hr = DirectInput8Create(reinterpret_cast<HINSTANCE>(&module), 0x0800, IID_IDirectInput8A, object.out(),
                                    nullptr);
    if (FAILED(hr)) return hr;
    ComRef<IDirectInputJoyConfig8> config;
    hr = object.p->QueryInterface(IID_IDirectInputJoyConfig8, config.out());
    if (FAILED(hr)) return hr;
    DIJOYCONFIG joy;
    std::memset(&joy, 0, sizeof(joy));
    joy.dwSize = sizeof(joy);
    hr = config.p->GetConfig(uJoyID, AsJoyConfigParam(&joy), DIJC_GUIDINSTANCE);
    if (FAILED(hr)) return hr;
    // The simulated DirectInput 8 object is the one class of every version.
    ComRef<IDirectInputDeviceA> device;
    hr = static_cast<IDirectInputA*>(object.p)->CreateDevice(joy.guidInstance, &device.p, nullptr);
    if (FAILED(hr)) return hr;
    hr = device.p->SetDataFormat(&c_dfDIJoystick);
    if (FAILED(hr)) return hr;
    for (int axis = 0; axis < kAxes; ++axis) {
        if ((mask & (1u << axis)) == 0) continue;
        if (axes[axis].stored) {
            DIPROPCAL cal;
            cal.diph = {sizeof(DIPROPCAL), sizeof(DIPROPHEADER), kStateAxisOffsets[axis], DIPH_BYOFFSET};
            cal.lMin = axes[axis].min;
            cal.lCenter = axes[axis].center;
            cal.lMax = axes[axis].max;
            hr = device.p->SetProperty(DIPROP_CALIBRATION, &cal.diph);
        } else {
            // DirectInput has no call that removes a per-axis value; the value itself goes.
            HKEY key = nullptr;
            const LONG opened = RegOpenKeyA(HKEY_CURRENT_USER, m_impl->AxisKey(uJoyID, axis).c_str(), &key);
            LONG removed = opened;
            if (opened == ERROR_SUCCESS) {
                removed = RegDeleteValueA(key, kCalibrationValue);
                RegCloseKey(key);
            }
            hr = removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(removed);
        }
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

LONG CSimPlatform::RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegDeleteValue, &injected)) {
        return injected;
    }
    return m_impl->registry.DeleteValue(hKey, lpValueName);
}
