// The operating system's joystick services as this tool uses them: WinMM joystick reads, the joystick
// branch of the registry, the registered configuration-change message and DirectInput creation (5, and 8
// for its configuration interface).
// One interface so that the same logic runs on Windows and on the simulated platform.
#pragma once

#include "joystick/platform_api.h"

class CJoystickServices {
public:
    virtual ~CJoystickServices() = default;
    virtual MMRESULT joyGetPosEx(UINT uJoyID, JOYINFOEX* pji) = 0;
    virtual MMRESULT joyGetDevCapsA(UINT_PTR uJoyID, JOYCAPSA* pjc, UINT cbjc) = 0;
    virtual MMRESULT joyConfigChanged(DWORD dwFlags) = 0;
    virtual LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) = 0;
    virtual LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                                  DWORD* lpcbData) = 0;
    virtual LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) = 0;
    virtual LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) = 0;
    virtual LONG RegCloseKey(HKEY hKey) = 0;
    virtual UINT RegisterWindowMessageA(LPCSTR lpString) = 0;
    virtual HRESULT DirectInputCreateA(HINSTANCE hinst, DWORD dwVersion, IDirectInputA** ppDI, IUnknown* punkOuter) = 0;
    // DirectInput 8's entry, for its joystick configuration interface where DirectInput 5's is refused.
    // Platforms without DirectInput 8 keep this default.
    virtual HRESULT DirectInput8Create(HINSTANCE /*hinst*/, DWORD /*dwVersion*/, REFIID /*riidltf*/, void** ppvOut,
                                       IUnknown* /*punkOuter*/) {
        if (ppvOut != nullptr) *ppvOut = nullptr;
        return DIERR_UNSUPPORTED;
    }
};

// The process's services: the override when one is set, else DefaultJoystickServices().
// Safe to call during static initialisation.
CJoystickServices& JoystickServices();

// Installs an override (tests, mains); nullptr restores the default. The caller keeps ownership.
void SetJoystickServices(CJoystickServices* services);

// The platform's own services, defined by the platform library linked into the program
// (the simulated platform on Linux).
CJoystickServices& DefaultJoystickServices();

// Reads a string value of an open key into buffer (size bytes) and always leaves a terminated string
// there: the value's text, cut at its first NUL; empty when the value is missing, is not a string type,
// or is larger than the buffer. A value that fills the buffer without a terminator loses its last
// character to one. Returns the registry's result (ERROR_MORE_DATA for a value larger than the
// buffer), ERROR_UNSUPPORTED_TYPE for a value that is no string, or ERROR_MORE_DATA for a value that
// was cut. The registry does not promise a terminator for a string that exactly fills the buffer,
// hence this helper.
LONG QueryRegistryString(CJoystickServices& services, HKEY key, LPCSTR valueName, char* buffer, DWORD size);
