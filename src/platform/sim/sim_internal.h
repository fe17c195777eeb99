// Inside the simulated platform: the machine's state shared by CSimPlatform and its DirectInput objects.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_platform.h"

struct CSimPlatform::Impl {
    // One number's entry in DirectInput's joystick configuration store.
    struct Stored {
        bool configured = false;
        GUID guidInstance{};
        JOYREGHWCONFIG hwc{};
        DWORD gain = 0;
        WCHAR type[MAX_JOYSTRING]{};
        WCHAR callout[MAX_JOYSTRING]{};
    };
    // The virtual controller plugged in under a number: its axes' travel and motion.
    struct Device {
        bool plugged = false;
        int axes = 0;
        DWORD buttons = 0;
        std::string name;
        std::array<LONG, kAxes> travelMin{};
        std::array<LONG, kAxes> travelCenter{};
        std::array<LONG, kAxes> travelMax{};
        // The range an axis not marked calibrated is read over: 0/328/655 on a gameport, the logical
        // range on a HID device.
        LONG nominalMin = kNominalMin;
        LONG nominalCenter = kNominalCenter;
        LONG nominalMax = kNominalMax;
        std::string hardwareId;
        uint32_t reportMs = 0;  // a HID device's input reports; 0: a gameport device, read when polled
        std::array<uint32_t, kAxes> periodMs{};
        std::array<uint32_t, kAxes> phaseMs{};
        std::array<bool, kAxes> held{};
        std::array<LONG, kAxes> heldRaw{};
    };
    struct Rule {
        int32_t result = 0;
        int remaining = 0;  // kAlways: without end
        int skip = 0;
    };

    explicit Impl(const SimMachine& machine);

    // Counts the call and tells whether an injected failure applies; *result then holds its code.
    bool Inject(SimCall call, int32_t* result);

    bool Installed(UINT number) const { return number < kJoysticks && store[number].configured; }
    bool Attached(UINT number) const { return Installed(number) && devices[number].plugged; }
    bool Modern() const { return machine.windows == SimWindows::Modern; }
    bool IsWindow(HWND hwnd) const { return hwnd != nullptr && (!isWindow || isWindow(hwnd)); }
    int FindByInstance(REFGUID guid) const;  // the attached number with that instance, else -1
    LONG Raw(UINT number, int axis) const { return RawAt(number, axis, clock()); }
    LONG RawAt(UINT number, int axis, uint64_t ms) const;
    // Maps a raw position onto lo..hi through the stored calibration (the nominal range for an axis not
    // marked calibrated) and applies the axis dead zone.
    LONG Cook(UINT number, int axis, LONG raw, LONG lo, LONG hi, bool deadZone = true) const;
    DIJOYCONFIG ConfigRecord(UINT number) const;
    void Store(UINT number, const DIJOYCONFIG& config, DWORD flags);
    void Uninstall(UINT number);
    void EnsureSettingsKey();
    void WriteSettings(UINT number);  // the number's OEM name value and configuration in the settings key
    void MirrorConfiguration(UINT number);
    void MirrorCalibration(UINT number);  // modern: the device's per-user calibration key
    // Called after a key was deleted: what the system makes of it.
    void KeyDeleted(const std::shared_ptr<CSimRegistry::Key>& key);
    std::string SettingsKey() const;
    // Registered window messages are numbered from 0xC000 in order of first registration.
    static constexpr UINT kFirstMessage = 0xC000;
    UINT RegisterMessage(std::string_view name);
    void AnnounceChange();
    static GUID InstanceGuid(UINT number);

    SimMachine machine;
    HKEY settingsHive = HKEY_LOCAL_MACHINE;
    std::string driverKey;
    std::function<bool(HWND)> isWindow;
    CSimRegistry registry;
    std::shared_ptr<CSimRegistry::Key> settingsKey;
    std::array<Stored, kJoysticks> store{};
    DIJOYUSERVALUES userValues{};
    std::array<Device, kJoysticks> devices{};
    std::function<uint64_t()> clock;
    std::function<void(UINT, WPARAM, LPARAM)> broadcast;
    std::vector<std::string> messages;
    std::array<Rule, static_cast<size_t>(SimCall::Count)> rules{};
    std::array<int, static_cast<size_t>(SimCall::Count)> calls{};
    std::array<int, 3> live{};
    std::array<int, kJoysticks> exclusiveAcquired{};
    const void* configOwner = nullptr;  // the configuration interface holding exclusive write access
    int configWrites = 0;
    int notifications = 0;
};

// Creates the simulated DirectInput object of `version` (reference count 1).
IDirectInputA* NewSimDirectInput(CSimPlatform::Impl& sim, DWORD version);
