// The cleaner's fault sweep: every registry call the cleaner makes, and its two WinMM calls, is made
// to fail once at each of its occurrences and then at all of them, on the legacy machine and on the
// modern one as a standard user and as an administrator. The cleaner must delete only what the user
// confirmed, say what happened (its error and closing messages match what the registry then holds),
// and leave no registry key open once the dialog has closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "sweep.h"

namespace {

using headless::Window;
using namespace sweep;

const std::string kBase = CSimPlatform::kJoystickBase;
const std::string kFoundHead = "Found calibration information at\n>";
const std::string kDevicesHead = "Found DirectInput calibration of these game controllers:";
const std::string kDeviceBranch = kUser + CSimPlatform::kDirectInputBranch + "\\";

// A key of DirectInput's per-device calibration (<branch>\<device>\Calibration or below).
bool IsDeviceCalibration(const std::string& key) {
    if (key.rfind(kDeviceBranch, 0) != 0) return false;
    const size_t slash = key.find('\\', kDeviceBranch.size());
    return slash != std::string::npos && key.compare(slash, 12, "\\Calibration") == 0;
}

// The key a "Found calibration information" question names (key names may hold '<' and '>').
std::string FoundPath(const std::string& question) {
    return question.substr(kFoundHead.size(), question.rfind("<\n\n") - kFoundHead.size());
}

std::string Refused(const std::string& path) {
    return "Windows refused to delete\n>" + path +
           "<\n\nDeleting it needs administrator rights: start Padwright as an administrator to remove it.";
}

// The machines the cleaner is swept on, and the settings key each removes, as the messages name it.
struct CleanerMachine {
    const char* name;
    Setup setup;
    std::string settings;
};

std::vector<CleanerMachine> CleanerMachines() {
    const auto modern = [](bool elevated) {
        return [elevated](Desk& desk) {
            desk.sim.Rebuild(SimMachine::Modern(elevated));
            desk.sim.SetClock([&desk] { return desk.now; });
            // Windows keeps a device's calibration in subkeys, which go before their key.
            const std::string stick = CSimPlatform::DeviceCalibrationKey("VID_1209&PID_5701");
            desk.sim.AddKey(HKEY_CURRENT_USER, stick + "\\0\\Type\\Axes\\0");
        };
    };
    const std::string modernSettings = kUser + kBase + "\\DINPUT.DLL\\CurrentJoystickSettings";
    return {{"legacy", nullptr, CSimPlatform::SettingsKeyPath()},
            {"modern, standard user", modern(false), modernSettings},
            {"modern, administrator", modern(true), modernSettings}};
}

TEST(FaultSweep, TheCleanerWithAFailingCallDeletesOnlyWhatWasConfirmedAndSaysWhatHappened) {
    const Action clear = [](Desk&, Window& w) { w.Click(IDC_CLEAR_CALIBRATION); };
    std::vector<SimCall> calls = kRegistryCalls;
    calls.push_back(SimCall::JoyGetDevCaps);
    calls.push_back(SimCall::JoyConfigChanged);
    for (const CleanerMachine& machine : CleanerMachines()) {
        SCOPED_TRACE(machine.name);
        const bool rewritesSettings = machine.setup != nullptr;  // WinMM writes the modern settings again
        const std::string& settings = machine.settings;
        const int sessions = Sweep(clear, calls, [&](const Outcome&, const Outcome& o, SimCall) {
            // Every key the user confirmed, as the questions named them; a confirmed key's subkeys go with it.
            std::set<std::string> confirmed;
            bool devicesConfirmed = false;
            for (const std::string& text : o.boxes) {
                if (text.rfind(kFoundHead, 0) == 0 && !Declines(text)) confirmed.insert(FoundPath(text));
                if (text.rfind("You still have some game controllers installed", 0) == 0) {
                    confirmed.insert(settings);
                    confirmed.insert(settings.rfind(kUser, 0) == 0 ? settings.substr(kUser.size()) : kUser + settings);
                }
                devicesConfirmed = devicesConfirmed || (text.rfind(kDevicesHead, 0) == 0 && !Declines(text));
            }
            const auto wasConfirmed = [&](const std::string& key) {
                return (devicesConfirmed && IsDeviceCalibration(key)) ||
                       std::any_of(confirmed.begin(), confirmed.end(), [&](const std::string& c) {
                           return key == c || key.rfind(c + "\\", 0) == 0;
                       });
            };
            for (const std::string& key : o.keysBefore)
                EXPECT_TRUE(o.keysAfter.count(key) || wasConfirmed(key)) << key << " was deleted unasked";

            // Each report matches what the registry now holds.
            const auto shown = [&](const std::string& text) {
                return std::find(o.boxes.begin(), o.boxes.end(), text) != o.boxes.end();
            };
            if (shown("All game controllers have been deleted.\n")) {
                EXPECT_TRUE(!o.keysAfter.count(settings) || (rewritesSettings && o.notifications > 0));
            }
            int deletions = 0;
            int failures = 0;
            const bool removed = std::any_of(o.boxes.begin(), o.boxes.end(), [](const std::string& text) {
                return text == "All game controllers have been deleted.\n" ||
                       text.rfind("The game controllers have been deleted from\n>", 0) == 0;
            });
            for (const std::string& text : o.boxes) {
                const bool removalFailed = text.rfind("An error occurred while deleting\n>", 0) == 0 ||
                                           (text.rfind("Windows refused", 0) == 0 &&
                                            text.find("CurrentJoystickSettings<") != std::string::npos);
                if (!removalFailed) continue;
                const size_t open = text.find('>') + 1;
                const std::string path = text.substr(open, text.find('<', open) - open);
                EXPECT_TRUE(o.keysAfter.count(path) || !o.keysBefore.count(path))
                    << "a failed removal left no settings key: " << text;
                if (!removed && !devicesConfirmed) {
                    EXPECT_EQ(o.notifications, 0) << "a failed removal is not announced";
                }
                ++failures;
            }
            for (size_t i = 0; i + 1 < o.boxes.size(); ++i) {
                if (o.boxes[i].rfind(kDevicesHead, 0) != 0 || Declines(o.boxes[i])) continue;
                // The stick, followed through the questions by its name.
                const std::string stick = "Virtual HOTAS Stick (USB)";
                const bool listed = o.boxes[i].find(stick) != std::string::npos;
                const std::string values = kDeviceBranch + "VID_1209&PID_5701\\Calibration\\";
                const bool left = std::any_of(o.keysAfter.begin(), o.keysAfter.end(), [&](const std::string& key) {
                    return key.rfind(values, 0) == 0 && key.find(":Calibration") != std::string::npos;
                });
                if (o.boxes[i + 1] == "Calibration found and deleted.") {
                    EXPECT_FALSE(listed && left) << "the stick's calibration reported deleted but still there";
                    ++deletions;
                } else {
                    EXPECT_EQ(o.boxes[i + 1].rfind("An error occurred while deleting the calibration of:\n", 0), 0u)
                        << o.boxes[i + 1];
                    EXPECT_TRUE(!listed || left == (o.boxes[i + 1].find(stick) != std::string::npos)) << o.boxes[i + 1];
                    ++failures;
                }
            }
            for (size_t i = 0; i + 1 < o.boxes.size(); ++i) {
                if (o.boxes[i].rfind(kFoundHead, 0) != 0) continue;
                const std::string path = FoundPath(o.boxes[i]);
                if (Declines(o.boxes[i])) {
                    EXPECT_TRUE(o.keysAfter.count(path)) << path << " was declined but is gone";
                    EXPECT_NE(o.boxes[i + 1], "Calibration found and deleted.");
                } else if (o.boxes[i + 1] == "Calibration found and deleted.") {
                    EXPECT_FALSE(o.keysAfter.count(path)) << path << " reported deleted but still there";
                    ++deletions;
                } else {
                    EXPECT_TRUE(o.boxes[i + 1] == "An error occured while trying to delete:\n>" + path + "<!" ||
                                o.boxes[i + 1] == Refused(path))
                        << o.boxes[i + 1];
                    EXPECT_TRUE(o.keysAfter.count(path)) << path << " reported kept but gone";
                    ++failures;
                }
            }
            const auto accessError = [](const std::string& text) {
                return text.rfind("An error occured while accessing\n>", 0) == 0;
            };
            const bool unsearched = std::any_of(o.boxes.begin(), o.boxes.end(), accessError);
            if (!o.boxes.empty() && !accessError(o.boxes.back())) {
                const char* closing = "No calibration information was found. Probably already deleted.";
                if (unsearched) closing = "No calibration information was found where Padwright could look.";
                if (failures == 0 && deletions > 0)
                    closing = unsearched ? "Some calibration information has been deleted, but not all of it could be."
                                         : "All calibration information has been deleted.";
                if (failures > 0 && deletions == 0) closing = "The calibration information found could not be deleted.";
                if (failures > 0 && deletions > 0)
                    closing = "Some calibration information has been deleted, but not all of it could be.";
                EXPECT_EQ(o.boxes.back(), closing) << deletions << " deleted, " << failures << " failed";
            }
            EXPECT_EQ(o.recovered.diCooked.size(), static_cast<size_t>(AXIS_COUNT));
        }, machine.setup);
        EXPECT_GT(sessions, 20);
        ::testing::Test::RecordProperty(std::string("faulty_sessions, ") + machine.name, sessions);
        std::printf("%s: %d sessions with a failing call\n", machine.name, sessions);
    }
}

}  // namespace
