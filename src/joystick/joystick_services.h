// The operating system's joystick services as this tool uses them: WinMM joystick reads, the joystick
// branch of the registry, the registered configuration-change message and DirectInput creation (5, and 8
// for its configuration interface).
// One interface so that the same logic runs on Windows and on the simulated platform.
#pragma once

#include <cstddef>

#include "joystick/platform_api.h"

// What one joystick's axes span, in the units its calibration is kept in, as the platform knows it
// from the device itself (never from what happens to be stored).
struct JoystickAxisUnits {
    bool present = false;  // the device has this axis, and it moves over more than one value
    LONG min = 0;          // the lowest and highest value the axis reports
    LONG max = 0;
    // The axis's own dead zone in percent, where the platform keeps one per axis (the kernel: its flat):
    // what "Default values" gives it. Without one, the editor's defaults apply.
    bool hasDeadZone = false;
    DWORD deadZone = 0;
};
struct JoystickUnits {
    bool gameport = false;  // calibration kept in a gameport driver's numbers (travel about 0..655)
    JoystickAxisUnits axes[6];  // X, Y, Z, R, U, V
};

// DirectInput's own calibration of one axis of a HID joystick: the per-axis value that games read
// before the configuration's JOYREGHWVALUES (DIPROP_CALIBRATION), in the axis's own units.
struct JoystickAxisCalibration {
    bool stored = false;  // the axis has a per-axis value (to write: set it; not stored: remove it)
    LONG min = 0;
    LONG center = 0;
    LONG max = 0;
};

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

    // What joystick uJoyID's axes span. False when the platform cannot tell (no such device, or a
    // system that does not say); the editor then changes no axis's calibration.
    virtual bool GetJoystickUnits(UINT uJoyID, JoystickUnits* units);
    // Whether the platform can apply this calibration of one axis (0..5) exactly. When it cannot, false,
    // with a sentence for the user in `why` (always terminated, cut to whySize).
    virtual bool CheckAxisCalibration(UINT uJoyID, int axis, LONG min, LONG center, LONG max, DWORD deadZone,
                                      char* why, size_t whySize);
    // The per-axis calibration of joystick uJoyID's axes X, Y, Z, R, U, V. False where the platform keeps
    // none (a gameport joystick, a platform without it, a device it cannot find): the calibration is then
    // the configuration's alone.
    virtual bool GetAxisCalibration(UINT uJoyID, JoystickAxisCalibration (&axes)[6]);
    // Writes the axes whose bit is set in `mask` (bit i: axis i) without acquiring the device: a stored
    // one as its DIPROP_CALIBRATION, one not stored by removing its per-axis value, so that games read it
    // uncalibrated. Never touches the controller's identity. The first failure, else S_OK.
    virtual HRESULT SetAxisCalibration(UINT uJoyID, const JoystickAxisCalibration (&axes)[6], unsigned mask);
    // Removes a value of an open key. Platforms without a registry keep this default.
    virtual LONG RegDeleteValueA(HKEY /*hKey*/, LPCSTR /*lpValueName*/) { return ERROR_CALL_NOT_IMPLEMENTED; }
    // Keeping a joystick's calibration for good, on a platform whose own store forgets it when the device
    // goes (the Linux kernel). Keeping and forgetting may ask the user to authenticate as an administrator;
    // Declined means they did not, and nothing changed. A sentence for the user goes in `why` on Failed.
    // The default platform keeps nothing of its own: it cannot, and says so.
    enum class KeepResult { Done, Declined, Failed };
    virtual bool CanKeepCalibration() { return false; }
    virtual KeepResult KeepCalibration(UINT uJoyID, bool thisUnitOnly, char* why, size_t whySize);
    virtual KeepResult ForgetKeptCalibration(UINT uJoyID, char* why, size_t whySize);
    virtual KeepResult ForgetAllKeptCalibrations(char* why, size_t whySize);
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
