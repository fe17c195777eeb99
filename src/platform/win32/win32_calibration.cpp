// A HID joystick's per-axis calibration on Windows 10/11: DirectInput takes an axis's calibration from
// its "Calibration" value under ...\DirectInput\VID_xxxx&PID_xxxx\Calibration\<k>\Type\Axes\<n> (HKEY_CURRENT_USER)
// before JOYREGHWVALUES (Microsoft's DIOBJECTCALIBRATION page). It is written as DIPROP_CALIBRATION on a
// DirectInput 8 device, which must not be acquired (the SetProperty page); <k> also holds the device's
// identity, its instance GUID, so nothing here deletes a key.
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>

#include <dinput.h>
#include <dinputd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/win32_dinput8.h"
#include "platform/win32/win32_units.h"

namespace {

constexpr const char* kDirectInputBranch =
    "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\DirectInput";

// An open registry key, closed on every path out.
struct Key {
    HKEY h = nullptr;
    Key(const std::string& path, REGSAM access) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &h) != ERROR_SUCCESS) h = nullptr;
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (h != nullptr) RegCloseKey(h);
    }
};

// The device's identity key: Calibration\<k> of its VID_xxxx&PID_xxxx key whose GUID value is the device's
// instance GUID (dinput8.dll looks it up there at enumeration; HIDMaestro issue 60). Empty when none is.
std::string IdentityKey(IDirectInputDevice8A* device, const GUID& instance) {
    DIPROPDWORD vidPid{};
    vidPid.diph.dwSize = sizeof(vidPid);
    vidPid.diph.dwHeaderSize = sizeof(vidPid.diph);
    vidPid.diph.dwHow = DIPH_DEVICE;
    if (FAILED(device->GetProperty(DIPROP_VIDPID, &vidPid.diph))) return {};
    char path[256];
    std::snprintf(path, sizeof(path), "%s\\VID_%04X&PID_%04X\\Calibration", kDirectInputBranch,
                  static_cast<unsigned>(LOWORD(vidPid.dwData)), static_cast<unsigned>(HIWORD(vidPid.dwData)));
    const Key calibration(path, KEY_READ);
    char name[256];
    for (DWORD index = 0; calibration.h != nullptr && RegEnumKeyA(calibration.h, index, name, sizeof(name)) == ERROR_SUCCESS;
         ++index) {
        const std::string candidate = std::string(path) + "\\" + name;
        const Key key(candidate, KEY_READ);
        GUID guid{};
        DWORD type = REG_NONE;
        DWORD size = sizeof(guid);
        if (key.h != nullptr &&
            RegQueryValueExA(key.h, "GUID", nullptr, &type, reinterpret_cast<BYTE*>(&guid), &size) == ERROR_SUCCESS &&
            size == sizeof(guid) && IsEqualGUID(guid, instance))
            return candidate;
    }
    return {};
}

// The key of one axis's value: Type\Axes\<n>, n the instance number DirectInput gives the axis object.
// Empty for an axis the device lacks.
std::string AxisKey(IDirectInputDevice8A* device, const std::string& identity, int axis) {
    DIDEVICEOBJECTINSTANCEA object{};
    object.dwSize = sizeof(object);
    if (FAILED(device->GetObjectInfo(&object, kAxisOffsets[axis], DIPH_BYOFFSET))) return {};
    return identity + "\\Type\\Axes\\" + std::to_string(DIDFT_GETINSTANCE(object.dwType));
}

}  // namespace

bool ReadAxisCalibrations(unsigned number, Win32AxisCalibration (&axes)[6]) {
    for (Win32AxisCalibration& axis : axes) axis = Win32AxisCalibration{};
    ComRef<IDirectInput8A> input;
    ComRef<IDirectInputDevice8A> device;
    GUID instance;
    if (FAILED(OpenJoystick8(number, input, device, &instance))) return false;
    const std::string identity = IdentityKey(device.p, instance);
    if (identity.empty()) return false;
    for (int i = 0; i < 6; ++i) {
        const std::string path = AxisKey(device.p, identity, i);
        if (path.empty()) continue;
        const Key key(path, KEY_READ);
        LONG values[3] = {};
        DWORD type = REG_NONE;
        DWORD size = sizeof(values);
        // DIOBJECTCALIBRATION: lMin, lCenter, lMax, 12 bytes.
        if (key.h != nullptr &&
            RegQueryValueExA(key.h, "Calibration", nullptr, &type, reinterpret_cast<BYTE*>(values), &size) ==
                ERROR_SUCCESS &&
            type == REG_BINARY && size == sizeof(values))
            axes[i] = {true, values[0], values[1], values[2]};
    }
    return true;
}

long WriteAxisCalibrations(unsigned number, const Win32AxisCalibration (&axes)[6], unsigned mask) {
    if (mask == 0) return S_OK;
    ComRef<IDirectInput8A> input;
    ComRef<IDirectInputDevice8A> device;
    GUID instance;
    HRESULT hr = OpenJoystick8(number, input, device, &instance);
    if (FAILED(hr)) return hr;
    std::string identity;
    for (int i = 0; i < 6; ++i) {
        if ((mask & (1u << i)) == 0) continue;
        if (axes[i].stored) {
            DIPROPCAL cal{};
            cal.diph.dwSize = sizeof(cal);
            cal.diph.dwHeaderSize = sizeof(cal.diph);
            cal.diph.dwObj = kAxisOffsets[i];
            cal.diph.dwHow = DIPH_BYOFFSET;
            cal.lMin = axes[i].min;
            cal.lCenter = axes[i].center;
            cal.lMax = axes[i].max;
            hr = device.p->SetProperty(DIPROP_CALIBRATION, &cal.diph);
            if (FAILED(hr)) return hr;
            continue;
        }
        // DirectInput has no call that removes a per-axis value; the value itself goes, never its key.
        if (identity.empty()) identity = IdentityKey(device.p, instance);
        const std::string path = identity.empty() ? std::string() : AxisKey(device.p, identity, i);
        if (path.empty()) continue;  // no value kept for it: nothing to remove
        const Key key(path, KEY_SET_VALUE);
        const LONG removed = key.h != nullptr ? RegDeleteValueA(key.h, "Calibration") : ERROR_FILE_NOT_FOUND;
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(removed);
    }
    return S_OK;
}
