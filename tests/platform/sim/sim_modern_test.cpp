// The Windows 10/11 machine (USB controllers, settings per user, a standard user's rights) and the
// Windows rules both machines keep: DirectInput's argument checks and the registry's enumeration order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"

namespace {

const HWND kOwner = reinterpret_cast<HWND>(0x1234);
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);
const std::string kBase = CSimPlatform::kJoystickBase;
const std::string kSettings = kBase + "\\DINPUT.DLL\\CurrentJoystickSettings";

JOYINFOEX Read(CSimPlatform& sim, UINT id, DWORD flags, MMRESULT* result) {
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    info.dwFlags = flags;
    *result = sim.joyGetPosEx(id, &info);
    return info;
}

std::string StringValue(CSimPlatform& sim, HKEY hive, const std::string& path, const char* name) {
    std::vector<BYTE> data;
    DWORD type = 0;
    if (!sim.GetValue(hive, path, name, &type, &data) || type != REG_SZ) return "<none>";
    return std::string(reinterpret_cast<const char*>(data.data()));
}

// Runs `body` with the configuration interface as the machine offers it: DirectInput 5's on the gameport
// machine; on the modern one, which refuses it as Wine does, DirectInput 8's, which no older object gives.
// `*directInput` is a fresh DirectInput 5 object, released by the caller.
template <typename Body>
void WithJoyConfig(CSimPlatform& sim, IDirectInputA** directInput, Body body) {
    ASSERT_EQ(sim.DirectInputCreateA(kInstance, 0x0500, directInput, nullptr), DI_OK);
    IDirectInputJoyConfig* config = nullptr;
    const HRESULT dx5 = (*directInput)->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void**>(&config));
    if (sim.Machine().windows == SimWindows::Legacy) {
        ASSERT_EQ(dx5, S_OK);
        body(config);
        config->Release();
        return;
    }
    EXPECT_EQ(dx5, E_NOINTERFACE);
    IDirectInputJoyConfig8* config8 = nullptr;
    EXPECT_EQ((*directInput)->QueryInterface(IID_IDirectInputJoyConfig8, reinterpret_cast<void**>(&config8)),
              E_NOINTERFACE);
    IUnknown* directInput8 = nullptr;
    ASSERT_EQ(sim.DirectInput8Create(kInstance, 0x0800, IID_IDirectInput8A, reinterpret_cast<void**>(&directInput8),
                                     nullptr),
              DI_OK);
    ASSERT_EQ(directInput8->QueryInterface(IID_IDirectInputJoyConfig8, reinterpret_cast<void**>(&config8)), S_OK);
    directInput8->Release();
    body(config8);
    config8->Release();
}

