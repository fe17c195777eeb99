// "Clear all calib. data", path by path: what is asked, what is said, and what the registry and the
// configuration store hold afterwards.
#include <cstdio>
#include <string>

#include "../support/session.h"

namespace {

using headless::Window;

const std::string kBase = CSimPlatform::kJoystickBase;
const std::string kCurrent = CSimPlatform::SettingsKeyPath();
// The registry lists subkeys in name order: ibmjoy.drv, joyhid.vxd (no calibration), msjstick.drv, vjoyd.vxd.
const std::string kOldCal2 = kBase + "\\ibmjoy.drv<0002>\\JoystickSettings";
const std::string kDriverCal = kBase + "\\msjstick.drv<0000>\\JoystickSettings";
const std::string kOldCal1 = kBase + "\\vjoyd.vxd<0001>\\JoystickSettings";

const char* const kRemoveQuestion =
    "You still have some game controllers installed...\nClearing calibration information requires to remove them "
    "completely.\n\nProceed with removal of all game controllers?";
const char* const kRemoved = "All game controllers have been deleted.\n";
const char* const kNothingFound = "No calibration information was found. Probably already deleted.";
const char* const kAllDeleted = "All calibration information has been deleted.";
const char* const kNoneDeleted = "The calibration information found could not be deleted.";
const char* const kSomeDeleted = "Some calibration information has been deleted, but not all of it could be.";

std::string Question(const std::string& path) {
    return "Found calibration information at\n>" + path + "<\n\nDo you want to delete the calibration stored?";
}

class Cleaner : public Session {
protected:
    using Session::Session;

    // Clicks the button with `answers` queued for the questions; returns the texts shown.
    std::vector<std::string> Clear(std::vector<int> answers) {
        std::vector<std::string> texts;
        Run([&](Window& w) {
            for (int a : answers) host.Answer(a);
            const size_t before = host.MessageBoxes().size();
            w.Click(IDC_CLEAR_CALIBRATION);
            for (size_t i = before; i < host.MessageBoxes().size(); ++i) texts.push_back(host.MessageBoxes()[i].text);
            EXPECT_EQ(host.UnansweredQuestions(), 0) << "a question came that the scenario did not expect";
        });
        return texts;
    }
};

TEST_F(Cleaner, NoAnswerToTheFirstQuestionTouchesNothing) {
    EXPECT_EQ(Clear({IDNO}), std::vector<std::string>{kRemoveQuestion});
    EXPECT_TRUE(sim.KeyExists(kCurrent));
    EXPECT_TRUE(sim.KeyExists(kDriverCal));
    EXPECT_TRUE(sim.IsInstalled(0));
}

TEST_F(Cleaner, RemovesControllersThenAsksKeyByKey) {
    const int notifications = sim.Notifications();
    const auto texts = Clear({IDYES, IDNO, IDYES, IDNO});
    const std::vector<std::string> expected = {kRemoveQuestion, kRemoved, Question(kOldCal2), Question(kDriverCal),
                                               "Calibration found and deleted.", Question(kOldCal1), kAllDeleted};
    EXPECT_EQ(texts, expected);
    EXPECT_FALSE(sim.KeyExists(kCurrent));
    EXPECT_FALSE(sim.IsInstalled(0)) << "the controllers described by the removed key are gone";
    EXPECT_FALSE(sim.KeyExists(kDriverCal));
    EXPECT_TRUE(sim.KeyExists(kOldCal1));
    EXPECT_TRUE(sim.KeyExists(kOldCal2));
    EXPECT_TRUE(sim.KeyExists(kBase + "\\joyhid.vxd<0003>")) << "a driver key without calibration stays";
    EXPECT_GT(sim.Notifications(), notifications) << "the configuration change is announced";
    EXPECT_EQ(sim.OpenKeyHandles(), 0u);
}

TEST_F(Cleaner, DecliningEveryKeyEndsWithNothingFound) {
    const auto texts = Clear({IDYES, IDNO, IDNO, IDNO});
    EXPECT_EQ(texts.back(), kNothingFound);
    EXPECT_EQ(texts.size(), 6u);
    EXPECT_TRUE(sim.KeyExists(kDriverCal) && sim.KeyExists(kOldCal1) && sim.KeyExists(kOldCal2));
}

TEST_F(Cleaner, RemovalWithNoCalibrationLeft) {
    for (const std::string& key : {kDriverCal, kOldCal1, kOldCal2})
        ASSERT_EQ(sim.RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()), ERROR_SUCCESS) << key;
    EXPECT_EQ(Clear({IDYES}), (std::vector<std::string>{kRemoveQuestion, kRemoved, kNothingFound}));
}

