// The simulated registry through the platform services: the joystick branch it starts with and the
// Windows NT behaviour the tool's registry code relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"

namespace {

const std::string kBase = CSimPlatform::kJoystickBase;

class SimRegistry : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(sim.OpenKeyHandles(), 0u) << "every key opened was closed"; }

    HKEY Open(const std::string& path) {
        HKEY key = nullptr;
        EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key), ERROR_SUCCESS) << path;
        return key;
    }

    std::vector<std::string> Enumerate(HKEY key, LONG* last) {
        std::vector<std::string> names;
        char name[260];
        for (DWORD index = 0;; ++index) {
            *last = sim.RegEnumKeyA(key, index, name, sizeof(name));
            if (*last != ERROR_SUCCESS) {
                return names;
            }
            names.emplace_back(name);
        }
    }

    CSimPlatform sim;
};

TEST_F(SimRegistry, TheJoystickBranchHoldsTheDriverKeyAndOlderCalibrationKeys) {
    HKEY base = Open(kBase);
    LONG last = 0;
    const std::vector<std::string> drivers = Enumerate(base, &last);
    EXPECT_EQ(last, ERROR_NO_MORE_ITEMS) << "enumeration ends with ERROR_NO_MORE_ITEMS";
    EXPECT_EQ(drivers, (std::vector<std::string>{"ibmjoy.drv<0002>", "joyhid.vxd<0003>", "msjstick.drv<0000>",
                                                 "vjoyd.vxd<0001>"}));
    EXPECT_EQ(sim.RegCloseKey(base), ERROR_SUCCESS);

    int calibrationKeys = 0;
    for (const std::string& driver : drivers) {
        calibrationKeys += sim.KeyExists(kBase + "\\" + driver + "\\JoystickSettings") ? 1 : 0;
    }
    EXPECT_EQ(calibrationKeys, 3) << "the current driver's and two older drivers'";

    // Every installed number names the same driver key, whose settings hold one OEM name per number.
    for (UINT number : {0u, 1u, 3u}) {
        JOYCAPSA caps{};
        ASSERT_EQ(sim.joyGetDevCapsA(number, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR)) << number;
        EXPECT_STREQ(caps.szRegKey, CSimPlatform::kDriverKey);
    }
    const std::vector<std::string> values = sim.ValueNames(CSimPlatform::SettingsKeyPath());
    for (const char* name : {"Joystick1OEMName", "Joystick2OEMName", "Joystick4OEMName"}) {
        EXPECT_NE(std::find(values.begin(), values.end(), name), values.end()) << name;
    }
    EXPECT_EQ(std::find(values.begin(), values.end(), "Joystick3OEMName"), values.end());
}

TEST_F(SimRegistry, NamesCompareCaseInsensitivelyAndPathsSplitAsOnWindows) {
    HKEY key = Open("SYSTEM\\currentcontrolset\\CONTROL\\MediaResources\\JOYSTICK\\MSJSTICK.DRV<0000>");
    ASSERT_NE(key, nullptr);
    char name[260] = "Joystick1OEMNAME";
    HKEY settings = nullptr;
    ASSERT_EQ(sim.RegOpenKeyA(key, "currentjoysticksettings", &settings), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = sizeof(name);
    EXPECT_EQ(sim.RegQueryValueExA(settings, "JOYSTICK1oemname", nullptr, &type, reinterpret_cast<BYTE*>(name), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(name, "Virtual FlightStick Pro (throttle, rudder)");
    EXPECT_EQ(size, std::strlen(name) + 1);
    sim.RegCloseKey(settings);
    sim.RegCloseKey(key);

    // As Wine's advapi32 tests find on Windows: separators after a name are skipped, trailing ones
    // included, while a path that starts with one is a bad path name.
    for (const std::string& path : {kBase + "\\", kBase + "\\\\",
                                    std::string("SYSTEM\\\\CurrentControlSet\\Control\\MediaResources\\Joystick")}) {
        HKEY key = nullptr;
        EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key), ERROR_SUCCESS) << path;
        sim.RegCloseKey(key);
    }
    HKEY bad = reinterpret_cast<HKEY>(0x1);
    EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, ("\\" + kBase).c_str(), &bad), ERROR_BAD_PATHNAME);
    EXPECT_EQ(bad, nullptr);
    // So an empty szRegKey still opens no settings: base\\CurrentJoystickSettings does not exist.
    EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, (kBase + "\\\\CurrentJoystickSettings").c_str(), &bad),
              ERROR_FILE_NOT_FOUND);
    HKEY missing = nullptr;
    EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, (kBase + "\\nosuch.drv").c_str(), &missing), ERROR_FILE_NOT_FOUND);
}

