// The real joystick services: WinMM, the registry, registered window messages and DirectInput 5 (and 8,
// for its configuration interface), each call passed through unchanged, what each axis of a joystick
// spans and its per-axis calibration.
#include "joystick/joystick_services.h"
#include "platform/win32/win32_units.h"

// Exported by winmm.dll for joystick control panels; the SDK declares it only in its driver-kit
// header mmddk.h, which mingw-w64 does not ship.
extern "C" MMRESULT WINAPI joyConfigChanged(DWORD dwFlags);
// Exported by dinput8.dll; mingw-w64's dinput.h declares it only for programs built for DirectInput 8,
// and the joystick object is built for DirectInput 5.
extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                             LPUNKNOWN punkOuter);

namespace {

class CWin32JoystickServices final : public CJoystickServices {
public:
    MMRESULT joyGetPosEx(UINT uJoyID, JOYINFOEX* pji) override { return ::joyGetPosEx(uJoyID, pji); }
    MMRESULT joyGetDevCapsA(UINT_PTR uJoyID, JOYCAPSA* pjc, UINT cbjc) override {
        return ::joyGetDevCapsA(uJoyID, pjc, cbjc);
    }
    MMRESULT joyConfigChanged(DWORD dwFlags) override { return ::joyConfigChanged(dwFlags); }
    LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) override {
        return ::RegOpenKeyA(hKey, lpSubKey, phkResult);
    }
    LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                          DWORD* lpcbData) override {
        return ::RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    }
    LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) override {
        return ::RegEnumKeyA(hKey, dwIndex, lpName, cchName);
    }
    LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) override { return ::RegDeleteKeyA(hKey, lpSubKey); }
    LONG RegCloseKey(HKEY hKey) override { return ::RegCloseKey(hKey); }
    UINT RegisterWindowMessageA(LPCSTR lpString) override { return ::RegisterWindowMessageA(lpString); }
    HRESULT DirectInputCreateA(HINSTANCE hinst, DWORD dwVersion, IDirectInputA** ppDI, IUnknown* punkOuter) override {
        return ::DirectInputCreateA(hinst, dwVersion, ppDI, punkOuter);
    }

    // A joystick whose capabilities name a driver of its own (Windows 9x/NT: "msjstick.drv<0000>",
    // "vjoyd.vxd") keeps gameport numbers. One read through DirectInput ("DINPUT.DLL", Windows 2000 and
    // later) is a HID device, and DirectInput 8 tells each axis's logical range; where it cannot, the
    // range is unknown and nothing is said, so the editor writes no axis rather than guess.
    bool GetJoystickUnits(UINT uJoyID, JoystickUnits* units) override {
        *units = JoystickUnits{};
        if (NamesGameportDriver(uJoyID)) {
            units->gameport = true;
            return true;
        }
        Win32AxisRange axes[6];
        if (!QueryAxisRanges(uJoyID, axes)) {
            return false;
        }
        for (int i = 0; i < 6; ++i) units->axes[i] = {axes[i].present, axes[i].min, axes[i].max};
        return true;
    }

    HRESULT DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, void** ppvOut,
                               IUnknown* punkOuter) override {
        return ::DirectInput8Create(hinst, dwVersion, riidltf, ppvOut, punkOuter);
    }

    // Only a joystick read through DirectInput has a per-axis calibration; a gameport driver's has none.
    bool GetAxisCalibration(UINT uJoyID, JoystickAxisCalibration (&axes)[6]) override {
        for (JoystickAxisCalibration& axis : axes) axis = JoystickAxisCalibration{};
        Win32AxisCalibration read[6];
        if (NamesGameportDriver(uJoyID) || !ReadAxisCalibrations(uJoyID, read)) return false;
        for (int i = 0; i < 6; ++i) axes[i] = {read[i].stored, read[i].min, read[i].center, read[i].max};
        return true;
    }

    HRESULT SetAxisCalibration(UINT uJoyID, const JoystickAxisCalibration (&axes)[6], unsigned mask) override {
        Win32AxisCalibration write[6];
        for (int i = 0; i < 6; ++i) write[i] = {axes[i].stored, axes[i].min, axes[i].center, axes[i].max};
        return WriteAxisCalibrations(uJoyID, write, mask);
    }

    LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) override { return ::RegDeleteValueA(hKey, lpValueName); }

private:
    // A joystick whose capabilities name a driver of its own (Windows 9x/NT: "msjstick.drv<0000>",
    // "vjoyd.vxd") rather than DirectInput ("DINPUT.DLL", Windows 2000 and later).
    static bool NamesGameportDriver(UINT uJoyID) {
        JOYCAPSA caps{};
        return ::joyGetDevCapsA(uJoyID, &caps, sizeof(caps)) == JOYERR_NOERROR && caps.szRegKey[0] != '\0' &&
               lstrcmpiA(caps.szRegKey, "DINPUT.DLL") != 0;
    }
};

}  // namespace

CJoystickServices& DefaultJoystickServices() {
    // Function-local: the dialog registers its message from a static initialiser.
    static CWin32JoystickServices services;
    return services;
}
