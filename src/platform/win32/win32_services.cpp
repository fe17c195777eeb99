// The real joystick services: WinMM, the registry under HKEY_LOCAL_MACHINE, registered window
// messages and DirectInput 5 (and 8, for its configuration interface), each call passed through unchanged.
#include "joystick/joystick_services.h"

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