// A refusal for lack of rights has a message of its own (ModernCleaner below); any other failure
// keeps these.
TEST_F(Cleaner, AFailedRemovalIsReportedAndTheScanGoesOn) {
    sim.FailCall(SimCall::RegDeleteKey, ERROR_KEY_DELETED);
    const int notifications = sim.Notifications();
    const auto texts = Clear({IDYES, IDNO, IDNO, IDNO});
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[1], "An error occurred while deleting\n>" + kCurrent + "<");
    EXPECT_EQ(texts[2], Question(kOldCal2));
    EXPECT_TRUE(sim.KeyExists(kCurrent));
    EXPECT_EQ(sim.Notifications(), notifications) << "nothing was removed, so nothing is announced";
}

TEST_F(Cleaner, AFailedKeyDeletionIsReportedAndCountsAsNotDeleted) {
    sim.FailCall(SimCall::RegDeleteKey, ERROR_KEY_DELETED, 1, 2);  // the first calibration key, after both hives
    const auto texts = Clear({IDYES, IDYES, IDNO, IDNO});
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[3], "An error occured while trying to delete:\n>" + kOldCal2 + "<!");
    EXPECT_EQ(texts.back(), kNoneDeleted) << "a failed deletion is not \"nothing found\"";
    EXPECT_TRUE(sim.KeyExists(kOldCal2));
}

TEST_F(Cleaner, AListingFailureEndsTheScanThere) {
    sim.FailCall(SimCall::RegEnumKey, ERROR_ACCESS_DENIED, 1, 1);  // after the first driver key
    const auto texts = Clear({IDYES, IDYES});
    const std::vector<std::string> expected = {kRemoveQuestion, kRemoved, Question(kOldCal2),
                                               "Calibration found and deleted.", kAllDeleted};
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(sim.KeyExists(kDriverCal) && sim.KeyExists(kOldCal1));
}

TEST_F(Cleaner, TicksGoOnWhileAQuestionIsOpen) {
    sim.HoldAxis(0, 0, 100);
    Run([&](Window& w) {
        w.Tick();
        EXPECT_EQ(w.Text(IDC_JOY_RAW_X), "00100");
        host.SetMessageBoxHandler([&](const headless::MessageBoxRecord& box) {
            if (box.text == kRemoveQuestion) {
                sim.HoldAxis(0, 0, 200);
                w.Tick();
                EXPECT_EQ(w.Text(IDC_JOY_RAW_X), "00200") << "the monitor refreshes behind the question";
            }
            return box.text == kRemoveQuestion ? IDNO : IDOK;
        });
        const std::string grid = w.Text(IDC_CAL_MAX_X);
        w.Click(IDC_CLEAR_CALIBRATION);
        EXPECT_EQ(w.Text(IDC_CAL_MAX_X), grid) << "the command changes nothing of the dialog";
        EXPECT_EQ(Line(w).substr(0, 2), "0:");
    });
}

class CleanerWithoutControllers : public Cleaner {
protected:
    CleanerWithoutControllers() : Cleaner(std::vector<SimController>{}) {}
};

TEST_F(CleanerWithoutControllers, GoesStraightToTheScan) {
    Run([&](Window& w) {
        const int before = sim.CallCount(SimCall::JoyGetDevCaps);
        for (int i = 0; i < 3; ++i) host.Answer(IDNO);
        w.Click(IDC_CLEAR_CALIBRATION);
        EXPECT_EQ(sim.CallCount(SimCall::JoyGetDevCaps) - before, 16) << "every number is asked";
        EXPECT_EQ(host.MessageBoxes().front().text, Question(kOldCal2));
        EXPECT_EQ(host.MessageBoxes().back().text, kNothingFound);
    });
}

TEST_F(CleanerWithoutControllers, ABaseKeyThatWillNotOpenEndsWithItsMessage) {
    Run([&](Window& w) {
        sim.FailCall(SimCall::RegOpenKey, ERROR_ACCESS_DENIED);
        w.Click(IDC_CLEAR_CALIBRATION);
        ASSERT_EQ(host.MessageBoxes().size(), 1u) << "no closing message follows";
        EXPECT_EQ(host.MessageBoxes()[0].text, "An error occured while accessing\n>" + kBase + "<");
    });
}

class CleanerWithJoystickThree : public Cleaner {
protected:
    CleanerWithJoystickThree() : Cleaner({SimController{3, "Yoke", 4, 4, JOY_HW_2A_2B_GENERIC, 0}}) {}
};

