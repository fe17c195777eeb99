// Reading a device name from the registry never runs past the 260-byte buffer, whatever the value holds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "joystick/joystick_services.h"
#include "platform/sim/sim_platform.h"

namespace {

constexpr DWORD kNameSize = 260;
const std::string kSettings = CSimPlatform::SettingsKeyPath();

class RegistryString : public ::testing::Test {
protected:
    // Reads value `name` of the settings key into a 260-byte buffer followed by a guard.
    LONG ReadName(const char* name) {
        std::memset(storage, '#', sizeof(storage));
        HKEY key = nullptr;
        EXPECT_EQ(sim.RegOpenKeyA(HKEY_LOCAL_MACHINE, kSettings.c_str(), &key), ERROR_SUCCESS);
        const LONG result = QueryRegistryString(sim, key, name, storage, kNameSize);
        sim.RegCloseKey(key);
        EXPECT_EQ(std::string(storage + kNameSize, sizeof(storage) - kNameSize), std::string(16, '#'))
            << "nothing written past the buffer";
        EXPECT_NE(std::memchr(storage, '\0', kNameSize), nullptr) << "the buffer holds a terminated string";
        return result;
    }

    std::string Text() const { return std::string(storage); }

    CSimPlatform sim;
    char storage[kNameSize + 16];
};

TEST_F(RegistryString, AStringThatFillsTheBufferWithoutTerminatorIsCutToFit) {
    const std::string full(kNameSize, 'A');
    ASSERT_TRUE(sim.SetValue(kSettings, "Joystick1OEMName", REG_SZ, full.data(), full.size()));
    EXPECT_EQ(ReadName("Joystick1OEMName"), ERROR_MORE_DATA);
    EXPECT_EQ(Text(), std::string(kNameSize - 1, 'A'));

    const std::string shorter(10, 'B');  // stored without its terminator, with room to spare
    ASSERT_TRUE(sim.SetValue(kSettings, "Joystick1OEMName", REG_SZ, shorter.data(), shorter.size()));
    EXPECT_EQ(ReadName("Joystick1OEMName"), ERROR_SUCCESS);
    EXPECT_EQ(Text(), shorter);
}

TEST_F(RegistryString, WellFormedNamesReadWholeUpToTheirFirstNul) {
    EXPECT_EQ(ReadName("Joystick2OEMName"), ERROR_SUCCESS);
    EXPECT_EQ(Text(), "Virtual GamePad");

    const std::string exact(kNameSize - 1, 'C');
    ASSERT_TRUE(sim.SetStringValue(kSettings, "Joystick2OEMName", exact));
    EXPECT_EQ(ReadName("Joystick2OEMName"), ERROR_SUCCESS);
    EXPECT_EQ(Text(), exact);

    const char embedded[] = "Pad\0hidden";
    ASSERT_TRUE(sim.SetValue(kSettings, "Joystick2OEMName", REG_SZ, embedded, sizeof(embedded)));
    EXPECT_EQ(ReadName("Joystick2OEMName"), ERROR_SUCCESS);
    EXPECT_EQ(Text(), "Pad");
}

TEST_F(RegistryString, MissingTooLongAndNonStringValuesReadAsAnEmptyName) {
    EXPECT_EQ(ReadName("Joystick3OEMName"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Text(), "");

    ASSERT_TRUE(sim.SetStringValue(kSettings, "Joystick1OEMName", std::string(400, 'D')));
    EXPECT_EQ(ReadName("Joystick1OEMName"), ERROR_MORE_DATA);
    EXPECT_EQ(Text(), "");

    const DWORD number = 0x41424344;
    ASSERT_TRUE(sim.SetValue(kSettings, "Joystick1OEMName", REG_DWORD, &number, sizeof(number)));
    EXPECT_EQ(ReadName("Joystick1OEMName"), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(Text(), "");

    const std::string binary(kNameSize, 'E');
    ASSERT_TRUE(sim.SetValue(kSettings, "Joystick1OEMName", REG_BINARY, binary.data(), binary.size()));
    EXPECT_EQ(ReadName("Joystick1OEMName"), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(Text(), "");
}

}  // namespace
