// The joystick services on the Linux kernel: WinMM reads on joydev, DirectInput 5 on evdev, and the
// calibration editor on joydev's correction (JSIOCSCORR) and evdev's axis info (EVIOCSABS). The
// registry is a small view of the controllers: driver key "joydev" whose CurrentJoystickSettings hold
// the names, and one key "jsN" per controller that has a JoystickSettings key while it carries a
// calibration of ours. docs/linux-controllers.md has the mapping and its limits.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "joystick/joystick_services.h"
#include "platform/linux/kernel_joystick.h"

class CLinuxPlatform : public CJoystickServices {
public:
    static constexpr UINT kJoysticks = 16;
    static constexpr const char* kDriverKey = "joydev";
    static constexpr const char* kJoystickBase = "System\\CurrentControlSet\\Control\\MediaResources\\Joystick";

    // Registered window messages are numbered by `messages` (the services the dialog registered its
    // message with during static initialisation), so both agree; nullptr numbers them here.
    explicit CLinuxPlatform(CJoystickServices* messages = nullptr);
    ~CLinuxPlatform() override;
    CLinuxPlatform(const CLinuxPlatform&) = delete;
    CLinuxPlatform& operator=(const CLinuxPlatform&) = delete;

    // CJoystickServices.
    MMRESULT joyGetPosEx(UINT uJoyID, JOYINFOEX* pji) override;
    MMRESULT joyGetDevCapsA(UINT_PTR uJoyID, JOYCAPSA* pjc, UINT cbjc) override;
    MMRESULT joyConfigChanged(DWORD dwFlags) override;
    LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) override;
    LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                          DWORD* lpcbData) override;
    LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) override;
    LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) override;
    LONG RegCloseKey(HKEY hKey) override;
    UINT RegisterWindowMessageA(LPCSTR lpString) override;
    HRESULT DirectInputCreateA(HINSTANCE hinst, DWORD dwVersion, IDirectInputA** ppDI, IUnknown* punkOuter) override;
    // The axes evdev reports, each over its own minimum..maximum; an axis with none between is absent.
    bool GetJoystickUnits(UINT uJoyID, JoystickUnits* units) override;
    // Refuses a line joydev's 32-bit arithmetic cannot compute over the axis's whole range.
    bool CheckAxisCalibration(UINT uJoyID, int axis, LONG min, LONG center, LONG max, DWORD deadZone, char* why,
                              size_t whySize) override;

    // Keeping a calibration: padwright-store run through pkexec (linux_keep.cpp).
    bool CanKeepCalibration() override { return true; }
    KeepResult KeepCalibration(UINT uJoyID, bool thisUnitOnly, char* why, size_t whySize) override;
    KeepResult ForgetKeptCalibration(UINT uJoyID, char* why, size_t whySize) override;
    KeepResult ForgetAllKeptCalibrations(char* why, size_t whySize) override;
    // Runs argv (pkexec, the helper, its arguments) and returns its exit status with its standard error;
    // -1 when it did not start. By default pkexec itself; tests run the helper their own way.
    using HelperRunner = std::function<int(const std::vector<std::string>& argv, std::string* err)>;
    void SetHelperRunner(HelperRunner runner);
    static constexpr const char* kStoreHelper = PADWRIGHT_STORE_HELPER;

    // Where "MSJSTICK_VJOYD_MSGSTR" goes after a calibration changed; it must post, not handle.
    void SetBroadcast(std::function<void(UINT msg, WPARAM wParam, LPARAM lParam)> broadcast);

    // Used by the DirectInput objects.
    // Refreshed; null when no usable controller is there. An absent number's node is looked for when
    // `look` (a selection, the cleaner, an enumeration), else at most once a second.
    linuxjoy::KernelJoystick* Present(UINT number, bool look = false);
    HRESULT GetConfig(UINT number, DIJOYCONFIG* config, DWORD flags);
    HRESULT SetConfig(UINT number, const DIJOYCONFIG* config, DWORD flags);
    void GetDeadZones(UINT number, JOYPOS* deadZones);
    void SetDeadZones(UINT number, const JOYPOS& deadZones);
    void AnnounceChange();
    static GUID InstanceGuid(UINT number);
    static int NumberOf(REFGUID guid);  // -1 for a GUID that names none of ours

private:
    // What the editor last wrote for a number, and what the kernel got from it.
    struct Written {
        bool valid = false;
        DWORD calFlags = 0;
        JOYRANGE range{};
        JOYPOS deadZone{};
        std::array<linuxjoy::AxisKernelState, linuxjoy::kAxes> state{};
    };
    // The editor's view of a controller: flags, ranges and dead zones, from what we wrote while the
    // kernel still holds it, otherwise read back from the kernel.
    void View(UINT number, DWORD* calFlags, JOYRANGE* range, JOYPOS* deadZone);
    bool HasCalibration(UINT number);
    // The kernel state for a calibration of one axis: the device's own for its identity, else joydev's
    // line and evdev's info (Made). None for a constant axis or values out of order; Overflows for a line
    // joydev's 32-bit arithmetic cannot compute over the axis's range. Only Made sets `out`.
    enum class Line { Made, None, Overflows };
    static Line Calibrate(const linuxjoy::KernelJoystick& joystick, int axis, const linuxjoy::AxisCalibration& cal,
                          linuxjoy::AxisKernelState* out);
    bool RestoreOwn(UINT number);
    KeepResult RunHelper(const std::vector<std::string>& args, char* why, size_t whySize);

    CJoystickServices* m_messages;
    std::vector<std::string> m_registered;
    std::array<std::unique_ptr<linuxjoy::KernelJoystick>, kJoysticks> m_joysticks;
    std::array<Written, kJoysticks> m_written{};
    std::array<JOYPOS, kJoysticks> m_pendingDeadZone{};
    std::function<void(UINT, WPARAM, LPARAM)> m_broadcast;
    HelperRunner m_runner;
};

// True when the kernel offers at least one joystick node (/dev/input/js*).
bool LinuxJoystickNodesExist();

// Creates an object of the DirectInput substitute (reference count 1).
IDirectInputA* NewLinuxDirectInput(CLinuxPlatform& platform);