TEST_F(CleanerWithJoystickThree, TheFirstAnsweringNumberIsUsedAndTheSearchStopsThere) {
    Run([&](Window& w) {
        const int before = sim.CallCount(SimCall::JoyGetDevCaps);
        host.Answer(IDNO);
        w.Click(IDC_CLEAR_CALIBRATION);
        EXPECT_EQ(sim.CallCount(SimCall::JoyGetDevCaps) - before, 4) << "numbers 0 to 3, none after";
        EXPECT_EQ(host.MessageBoxes().back().text, kRemoveQuestion);
    });
}

// Forwards to the simulated machine but names a driver key of its own for each joystick number, so
// that the record the command takes its key from can be told apart.
class DriverKeyPerNumber : public CJoystickServices {
public:
    explicit DriverKeyPerNumber(CSimPlatform& sim) : m_sim(sim) {}
    static std::string Key(UINT_PTR number) { return "drv<" + std::to_string(number) + ">"; }

    MMRESULT joyGetDevCapsA(UINT_PTR id, JOYCAPSA* caps, UINT size) override {
        const MMRESULT result = m_sim.joyGetDevCapsA(id, caps, size);
        if (result == JOYERR_NOERROR) std::snprintf(caps->szRegKey, sizeof(caps->szRegKey), "%s", Key(id).c_str());
        return result;
    }
    MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info) override { return m_sim.joyGetPosEx(id, info); }
    MMRESULT joyConfigChanged(DWORD flags) override { return m_sim.joyConfigChanged(flags); }
    LONG RegOpenKeyA(HKEY key, LPCSTR sub, HKEY* result) override { return m_sim.RegOpenKeyA(key, sub, result); }
    LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) override {
        return m_sim.RegQueryValueExA(key, name, reserved, type, data, size);
    }
    LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size) override {
        return m_sim.RegEnumKeyA(key, index, name, size);
    }
    LONG RegDeleteKeyA(HKEY key, LPCSTR sub) override { return m_sim.RegDeleteKeyA(key, sub); }
    LONG RegCloseKey(HKEY key) override { return m_sim.RegCloseKey(key); }
    UINT RegisterWindowMessageA(LPCSTR name) override { return m_sim.RegisterWindowMessageA(name); }
    HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInputA** out, IUnknown* outer) override {
        return m_sim.DirectInputCreateA(instance, version, out, outer);
    }

private:
    CSimPlatform& m_sim;
};

class CleanerWithADriverKeyPerNumber : public Cleaner {
protected:
    CleanerWithADriverKeyPerNumber()
        : Cleaner({SimController{1, "Pad", 2, 2, JOY_HW_2B_GAMEPAD, 0},
                   SimController{3, "Yoke", 4, 4, JOY_HW_2A_2B_GENERIC, 0}}) {}
    void SetUp() override {
        Cleaner::SetUp();
        SetJoystickServices(&keys);
        for (UINT number : {1u, 3u}) ASSERT_TRUE(sim.AddKey(Settings(number)));
    }
    static std::string Settings(UINT number) {
        return kBase + "\\" + DriverKeyPerNumber::Key(number) + "\\CurrentJoystickSettings";
    }
    DriverKeyPerNumber keys{sim};
};

TEST_F(CleanerWithADriverKeyPerNumber, RemovesTheSettingsOfTheLowestAnsweringNumber) {
    const auto texts = Clear({IDYES, IDNO, IDNO, IDNO});
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[1], kRemoved);
    EXPECT_FALSE(sim.KeyExists(Settings(1)));
    EXPECT_TRUE(sim.KeyExists(Settings(3)));
}

}  // namespace

