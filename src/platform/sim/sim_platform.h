// The simulated platform: a small Windows machine in memory that stands in for WinMM, the joystick branch
// of the registry and DirectInput 5 with its joystick configuration store. Virtual controllers move on
// their own; calibrated reads apply the stored calibration and dead zones, raw reads do not. Nothing is
// written to disk: the machine lives as long as the object.
//
// The model in brief:
// - Joystick numbers 0..15. A number is installed while the configuration store holds an entry for it
//   and the driver key's CurrentJoystickSettings key exists; it answers WinMM only while a virtual
//   controller is plugged in under it (JOYERR_PARMS when not installed, JOYERR_UNPLUGGED when installed
//   but absent). Every installed number reports the driver key "msjstick.drv<0000>" as szRegKey.
// - Raw positions are gameport-like: each axis travels sinusoidally, slightly inside 0..655, driven by
//   the clock. Absent axes read 0.
// - Calibrated reads (WinMM without JOY_RETURNRAWDATA, DirectInput in cooked mode) map the raw value
//   through the stored minimum/centre/maximum of an axis whose JOY_ISCAL_* flag is set (0/328/655 when
//   it is not) onto 0..65535 (DirectInput: the DIPROP_RANGE set on the device), piecewise linear on
//   each side of the centre, then apply the axis dead zone from the global user values: a deflection
//   within that percentage of the half range reads as the centre, the rest is rescaled to reach the
//   ends. Raw reads apply neither.
// - The registry branch: base\msjstick.drv<0000>\CurrentJoystickSettings (JoystickNOEMName REG_SZ and
//   JoystickNConfiguration REG_BINARY per installed number, N = number + 1), JoystickSettings keys under
//   msjstick.drv<0000>, vjoyd.vxd<0001> and ibmjoy.drv<0002>, and joyhid.vxd<0003> without one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "joystick/joystick_services.h"
#include "platform/sim/sim_registry.h"

// Every operation of the simulated platform that can be made to fail (AddRef and Release cannot).
enum class SimCall : int {
    // WinMM, the registry and window messages.
    JoyGetPosEx,
    JoyGetDevCaps,
    JoyConfigChanged,
    RegOpenKey,
    RegQueryValueEx,
    RegEnumKey,
    RegDeleteKey,
    RegCloseKey,
    RegisterWindowMessage,
    DirectInputCreate,
    // IDirectInputA.
    DIQueryInterface,
    CreateDevice,
    EnumDevices,
    GetDeviceStatus,
    DIRunControlPanel,
    DIInitialize,
    // IDirectInputDevice2A.
    DeviceQueryInterface,
    GetCapabilities,
    EnumObjects,
    GetProperty,
    SetProperty,
    DeviceAcquire,
    DeviceUnacquire,
    GetDeviceState,
    GetDeviceData,
    SetDataFormat,
    SetEventNotification,
    DeviceSetCooperativeLevel,
    GetObjectInfo,
    GetDeviceInfo,
    DeviceRunControlPanel,
    DeviceInitialize,
    CreateEffect,
    EnumEffects,
    GetEffectInfo,
    GetForceFeedbackState,
    SendForceFeedbackCommand,
    EnumCreatedEffectObjects,
    Escape,
    Poll,
    SendDeviceData,
    // IDirectInputJoyConfig.
    JoyConfigQueryInterface,
    JoyConfigAcquire,
    JoyConfigUnacquire,
    JoyConfigSetCooperativeLevel,
    SendNotify,
    EnumTypes,
    GetTypeInfo,
    SetTypeInfo,
    DeleteType,
    GetConfig,
    SetConfig,
    DeleteConfig,
    GetUserValues,
    SetUserValues,
    AddNewHardware,
    OpenTypeKey,
    OpenConfigKey,
    Count
};

// The kinds of simulated DirectInput objects, for counting the live ones.
enum class SimObject { DirectInput, Device, JoyConfig };

// One virtual controller plugged into the machine and configured under a joystick number.
struct SimController {
    UINT number = 0;          // 0..15
    std::string oemName;      // stored as "Joystick<number+1>OEMName"
    int axes = 2;             // present axes, in the order X, Y, Z, R, U, V
    DWORD buttons = 2;
    DWORD hwType = JOY_HW_2A_2B_GENERIC;
    DWORD calFlags = 0;       // JOY_ISCAL_* bits stored at start; calibrated axes store the travel range
};

