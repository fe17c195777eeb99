// The simulated platform: a small Windows machine in memory that stands in for WinMM, the joystick branch
// of the registry and DirectInput 5 with its joystick configuration store. Virtual controllers move on
// their own; calibrated reads apply the stored calibration and dead zones, raw reads do not. Nothing is
// written to disk: the machine lives as long as the object.
//
// Two machines can be built (SimMachine): "legacy", a Windows 9x/NT machine with gameport controllers,
// described below, and "modern", a Windows 10/11 machine with USB (HID) controllers:
// - WinMM reads joysticks through DirectInput and reports the driver key "DINPUT.DLL"; the
//   CurrentJoystickSettings key lies under HKEY_CURRENT_USER only, and its JoystickNOEMName values name a
//   key of the OEM branch (MediaProperties\PrivateProperties\Joystick\OEM\VID_xxxx&PID_xxxx, under
//   HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER) whose OEMName value is the display name.
// - Raw values are the HID logical units (0..65535 for a 16-bit axis, 0..1023 for a 10-bit one) and the
//   stored calibration is in the same units; an axis not marked calibrated is read over its logical range.
//   DirectInput keeps each device's calibration per user, in the key DeviceCalibrationKey names under
//   HKEY_CURRENT_USER (...\PrivateProperties\DirectInput\VID_xxxx&PID_xxxx\Calibration); deleting it
//   resets the device's calibration.
// - The program runs as a standard user unless the machine is elevated: HKEY_LOCAL_MACHINE opens and reads
//   but refuses deletion, and, where the machine says so, the configuration interface refuses Acquire with
//   DIERR_INSUFFICIENTPRIVS. Plug-and-play controllers stay installed when the settings key is deleted;
//   WinMM writes it again when told the configuration changed.
// - DirectInput: DirectInput 5's configuration interface is refused, as Wine refuses it (whether Windows
//   10/11 still answers it is not known); DirectInput 8's is reachable only from a DirectInput8Create
//   object; and a device of an object older than 0x0700 reads calibrated values in raw mode.
// - The controllers are HID devices: each sends an input report every SimController::reportMs, and a
//   device object learns the controller's state only from the reports that arrive after its Acquire.
//   Until the first one it reads the middle of its range; Poll reads nothing (DI_NOEFFECT).
//
// The legacy model in brief:
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
    DirectInput8Create,
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

// One virtual controller configured under a joystick number.
struct SimController {
    UINT number = 0;          // 0..15
    std::string oemName;      // legacy: stored as "Joystick<number+1>OEMName"; modern: the OEM key's OEMName
    int axes = 2;             // present axes, in the order X, Y, Z, R, U, V
    DWORD buttons = 2;
    DWORD hwType = JOY_HW_2A_2B_GENERIC;
    DWORD calFlags = 0;       // JOY_ISCAL_* bits stored at start; calibrated axes store the travel range
    LONG logicalMax = 0;      // a HID axis's logical range 0..logicalMax; 0: a gameport axis (about 0..655)
    std::string hardwareId{}; // modern: "VID_xxxx&PID_xxxx", the OEM key the settings name
    bool plugged = true;      // false: configured, but not attached
    uint32_t reportMs = 8;    // modern: a HID device sends an input report this often (a USB interrupt interval)
};

enum class SimWindows { Legacy, Modern };

// The machine a simulated platform stands for.
struct SimMachine {
    SimWindows windows = SimWindows::Legacy;
    bool elevated = false;                 // modern: the program runs with administrator rights
    bool joyConfigNeedsElevation = false;  // modern: IDirectInputJoyConfig::Acquire needs administrator rights
    std::vector<SimController> controllers;