namespace {

// A key below a calibration key: Windows deletes no key that still has subkeys, so the deletion fails.
TEST_F(Cleaner, AKeyWithSubkeysKeepsTheOldMessageAndTheClosingSaysNotAllWent) {
    ASSERT_TRUE(sim.AddKey(kOldCal2 + "\\Axes"));
    const auto texts = Clear({IDYES, IDYES, IDYES, IDNO});
    const std::vector<std::string> expected = {kRemoveQuestion,
                                               kRemoved,
                                               Question(kOldCal2),
                                               "An error occured while trying to delete:\n>" + kOldCal2 + "<!",
                                               Question(kDriverCal),
                                               "Calibration found and deleted.",
                                               Question(kOldCal1),
                                               kSomeDeleted};
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(sim.KeyExists(kOldCal2 + "\\Axes"));
    EXPECT_FALSE(sim.KeyExists(kDriverCal));
}

const std::string kUser = "HKEY_CURRENT_USER\\";
const std::string kModernSettings = kBase + "\\DINPUT.DLL\\CurrentJoystickSettings";
const std::string kModernCal = kBase + "\\DINPUT.DLL\\JoystickSettings";
const std::string kWheel = CSimPlatform::DeviceCalibrationKey("VID_1209&PID_5703");

std::string DevicesQuestion(const std::string& names) {
    return "Found DirectInput calibration of these game controllers:\n\n" + names +
           "\nDo you want to delete the calibration stored? The controllers keep their identity, and games keep "
           "their bindings for them.";
}

std::string Refused(const std::string& shownPath) {
    return "Windows refused to delete\n>" + shownPath +
           "<\n\nDeleting it needs administrator rights: start Padwright as an administrator to remove it.";
}

// Windows 10/11: settings and DirectInput's per-device identity and per-axis calibration under the
// user's hive, a left-over calibration key under the local machine. The stick's X was calibrated
// apart from its configuration, as the system's own calibration leaves it.
class ModernCleaner : public Cleaner {
protected:
    void Machine(bool elevated) {
        sim.Rebuild(SimMachine::Modern(elevated));
        sim.SetClock([this] { return now; });
        sim.SetAxisCalibrationValue(0, 0, 1000, 30000, 64000);
    }
    std::vector<BYTE> Identity(UINT number) {
        std::vector<BYTE> guid;
        sim.GetValue(HKEY_CURRENT_USER, sim.IdentityKey(number), "GUID", nullptr, &guid);
        return guid;
    }
};

TEST_F(ModernCleaner, AStandardUserDeletesTheUsersKeysAndIsToldTheMachinesNeedsAnAdministrator) {
    Machine(false);
    const int notifications = sim.Notifications();
    const std::vector<BYTE> stick = Identity(0), wheel = Identity(2);
    ASSERT_EQ(stick.size(), sizeof(GUID));
    std::vector<std::string> texts;
    Run([&](Window& w) {
        for (int a : {IDYES, IDYES, IDYES, IDYES}) host.Answer(a);
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "1000");
        w.Click(IDC_CLEAR_CALIBRATION);
        for (const auto& box : host.MessageBoxes()) texts.push_back(box.text);
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "0") << "the grid shows what remains: the configuration's calibration";
        w.Paste(IDC_DEADZONE_X + 2 * 2, "3");
        EXPECT_EQ(sim.StoredConfig(0).hwc.hwv.jrvHardware.jpMin.dwX, 0u) << "no edit writes the deleted values back";
    });
    JoystickAxisCalibration axes[AXIS_COUNT];
    ASSERT_TRUE(sim.GetAxisCalibration(0, axes));
    EXPECT_NE(axes[0].min, 1000);
    const std::vector<std::string> expected = {kRemoveQuestion,
                                               kRemoved,
                                               Question(kModernCal),
                                               Refused(kModernCal),
                                               Question(kUser + kModernCal),
                                               "Calibration found and deleted.",
                                               DevicesQuestion("Virtual HOTAS Stick (USB)\nVirtual Racing Wheel (USB)\n"),
                                               "Calibration found and deleted.",
                                               kSomeDeleted};
    EXPECT_EQ(texts, expected);
    EXPECT_GT(sim.Notifications(), notifications) << "the removal is announced";
    EXPECT_TRUE(sim.KeyExists(HKEY_CURRENT_USER, kModernSettings)) << "written again once announced";
    EXPECT_TRUE(sim.IsInstalled(0)) << "plug-and-play controllers stay";
    EXPECT_TRUE(sim.KeyExists(HKEY_LOCAL_MACHINE, kModernCal));
    EXPECT_FALSE(sim.KeyExists(HKEY_CURRENT_USER, kModernCal));
    EXPECT_EQ(Identity(0), stick) << "every key stays, and with it the controller's identity";
    EXPECT_EQ(Identity(2), wheel);
    EXPECT_TRUE(sim.KeyExists(HKEY_CURRENT_USER, sim.AxisCalibrationKey(2, 0)));
    EXPECT_EQ(sim.ValueNames(HKEY_CURRENT_USER, sim.AxisCalibrationKey(2, 0)), std::vector<std::string>{})
        << "the per-axis values go";
    EXPECT_EQ(sim.OpenKeyHandles(), 0u);
}