TEST_F(SimRegistry, KeysWithSubkeysCannotBeDeletedAndDeletedKeysAreGoneForOpenHandles) {
    EXPECT_EQ(sim.RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kBase + "\\msjstick.drv<0000>").c_str()), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(sim.KeyExists(kBase + "\\msjstick.drv<0000>"));

    const std::string calibration = kBase + "\\vjoyd.vxd<0001>\\JoystickSettings";
    HKEY held = Open(calibration);
    EXPECT_EQ(sim.RegDeleteKeyA(HKEY_LOCAL_MACHINE, calibration.c_str()), ERROR_SUCCESS) << "values do not prevent it";
    EXPECT_FALSE(sim.KeyExists(calibration));
    EXPECT_EQ(sim.RegDeleteKeyA(HKEY_LOCAL_MACHINE, calibration.c_str()), ERROR_FILE_NOT_FOUND);
    DWORD size = 0;
    EXPECT_EQ(sim.RegQueryValueExA(held, "Joystick1Calibration", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(sim.RegCloseKey(held), ERROR_SUCCESS);
    EXPECT_EQ(sim.RegCloseKey(held), ERROR_INVALID_HANDLE) << "a handle closes once";

    // Deleting a listed key's child does not shift the listing of the base.
    HKEY base = Open(kBase);
    LONG last = 0;
    EXPECT_EQ(Enumerate(base, &last).size(), 4u);
    sim.RegCloseKey(base);
}

TEST_F(SimRegistry, BuffersAreNeverOverrunAndTooSmallOnesReportMoreData) {
    const std::string settings = CSimPlatform::SettingsKeyPath();
    HKEY key = Open(settings);
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    DWORD size = sizeof(buffer);
    EXPECT_EQ(sim.RegQueryValueExA(key, "Joystick1OEMName", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, std::strlen("Virtual FlightStick Pro (throttle, rudder)") + 1) << "the size needed";
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(8, 'x')) << "the buffer is left alone";
    EXPECT_EQ(sim.RegQueryValueExA(key, "NoSuchValue", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_FILE_NOT_FOUND);
    sim.RegCloseKey(key);

    HKEY base = Open(kBase);
    char name[6];
    EXPECT_EQ(sim.RegEnumKeyA(base, 0, name, sizeof(name)), ERROR_MORE_DATA) << "ibmjoy.drv<0002> needs 17 bytes";
    EXPECT_EQ(sim.RegEnumKeyA(base, 99, name, sizeof(name)), ERROR_NO_MORE_ITEMS);
    sim.RegCloseKey(base);

    EXPECT_FALSE(sim.AddKey(kBase + "\\" + std::string(256, 'k'))) << "key names are limited to 255 characters";
    EXPECT_TRUE(sim.AddKey(kBase + "\\" + std::string(255, 'k')));
}

TEST_F(SimRegistry, DeletingTheCurrentSettingsUninstallsTheControllersItDescribed) {
    int broadcasts = 0;
    sim.SetBroadcast([&](UINT, WPARAM, LPARAM) { ++broadcasts; });
    const std::string settings = CSimPlatform::SettingsKeyPath();
    ASSERT_EQ(sim.RegDeleteKeyA(HKEY_LOCAL_MACHINE, settings.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(sim.joyConfigChanged(0), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(broadcasts, 1);

    for (UINT number = 0; number < 16; ++number) {
        JOYCAPSA caps{};
        EXPECT_EQ(sim.joyGetDevCapsA(number, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_PARMS)) << number;
        EXPECT_STREQ(caps.szRegKey, "") << "the record stays cleared";
        JOYINFOEX info{};
        info.dwSize = sizeof(info);
        info.dwFlags = JOY_RETURNALL;
        EXPECT_EQ(sim.joyGetPosEx(number, &info), static_cast<MMRESULT>(JOYERR_PARMS)) << number;
        EXPECT_FALSE(sim.IsInstalled(number));
    }
    EXPECT_TRUE(sim.IsPlugged(0)) << "the hardware is still there, only its configuration is gone";
    EXPECT_TRUE(IsEqualGUID(sim.StoredConfig(0).guidInstance, GUID_NULL));
}

}  // namespace