class CSimPlatform : public CJoystickServices {
public:
    static constexpr UINT kJoysticks = 16;
    static constexpr int kAxes = 6;
    // Uncalibrated axes are read as if calibrated over this gameport range.
    static constexpr LONG kNominalMin = 0;
    static constexpr LONG kNominalCenter = 328;
    static constexpr LONG kNominalMax = 655;
    static constexpr const char* kJoystickBase = "System\\CurrentControlSet\\Control\\MediaResources\\Joystick";
    static constexpr const char* kDriverKey = "msjstick.drv<0000>";
    static constexpr const char* kConfigMessage = "MSJSTICK_VJOYD_MSGSTR";
    static constexpr int kAlways = -1;

    // Number 0: a 6-axis flight stick with throttle and rudder; 1: a 2-axis gamepad; 3: a 4-axis yoke.
    static std::vector<SimController> DefaultControllers();

    explicit CSimPlatform(const std::vector<SimController>& controllers = DefaultControllers());
    ~CSimPlatform() override;
    CSimPlatform(const CSimPlatform&) = delete;
    CSimPlatform& operator=(const CSimPlatform&) = delete;

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

    // Where "MSJSTICK_VJOYD_MSGSTR" goes when SendNotify or joyConfigChanged announces a change
    // (message number, 0, 0). It is called from inside those calls, so it must post (queue) the
    // message as PostMessage does, not handle it on the spot.
    void SetBroadcast(std::function<void(UINT msg, WPARAM wParam, LPARAM lParam)> broadcast);
    UINT ConfigChangedMessage();

    // Time in milliseconds that drives the controllers' motion; real (steady) time by default.
    void SetClock(std::function<uint64_t()> nowMs);
    // Holds one axis (0..5 = X, Y, Z, R, U, V) at a raw position until ReleaseAxes.
    void HoldAxis(UINT number, int axis, LONG raw);
    void ReleaseAxes(UINT number);
    // The raw position of an axis now (0 for an axis the controller lacks or a number without one).
    LONG RawPosition(UINT number, int axis) const;

    // Makes the next `count` calls of `call` (kAlways: every call) return `result`, after letting
    // `after` calls through. The failing call does nothing else; out-pointers come back null.
    void FailCall(SimCall call, int32_t result, int count = 1, int after = 0);
    void ClearFailures();
    int CallCount(SimCall call) const;

    // Live simulated DirectInput objects (each interface object counts once until its last Release).
    int LiveInterfaces() const;
    int LiveInterfaces(SimObject kind) const;

    // The configuration store. A number is installed while its configuration is stored and the
    // CurrentJoystickSettings key exists; deleting that key uninstalls every controller it described.
    bool IsInstalled(UINT number) const;
    bool IsPlugged(UINT number) const;
    DIJOYCONFIG StoredConfig(UINT number) const;  // as GetConfig with all four flags returns it
    void StoreConfig(UINT number, const DIJOYCONFIG& config);  // installs the number
    DIJOYUSERVALUES StoredUserValues() const;
    void StoreUserValues(const DIJOYUSERVALUES& values);
    int ConfigWrites() const;   // successful SetConfig, SetUserValues and DeleteConfig calls
    int Notifications() const;  // broadcasts of the configuration-changed message
    bool ConfigAcquired() const;  // a configuration interface holds the exclusive write access

    // The registry, by path below HKEY_LOCAL_MACHINE.
    bool KeyExists(std::string_view path) const;
    std::vector<std::string> Subkeys(std::string_view path) const;
    std::vector<std::string> ValueNames(std::string_view path) const;
    bool AddKey(std::string_view path);
    bool SetValue(std::string_view path, std::string_view name, DWORD type, const void* data, size_t size);
    bool SetStringValue(std::string_view path, std::string_view name, std::string_view text);
    bool GetValue(std::string_view path, std::string_view name, DWORD* type, std::vector<BYTE>* data) const;
    size_t OpenKeyHandles() const;
    static std::string SettingsKeyPath();  // base\driver\CurrentJoystickSettings

    // Used by the simulated DirectInput objects.
    struct Impl;
    Impl& impl() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};

// The process's simulated machine, built with the default controllers on first use and kept for the
// whole run; DefaultJoystickServices() returns it.
CSimPlatform& DefaultSimPlatform();