    // Gameport controllers 0 (6-axis flight stick), 1 (2-axis gamepad) and 3 (4-axis yoke).
    static SimMachine Legacy();
    // A 16-bit HID flight stick as 0, a 10-bit gamepad as 1, a wheel configured as 2 but unplugged, and
    // an 8-bit pad as 4.
    static SimMachine Modern(bool elevated = false);
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
    static constexpr const char* kDriverKey = "msjstick.drv<0000>";          // legacy
    static constexpr const char* kModernDriverKey = "DINPUT.DLL";            // modern
    static constexpr const char* kOemBranch =
        "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM";
    static constexpr const char* kDirectInputBranch =
        "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\DirectInput";
    static constexpr const char* kConfigMessage = "MSJSTICK_VJOYD_MSGSTR";
    static constexpr int kAlways = -1;

    // Number 0: a 6-axis flight stick with throttle and rudder; 1: a 2-axis gamepad; 3: a 4-axis yoke.
    static std::vector<SimController> DefaultControllers();

    // A legacy machine with these controllers.
    explicit CSimPlatform(const std::vector<SimController>& controllers = DefaultControllers());
    explicit CSimPlatform(const SimMachine& machine);
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
    bool GetJoystickUnits(UINT uJoyID, JoystickUnits* units) override;
    HRESULT DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, void** ppvOut,
                               IUnknown* punkOuter) override;

    // Replaces the whole machine; registered messages and the broadcast stay, as they belong to the
    // window system rather than the machine. For a program choosing its machine after start-up.
    void Rebuild(const SimMachine& machine);
    const SimMachine& Machine() const;

    // Tells which handles are windows; the default takes every non-null handle for one.
    void SetWindowCheck(std::function<bool(HWND)> isWindow);

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

    // The registry, by path below a hive (HKEY_LOCAL_MACHINE where none is named).
    bool KeyExists(std::string_view path) const { return KeyExists(HKEY_LOCAL_MACHINE, path); }
    bool KeyExists(HKEY hive, std::string_view path) const;
    std::vector<std::string> Subkeys(std::string_view path) const { return Subkeys(HKEY_LOCAL_MACHINE, path); }
    std::vector<std::string> Subkeys(HKEY hive, std::string_view path) const;
    std::vector<std::string> ValueNames(std::string_view path) const { return ValueNames(HKEY_LOCAL_MACHINE, path); }
    std::vector<std::string> ValueNames(HKEY hive, std::string_view path) const;
    bool AddKey(std::string_view path) { return AddKey(HKEY_LOCAL_MACHINE, path); }
    bool AddKey(HKEY hive, std::string_view path);
    bool SetValue(std::string_view path, std::string_view name, DWORD type, const void* data, size_t size) {
        return SetValue(HKEY_LOCAL_MACHINE, path, name, type, data, size);
    }
    bool SetValue(HKEY hive, std::string_view path, std::string_view name, DWORD type, const void* data, size_t size);
    bool SetStringValue(std::string_view path, std::string_view name, std::string_view text) {
        return SetStringValue(HKEY_LOCAL_MACHINE, path, name, text);
    }
    bool SetStringValue(HKEY hive, std::string_view path, std::string_view name, std::string_view text);
    bool GetValue(std::string_view path, std::string_view name, DWORD* type, std::vector<BYTE>* data) const {
        return GetValue(HKEY_LOCAL_MACHINE, path, name, type, data);
    }
    bool GetValue(HKEY hive, std::string_view path, std::string_view name, DWORD* type, std::vector<BYTE>* data) const;
    size_t OpenKeyHandles() const;
    // The legacy machine's base\msjstick.drv<0000>\CurrentJoystickSettings, below HKEY_LOCAL_MACHINE.
    static std::string SettingsKeyPath();
    // This machine's CurrentJoystickSettings key and the hive it lies in.
    std::string CurrentSettingsKey() const;
    HKEY SettingsHive() const;
    // Modern: where DirectInput keeps the per-user calibration of a device ("VID_xxxx&PID_xxxx").
    static std::string DeviceCalibrationKey(std::string_view hardwareId);

    // Used by the simulated DirectInput objects.
    struct Impl;
    Impl& impl() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};

// The process's simulated machine, a modern one built on first use (Rebuild chooses another) and kept for the
// whole run; DefaultJoystickServices() returns it.
CSimPlatform& DefaultSimPlatform();