// The settings key in both hives, and DirectInput's calibration of ten devices, eight of them known
// only by their hardware id: one question names the first eight and counts the rest. With exactly eight,
// all eight are named and none counted.
TEST_F(ModernCleaner, AnAdministratorDeletesEveryConfirmedKeyInBothHives) {
    for (const int byId : {6, 8}) {
        SCOPED_TRACE(std::to_string(byId + 2) + " devices");
        Machine(true);
        ASSERT_TRUE(sim.AddKey(HKEY_LOCAL_MACHINE, kModernSettings));
        std::string listed = "Virtual HOTAS Stick (USB)\nVirtual Racing Wheel (USB)\n";
        for (int i = 0; i < byId; ++i) {
            const std::string id = "VID_1209&PID_600" + std::to_string(i);
            ASSERT_TRUE(sim.SetValue(HKEY_CURRENT_USER, CSimPlatform::DeviceCalibrationKey(id), "Calibration",
                                     REG_BINARY, "\0\0\0\0", 4));
            if (i < 6) listed += id + "\n";
        }
        const auto texts = Clear({IDYES, IDYES, IDYES, IDYES});
        const std::vector<std::string> expected = {kRemoveQuestion,
                                                   kRemoved,
                                                   Question(kModernCal),
                                                   "Calibration found and deleted.",
                                                   Question(kUser + kModernCal),
                                                   "Calibration found and deleted.",
                                                   DevicesQuestion(listed + (byId > 6 ? "and 2 more\n" : "")),
                                                   "Calibration found and deleted.",
                                                   kAllDeleted};
        EXPECT_EQ(texts, expected);
        for (const HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            EXPECT_FALSE(sim.KeyExists(hive, kModernCal)) << (hive == HKEY_CURRENT_USER ? "user" : "machine");
        EXPECT_FALSE(sim.KeyExists(HKEY_LOCAL_MACHINE, kModernSettings));
        for (const std::string& key :
             {sim.AxisCalibrationKey(0, 0), kWheel, CSimPlatform::DeviceCalibrationKey("VID_1209&PID_6005")}) {
            EXPECT_TRUE(sim.KeyExists(HKEY_CURRENT_USER, key)) << key;
            EXPECT_EQ(sim.ValueNames(HKEY_CURRENT_USER, key), std::vector<std::string>{}) << key;
        }
        EXPECT_EQ(sim.OpenKeyHandles(), 0u);
    }
}

// The settings key also under the local machine, where a standard user may not delete it: the user's
// key is deleted and announced all the same, the refusal is named, and the closing message does not say
// nothing was found.
TEST_F(ModernCleaner, ARefusedRemovalIsNamedAndCountsAsAFailedDeletion) {
    Machine(false);
    ASSERT_TRUE(sim.AddKey(HKEY_LOCAL_MACHINE, kModernSettings));
    const int notifications = sim.Notifications();
    const auto texts = Clear({IDYES, IDNO, IDNO, IDNO});
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[1], "The game controllers have been deleted from\n>" + kUser + kModernSettings +
                            "<\nbut not from\n>" + kModernSettings + "<");
    EXPECT_EQ(texts[2], Refused(kModernSettings));
    EXPECT_EQ(texts.back(), kNoneDeleted);
    EXPECT_TRUE(sim.KeyExists(HKEY_LOCAL_MACHINE, kModernSettings));
    EXPECT_GT(sim.Notifications(), notifications) << "the user's key went";
}

// Only a place that is not there passes over in silence: a base that is there but will not open is
// told, the other hive is searched, and the closing message does not say nothing was found.
TEST_F(ModernCleaner, WhenTheMachinesBaseWillNotOpenItIsToldAndTheUsersIsSearched) {
    Machine(false);
    Run([&](Window& w) {
        for (int answer : {IDYES, IDNO, IDNO}) host.Answer(answer);
        sim.FailCall(SimCall::RegOpenKey, ERROR_ACCESS_DENIED);  // the local machine's base
        w.Click(IDC_CLEAR_CALIBRATION);
        ASSERT_EQ(host.MessageBoxes().size(), 6u);
        EXPECT_EQ(host.MessageBoxes()[2].text, "An error occured while accessing\n>" + kBase + "<");
        EXPECT_EQ(host.MessageBoxes()[3].text, Question(kUser + kModernCal));
        EXPECT_EQ(host.MessageBoxes().back().text, "No calibration information was found where Padwright could look.");

        host.Answer(IDYES);
        sim.FailCall(SimCall::RegOpenKey, ERROR_ACCESS_DENIED, 2);  // both bases
        w.Click(IDC_CLEAR_CALIBRATION);
        ASSERT_EQ(host.MessageBoxes().size(), 10u) << "each access error, and the command ends";
        EXPECT_EQ(host.MessageBoxes().back().text, "An error occured while accessing\n>" + kUser + kBase + "<");
    });
}

}  // namespace