TEST(SimModernMachine, NamesLiveUnderTheCurrentUserAndPointIntoTheOemBranch) {
    CSimPlatform sim(SimMachine::Modern());
    JOYCAPSA caps{};
    ASSERT_EQ(sim.joyGetDevCapsA(0, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_STREQ(caps.szRegKey, "DINPUT.DLL");

    EXPECT_FALSE(sim.KeyExists(HKEY_LOCAL_MACHINE, kSettings)) << "no settings under HKEY_LOCAL_MACHINE";
    EXPECT_EQ(sim.SettingsHive(), HKEY_CURRENT_USER);
    EXPECT_EQ(sim.CurrentSettingsKey(), kSettings);
    const std::string oemKey = StringValue(sim, HKEY_CURRENT_USER, kSettings, "Joystick1OEMName");
    EXPECT_EQ(oemKey, "VID_1209&PID_5701");
    EXPECT_EQ(StringValue(sim, HKEY_LOCAL_MACHINE, std::string(CSimPlatform::kOemBranch) + "\\" + oemKey, "OEMName"),
              "Virtual HOTAS Stick (USB)");

    // Number 2 is configured but unplugged; 3 is nothing at all.
    MMRESULT result = 0;
    EXPECT_EQ(sim.joyGetDevCapsA(2, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    Read(sim, 2, JOY_RETURNALL, &result);
    EXPECT_EQ(result, static_cast<MMRESULT>(JOYERR_UNPLUGGED));
    Read(sim, 3, JOY_RETURNALL, &result);
    EXPECT_EQ(result, static_cast<MMRESULT>(JOYERR_PARMS));
}

TEST(SimModernMachine, RawValuesAndStoredCalibrationAreInDeviceUnits) {
    CSimPlatform sim(SimMachine::Modern());
    const DIJOYCONFIG stick = sim.StoredConfig(0);
    EXPECT_EQ(stick.hwc.hwv.dwCalFlags, static_cast<DWORD>(JOY_ISCAL_XY | JOY_ISCAL_Z));
    EXPECT_EQ(stick.hwc.hwv.jrvHardware.jpMin.dwX, 0u);
    EXPECT_EQ(stick.hwc.hwv.jrvHardware.jpCenter.dwX, 32767u);
    EXPECT_EQ(stick.hwc.hwv.jrvHardware.jpMax.dwZ, 65535u);

    MMRESULT result = 0;
    sim.HoldAxis(0, 0, 65535);
    EXPECT_EQ(Read(sim, 0, JOY_RETURNALL | JOY_RETURNRAWDATA, &result).dwXpos, 65535u);
    EXPECT_EQ(Read(sim, 0, JOY_RETURNALL, &result).dwXpos, 65535u);

    // The 10-bit pad is uncalibrated: read over its logical range 0..1023.
    EXPECT_EQ(sim.StoredConfig(1).hwc.hwv.dwCalFlags, 0u);
    for (const LONG raw : {0, 1023}) {
        SCOPED_TRACE(raw);
        sim.HoldAxis(1, 2, raw);
        EXPECT_EQ(Read(sim, 1, JOY_RETURNALL | JOY_RETURNRAWDATA, &result).dwZpos, static_cast<DWORD>(raw));
        EXPECT_EQ(Read(sim, 1, JOY_RETURNALL, &result).dwZpos, raw == 0 ? 0u : 65535u);
    }
}

TEST(SimModernMachine, AStandardUserReadsButCannotDeleteUnderTheLocalMachine) {
    const std::string leftover = kBase + "\\DINPUT.DLL\\JoystickSettings";
    for (const bool elevated : {false, true}) {
        SCOPED_TRACE(elevated ? "elevated" : "standard user");
        CSimPlatform sim(SimMachine::Modern(elevated));
        HKEY key = nullptr;
        ASSERT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, leftover.c_str(), &key), ERROR_SUCCESS);
        sim.RegCloseKey(key);
        EXPECT_EQ(sim.RegDeleteKeyA(HKEY_LOCAL_MACHINE, leftover.c_str()), elevated ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
        EXPECT_EQ(sim.KeyExists(HKEY_LOCAL_MACHINE, leftover), !elevated);
        EXPECT_EQ(sim.RegDeleteKeyA(HKEY_CURRENT_USER, leftover.c_str()), ERROR_SUCCESS) << "the user's own hive";
    }
}

TEST(SimModernMachine, PlugAndPlayControllersSurviveTheirSettingsKeyAndGetANewIdentityWithoutTheirKey) {
    CSimPlatform sim(SimMachine::Modern());
    ASSERT_EQ(sim.RegDeleteKeyA(HKEY_CURRENT_USER, kSettings.c_str()), ERROR_SUCCESS);
    EXPECT_TRUE(sim.IsInstalled(0));
    EXPECT_EQ(StringValue(sim, HKEY_CURRENT_USER, kSettings, "Joystick1OEMName"), "<none>");
    EXPECT_EQ(sim.joyConfigChanged(0), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(StringValue(sim, HKEY_CURRENT_USER, kSettings, "Joystick1OEMName"), "VID_1209&PID_5701")
        << "WinMM writes the settings again once told of the change";

    // The pad's identity key, deleted as a tree (its Type\Axes keys first): a new instance GUID at the
    // next enumeration, written back under the same key.
    const GUID before = sim.StoredConfig(1).guidInstance;
    const std::string identity = sim.IdentityKey(1);
    EXPECT_EQ(identity, CSimPlatform::DeviceCalibrationKey("VID_1209&PID_5702") + "\\0");
    sim.SetAxisCalibrationValue(1, 0, 0, 511, 1023);
    for (const std::string& key : {sim.AxisCalibrationKey(1, 0), identity + "\\Type\\Axes", identity + "\\Type", identity})
        ASSERT_EQ(sim.RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS) << key;
    IDirectInputA* directInput = nullptr;
    ASSERT_EQ(sim.DirectInputCreateA(kInstance, 0x0500, &directInput, nullptr), DI_OK);
    std::vector<GUID> enumerated;
    directInput->EnumDevices(DIDEVTYPE_JOYSTICK, [](LPCDIDEVICEINSTANCEA instance, LPVOID found) {
        static_cast<std::vector<GUID>*>(found)->push_back(instance->guidInstance);
        return TRUE;
    }, &enumerated, 0);
    directInput->Release();
    const GUID after = sim.StoredConfig(1).guidInstance;
    EXPECT_FALSE(IsEqualGUID(before, after));
    EXPECT_TRUE(std::any_of(enumerated.begin(), enumerated.end(), [&](const GUID& g) { return IsEqualGUID(g, after); }));
    std::vector<BYTE> stored;
    ASSERT_TRUE(sim.GetValue(HKEY_CURRENT_USER, identity, "GUID", nullptr, &stored));
    EXPECT_EQ(std::memcmp(stored.data(), &after, sizeof(GUID)), 0);
    EXPECT_TRUE(IsEqualGUID(sim.StoredConfig(0).guidInstance, CSimPlatform(SimMachine::Modern()).StoredConfig(0).guidInstance))
        << "the others keep theirs";
}

TEST(SimModernMachine, ConfigurationWritesNeedElevationOnlyWhereTheMachineSaysSo) {
    for (const bool needs : {false, true}) {
        for (const bool elevated : {false, true}) {
            SCOPED_TRACE(std::string(needs ? "needs elevation, " : "per user, ") + (elevated ? "elevated" : "standard"));
            SimMachine machine = SimMachine::Modern(elevated);
            machine.joyConfigNeedsElevation = needs;
            CSimPlatform sim(machine);
            IDirectInputA* directInput = nullptr;
            WithJoyConfig(sim, &directInput, [&](auto* config) {
                ASSERT_EQ(config->SetCooperativeLevel(kOwner, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
                EXPECT_EQ(config->Acquire(), needs && !elevated ? DIERR_INSUFFICIENTPRIVS : DI_OK);
            });
            directInput->Release();
        }
    }
}

TEST(SimWindowsRules, DirectInputChecksItsInstanceVersionWindowAndFlagsAsWindowsDoes) {
    for (const SimMachine& machine : {SimMachine::Legacy(), SimMachine::Modern()}) {
        SCOPED_TRACE(machine.windows == SimWindows::Modern ? "modern" : "legacy");
        CSimPlatform sim(machine);
        IDirectInputA* created = reinterpret_cast<IDirectInputA*>(0x1);
        EXPECT_EQ(sim.DirectInputCreateA(nullptr, 0x0500, &created, nullptr), DIERR_INVALIDPARAM);
        EXPECT_EQ(created, nullptr);
        EXPECT_EQ(sim.DirectInputCreateA(kInstance, 0, &created, nullptr), DIERR_NOTINITIALIZED);
        EXPECT_EQ(sim.DirectInputCreateA(kInstance, 0x0401, &created, nullptr), DIERR_BETADIRECTINPUTVERSION);
        EXPECT_EQ(sim.DirectInputCreateA(kInstance, 0x0800, &created, nullptr), DIERR_OLDDIRECTINPUTVERSION);
        // DirectInput 5's runtime on the gameport machine knows no later version.
        const bool modern = machine.windows == SimWindows::Modern;
        ASSERT_EQ(sim.DirectInputCreateA(kInstance, 0x0700, &created, nullptr), modern ? DI_OK : DIERR_OLDDIRECTINPUTVERSION);
        if (modern) created->Release();

        sim.SetWindowCheck([](HWND hwnd) { return hwnd == kOwner; });
        IDirectInputA* directInput = nullptr;
        DIJOYCONFIG record = sim.StoredConfig(0);
        WithJoyConfig(sim, &directInput, [&](auto* config) {
            EXPECT_EQ(config->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_INVALIDPARAM);
            ASSERT_EQ(config->SetCooperativeLevel(kOwner, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
            ASSERT_EQ(config->Acquire(), DI_OK);
            EXPECT_EQ(config->SetConfig(0, AsJoyConfigParam(&record), DIJC_REGHWCONFIGTYPE | 0x100), DIERR_INVALIDPARAM);
            config->Unacquire();
        });

        IDirectInputDeviceA* device = nullptr;
        ASSERT_EQ(directInput->CreateDevice(record.guidInstance, &device, nullptr), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_BACKGROUND | DISCL_EXCLUSIVE), E_HANDLE);
        EXPECT_EQ(device->SetCooperativeLevel(reinterpret_cast<HWND>(0x999), DISCL_BACKGROUND | DISCL_NONEXCLUSIVE),
                  E_HANDLE);
        EXPECT_EQ(device->SetCooperativeLevel(kOwner, DISCL_BACKGROUND | DISCL_EXCLUSIVE), DI_OK);
        device->Release();
        directInput->Release();
        EXPECT_EQ(sim.LiveInterfaces(), 0);
    }
}

TEST(SimWindowsRules, SubkeysComeInUpperCaseOrderAndRebuildingKeepsRegisteredMessages) {
    CSimPlatform sim(SimMachine::Legacy());
    for (const char* name : {"zeta", "_under", "Alpha"}) sim.AddKey(kBase + "\\order\\" + name);
    EXPECT_EQ(sim.Subkeys(kBase + "\\order"), (std::vector<std::string>{"Alpha", "zeta", "_under"}))
        << "'_' sorts after the letters when names are compared in upper case";

    const UINT message = sim.ConfigChangedMessage();
    sim.Rebuild(SimMachine::Modern());
    EXPECT_EQ(sim.Machine().windows, SimWindows::Modern);
    EXPECT_EQ(sim.ConfigChangedMessage(), message);
    EXPECT_FALSE(sim.KeyExists(kBase + "\\order"));
}

}  // namespace
