// "Clear all calib. data", path by path: what is asked, what is said, and what the registry and the
// configuration store hold afterwards.
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

TEST_F(Cleaner, AFailedRemovalIsReportedAndTheScanGoesOn) {
    sim.FailCall(SimCall::RegDeleteKey, ERROR_ACCESS_DENIED);
    const int notifications = sim.Notifications();
    const auto texts = Clear({IDYES, IDNO, IDNO, IDNO});
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[1], "An error occurred while deleting\n>" + kCurrent + "<");
    EXPECT_EQ(texts[2], Question(kOldCal2));
    EXPECT_TRUE(sim.KeyExists(kCurrent));
    EXPECT_EQ(sim.Notifications(), notifications) << "nothing was removed, so nothing is announced";
}

TEST_F(Cleaner, AFailedKeyDeletionIsReportedAndCountsAsNotDeleted) {
    sim.FailCall(SimCall::RegDeleteKey, ERROR_ACCESS_DENIED, 1, 1);  // the first calibration key
    const auto texts = Clear({IDYES, IDYES, IDNO, IDNO});
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[3], "An error occured while trying to delete:\n>" + kOldCal2 + "<!");
    EXPECT_EQ(texts.back(), kNothingFound);
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

}  // namespace
