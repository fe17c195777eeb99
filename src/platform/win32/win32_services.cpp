// The real joystick services: WinMM, the registry, registered window messages and DirectInput 5 (and 8,
// for its configuration interface), each call passed through unchanged, and what each axis of a
// joystick spans.
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
        JOYCAPSA caps{};
        if (::joyGetDevCapsA(uJoyID, &caps, sizeof(caps)) == JOYERR_NOERROR && caps.szRegKey[0] != '\0' &&
            lstrcmpiA(caps.szRegKey, "DINPUT.DLL") != 0) {
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
};

}  // namespace

CJoystickServices& DefaultJoystickServices() {
    // Function-local: the dialog registers its message from a static initialiser.
    static CWin32JoystickServices services;
    return services;
}
