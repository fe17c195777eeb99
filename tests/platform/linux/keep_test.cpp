// Keeping a calibration across unplugging: padwright-store keeps what the nodes hold (as root, in a mount
// namespace with a tmpfs over the store), padwright-apply puts it back on a controller plugged in again,
// and refuses what it must not trust. Both programs run as udev and pkexec run them, against the emulated
// nodes; a plain reader checks what the "kernel" holds.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "dialog/padwright_dlg.h"
#include "emulated_input.h"
#include "other_reader.h"
#include "platform/headless/headless_host.h"
#include "platform/linux/kernel_joystick.h"
#include "platform/linux/linux_platform.h"
#include "res/resource.h"
#include "platform/linux/keep/kept_store.h"

namespace {

struct Ran {
    int status = -1;
    std::string err;
};

// Runs a program with extra environment variables; its standard error is returned.
Ran RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    Ran ran;
    char buffer[512];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof(buffer))) > 0) ran.err.append(buffer, static_cast<size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

js_corr Correction(const std::string& node, int axis) { return emu::OtherReader::Correction(node, axis); }
input_absinfo AxisInfo(const std::string& node, int code) { return emu::OtherReader::AxisInfo(node, code); }

class Keep : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/padwright-keep-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        ::chmod(dir.c_str(), 0755);
        store = dir + "/store";
        udev = dir + "/udev";
        ::mkdir(store.c_str(), 0755);
        ::mkdir(udev.c_str(), 0755);
    }
    void TearDown() override { RunProgram({"/bin/rm", "-rf", dir}, {}); }

    emu::Controller& Plug(const std::string& name, unsigned js, unsigned event, const std::string& uniq,
                          const std::string& port = "") {
        emu::Controller& c = bed.Add(name, js, event, {{ABS_X, 0, 255, 0, 15}, {ABS_Y, 0, 255, 0, 15}}, 4, uniq, port);
        // udev's database holds each node's properties, as the helper reads them outside udev.
        for (const unsigned minor : {js, 64 + event}) {
            std::ofstream(udev + "/c13:" + std::to_string(minor)) << "E:ID_INPUT_JOYSTICK=1\nE:ID_PATH=" << c.idPath << "\n";
        }
        return c;
    }

    // udev's RUN for both nodes: the device's properties in the environment, the store given to the test.
    void Apply(const emu::Controller& c) {
        for (const std::string& node : {emu::Testbed::JsNode(c), emu::Testbed::EventNode(c)}) {
            const Ran ran = RunProgram({PADWRIGHT_APPLY, node}, {"DEVNAME=" + node, "ID_PATH=" + c.idPath,
                                                                 "PADWRIGHT_CALIBRATION_DIR=" + store});
            EXPECT_EQ(ran.status, 0) << ran.err;
            lastApply += ran.err;
        }
    }

    // The calibration an edit leaves on the pad's X axis: 20/100/230, dead zone 10 %.
    static void Calibrate(emu::Controller& c) {
        linuxjoy::AxisKernelState state;
        ASSERT_TRUE(linuxjoy::CorrectionFor({20, 100, 230, 10}, c.abs[ABS_X], &state));
        std::lock_guard<std::mutex> guard(c.lock);
        c.corr[0] = state.corr;
        c.abs[ABS_X] = state.info;
    }

    // A record as the helper writes it, for the pad with the calibration above, written straight into the
    // store under `name` (its own by default).
    std::string WriteKept(const emu::Controller& c, keep::Scope scope, const std::string& name = "") {
        keep::KeptCalibration kept;
        kept.scope = scope;
        const keep::Identity device{c.id.bustype, c.id.vendor, c.id.product, c.name, c.uniq, c.idPath};
        EXPECT_TRUE(keep::IdentityFor(device, scope, &kept.id));
        linuxjoy::AxisKernelState state;
        EXPECT_TRUE(linuxjoy::CorrectionFor({20, 100, 230, 10}, c.abs[ABS_X], &state));
        kept.axes.push_back({0, ABS_X, 0, 255, 0, 15, state.corr, state.info.minimum, state.info.maximum, state.info.flat});
        kept.axes.push_back({1, ABS_Y, 0, 255, 0, 15, emu::DefaultCorrection(c.abs[ABS_Y]), 0, 255, 15});
        const std::string file = store + "/" + (name.empty() ? keep::FileName(kept.id, scope) : name);
        std::ofstream(file) << keep::Format(kept);
        return file;
    }

    static bool Calibrated(const emu::Controller& c) {
        const input_absinfo info = AxisInfo(emu::Testbed::EventNode(c), ABS_X);
        return emu::JoydevValue(100, Correction(emu::Testbed::JsNode(c), 0)) == 0 &&
               emu::JoydevValue(20, Correction(emu::Testbed::JsNode(c), 0)) == -32767 && info.minimum == 20 &&
               info.maximum == 230 && info.flat == 10 * 210 / 200;
    }
    static bool DriversOwn(const emu::Controller& c) {
        const input_absinfo info = AxisInfo(emu::Testbed::EventNode(c), ABS_X);
        const js_corr own = emu::DefaultCorrection(info);
        const js_corr now = Correction(emu::Testbed::JsNode(c), 0);
        return info.minimum == 0 && info.maximum == 255 && info.flat == 15 && std::memcmp(&now, &own, sizeof(own)) == 0;
    }

    emu::Testbed bed;
    std::string dir, store, udev, lastApply;
};

const char* const kPad = "Padwright Test Pad";

// The helper as pkexec runs it: as root, PKEXEC_UID set (so no test override is honoured), in a mount
// namespace whose /etc is a tmpfs holding links to the real one, with another tmpfs over the store. The
// test's store is copied in before and out after, for the applier.
Ran RunHelper(const std::string& dir, const std::vector<std::string>& args) {
    const std::string script =
        "set -e; d=\"$1\"; shift; mount --make-rprivate /; mkdir -p \"$d/etc\"; mount --bind /etc \"$d/etc\";"
        "mount -t tmpfs -o mode=0755 tmpfs /etc; for f in \"$d\"/etc/* ; do ln -s \"$f\" /etc/; done;"
        "mkdir -p /etc/padwright/calibration.d; mount -t tmpfs -o mode=0755 tmpfs /etc/padwright/calibration.d;"
        "cp -a \"$d/store/.\" /etc/padwright/calibration.d/; set +e; \"$@\"; s=$?; rm -rf \"$d/store\";"
        "mkdir -m 0755 \"$d/store\"; cp -a /etc/padwright/calibration.d/. \"$d/store/\"; exit $s";
    std::vector<std::string> argv = {"/usr/bin/unshare", "-m", "/bin/sh", "-c", script, "sh", dir, PADWRIGHT_STORE};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, {"PKEXEC_UID=1000", "PADWRIGHT_CALIBRATION_DIR=/nowhere"});
}

TEST_F(Keep, TheHelperRefusesArgumentsAndDevicesItMustNotTrustAndThenWritesNothing) {
    Plug(kPad, 0, 10, "");  // no unique id, and udev's database is not where pkexec's helper looks
    Calibrate(bed.Add("Padwright Other Pad", 1, 11, {{ABS_X, 0, 255, 0, 15}, {ABS_Y, 0, 255, 0, 15}}, 4, "bb:01"));
    const std::vector<std::vector<std::string>> refused = {
        {"keep", "/dev/input/js1", "everyone", "0:255:15", "0:255:15"},
        {"keep", "/dev/input/js1", "unit", "0:255:15"},                    // one range for two axes
        {"keep", "/dev/input/js1", "unit", "0:255:15", "255:0:15"},        // not in order
        {"keep", "/dev/input/js1", "unit", "0:255:15", "0:4294967296:15"}, // not an int32
        {"keep", "/dev/input/js1", "unit", "0:255:15", "0:255:15x"},
        {"keep", "/dev/input/js1", "unit", "-100000:100000:0", "0:255:15"},  // joydev's line would overflow
        {"keep", "/dev/input/../../etc/passwd", "model", "0:255:15", "0:255:15"},
        {"keep", "/dev/input/js01", "model", "0:255:15", "0:255:15"},
        {"keep", "/dev/input/js7", "model", "0:255:15", "0:255:15"},      // no such controller
        {"keep", "/dev/input/js0", "unit", "0:255:15", "0:255:15"},       // neither unique id nor port
        {"forget"},
        {"wipe", "/etc"},
    };
    for (const std::vector<std::string>& args : refused) {
        std::string line;
        for (const std::string& a : args) line += a + " ";
        SCOPED_TRACE(line);
        const Ran ran = RunHelper(dir, args);
        EXPECT_EQ(ran.status, 2) << ran.err;
        EXPECT_EQ(ran.err.rfind("padwright-store: ", 0), 0u) << ran.err;
    }
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "ls -A \"$0\" | grep -q .", store}, {}).status, 1) << "nothing written";
    EXPECT_EQ(RunHelper(dir, {"keep", "/dev/input/event11", "unit", "0:255:15", "0:255:15"}).status, 0) << "and the same, right";
}

TEST_F(Keep, AKeptCalibrationIsBackOnBothNodesAfterAReplugUnderANewNumberAndForgetEndsIt) {
    emu::Controller& pad = Plug(kPad, 0, 10, "a4:5e:60:01:02:03");
    Calibrate(pad);
    const Ran kept = RunHelper(dir, {"keep", "/dev/input/js0", "unit", "0:255:15", "0:255:15"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    struct stat st {};
    const std::string file = store + "/" + keep::FileName({pad.id.bustype, pad.id.vendor, pad.id.product, kPad,
                                                           pad.uniq, ""}, keep::Scope::Unit);
    ASSERT_EQ(::stat(file.c_str(), &st), 0) << "the helper wrote the unit's record into the store";
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    bed.Unplug(pad);
    emu::Controller& again = Plug(kPad, 3, 13, "a4:5e:60:01:02:03", "pci-0000:00:14.0-usb-0:4:1.0");
    ASSERT_TRUE(DriversOwn(again));
    Apply(again);
    EXPECT_TRUE(Calibrated(again)) << lastApply;
    EXPECT_EQ(AxisInfo(emu::Testbed::EventNode(again), ABS_Y).flat, 15) << "an axis kept as the driver's stays so";
    Apply(again);  // a change event applies it again: nothing moves
    EXPECT_TRUE(Calibrated(again)) << lastApply;

    const Ran forgot = RunHelper(dir, {"forget", "/dev/input/event13"});
    ASSERT_EQ(forgot.status, 0) << forgot.err;
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "ls \"$0\" | grep -q conf", store}, {}).status, 1);
    bed.Unplug(again);
    emu::Controller& third = Plug(kPad, 4, 14, "a4:5e:60:01:02:03");
    Apply(third);
    EXPECT_TRUE(DriversOwn(third)) << lastApply;
}

}  // namespace

namespace {

TEST_F(Keep, TheApplierPutsAKeptCalibrationOnlyOnTheControllerItWasKeptForAndOnlyFromAFileItCanTrust) {
    const std::string hostile = "../../etc/x\\x41 %s%n \x01\x7f\xff";
    struct Case {
        const char* what;
        std::string name, uniq, port;      // the controller plugged in
        std::string keptUniq, keptPort;    // the one the calibration was kept for (scope unit unless both empty)
        std::function<void(const std::string& file)> spoil;
        bool applied;
    };
    const auto rewrite = [](const std::string& from, const std::string& to) {
        return [from, to](const std::string& file) {
            std::ifstream in(file);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            std::ofstream(file) << text.replace(at, from.size(), to);
        };
    };
    const std::vector<Case> cases = {
        {"this unit, by its unique id", kPad, "aa:01", "", "aa:01", "", nullptr, true},
        {"another unit of the model, by its unique id", kPad, "aa:02", "", "aa:01", "", nullptr, false},
        {"this unit, by its port", kPad, "", "pci-0:usb-0:1", "", "pci-0:usb-0:1", nullptr, true},
        {"another port", kPad, "", "pci-0:usb-0:2", "", "pci-0:usb-0:1", nullptr, false},
        {"the model", kPad, "aa:03", "", "", "", nullptr, true},
        {"a hostile name", hostile, hostile, "", hostile, "", nullptr, true},
        {"a fingerprint the driver no longer has", kPad, "aa:01", "", "aa:01", "", rewrite("own=0 255 0 15", "own=0 250 0 15"), false},
        {"a corrupt record", kPad, "aa:01", "", "aa:01", "", rewrite("axes=2", "axes=two"), false},
        {"a repeated key", kPad, "aa:01", "", "aa:01", "", rewrite("axes=2", "axes=2\nscope=unit"), false},
        {"an oversized record", kPad, "aa:01", "", "aa:01", "",
         [](const std::string& file) { std::ofstream(file, std::ios::app) << std::string(5000, '#') << "\n"; }, false},
        {"a record writable by others", kPad, "aa:01", "", "aa:01", "", [](const std::string& file) { ::chmod(file.c_str(), 0666); }, false},
        {"a symbolic link", kPad, "aa:01", "", "aa:01", "",
         [](const std::string& file) {
             ::rename(file.c_str(), (file + ".real").c_str());
             ASSERT_EQ(::symlink((file + ".real").c_str(), file.c_str()), 0);
         },
         false},
    };
    unsigned number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunProgram({"/bin/sh", "-c", "rm -f \"$0\"/*", store}, {});
        emu::Controller& kept = Plug(c.name, number, 10 + number, c.keptUniq, c.keptPort);
        const std::string file =
            WriteKept(kept, c.keptUniq.empty() && c.keptPort.empty() ? keep::Scope::Model : keep::Scope::Unit);
        EXPECT_TRUE(keep::IsStoreFileName(file.substr(store.size() + 1)));
        bed.Unplug(kept);
        ++number;
        if (c.spoil) c.spoil(file);
        emu::Controller& pad = Plug(c.name, number, 10 + number, c.uniq, c.port);
        ++number;
        lastApply.clear();
        Apply(pad);
        EXPECT_EQ(Calibrated(pad), c.applied) << lastApply;
        if (!c.applied) {
            EXPECT_TRUE(DriversOwn(pad));
        }
        bed.Unplug(pad);
    }
}

}  // namespace

namespace {

// The dialog on the kernel, its helper run as pkexec would once authenticated (or its refusal when the
// user declines), against the test's store.
TEST_F(Keep, TheDialogKeepsWhatWasEditedForThisPortAndDefaultValuesComeFromTheFingerprintAfterAReplug) {
    const std::string port = "pci-0000:00:14.0-usb-0:7:1.0";
    emu::Controller& pad = Plug(kPad, 0, 10, "", port);  // no unique id: the unit is told by its port
    ::setenv("PADWRIGHT_CALIBRATION_DIR", store.c_str(), 1);  // where the platform looks for kept ones
    ::setenv("PADWRIGHT_UDEV_DATA", udev.c_str(), 1);
    CLinuxPlatform platform{&DefaultJoystickServices()};
    headless::HeadlessHost host;
    SetJoystickServices(&platform);
    std::vector<std::vector<std::string>> asked;
    int declines = 1;
    platform.SetHelperRunner([&](const std::vector<std::string>& argv, std::string* err) {
        asked.push_back(argv);
        if (declines-- > 0) return 126;  // pkexec: the user dismissed the authentication
        std::vector<std::string> helper = {PADWRIGHT_STORE};  // the one built here, not the installed one
        helper.insert(helper.end(), argv.begin() + 2, argv.end());
        const Ran ran = RunProgram(helper, {"PADWRIGHT_CALIBRATION_DIR=" + store, "PADWRIGHT_UDEV_DATA=" + udev});
        *err = ran.err;
        return ran.status;
    });
    const auto run = [&](std::function<void(headless::Window&)> user) {
        host.OnDialog(IDD_PADWRIGHT_DIALOG, std::move(user));
        CPadwrightDlg dlg;
        dlg.DoModal();
    };
    input_absinfo edited{};
    js_corr editedCorr{};
    host.Answer(IDNO);   // every controller of the model: then declined
    host.Answer(IDYES);  // this unit
    run([&](headless::Window& w) {
        const auto& menu = w.SystemMenu();
        ASSERT_EQ(menu.size(), 4u);
        EXPECT_EQ(menu[2].text, "Keep this calibration...");
        EXPECT_EQ(menu[3].text, "Forget the kept calibration");
        w.Click(IDC_CALIBRATED_XY);
        w.Paste(IDC_CAL_MIN_X, "20");
        edited = AxisInfo(emu::Testbed::EventNode(pad), ABS_X);
        editedCorr = Correction(emu::Testbed::JsNode(pad), 0);
        ASSERT_EQ(edited.minimum, 20);
        w.SysCommand(IDM_KEEP_CALIBRATION);
        EXPECT_EQ(RunProgram({"/bin/sh", "-c", "ls \"$0\" | grep -q conf", store}, {}).status, 1) << "declined: nothing kept";
        EXPECT_EQ(AxisInfo(emu::Testbed::EventNode(pad), ABS_X).minimum, 20) << "and the edit holds";
        w.SysCommand(IDM_KEEP_CALIBRATION);
    });
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], (std::vector<std::string>{"pkexec", CLinuxPlatform::kStoreHelper, "keep", "/dev/input/js0", "model",
                                                  "0:255:15", "0:255:15"}));
    EXPECT_EQ(asked[1][4], "unit");
    std::vector<std::string> texts;
    for (const auto& box : host.MessageBoxes()) texts.push_back(box.text);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[1].rfind("Nothing was changed: the authentication was declined.", 0), 0u) << texts[1];
    EXPECT_EQ(texts[3].rfind("The calibration is kept.", 0), 0u) << texts[3];

    // Plugged in again under a new number: udev's applier restores it, and the dialog finds the driver's
    // own values in the fingerprint, though the nodes hold the calibration when it opens them.
    bed.Unplug(pad);
    emu::Controller& again = Plug(kPad, 2, 12, "", port);
    Apply(again);
    EXPECT_EQ(AxisInfo(emu::Testbed::EventNode(again), ABS_X).minimum, edited.minimum) << lastApply;
    EXPECT_EQ(std::memcmp(&editedCorr, &again.corr[0], sizeof(js_corr)), 0);
    host.Answer(IDYES);
    run([&](headless::Window& w) {
        w.Click(IDC_NEXT);
        w.Click(IDC_NEXT);
        ASSERT_EQ(w.Text(IDC_POLLED_DEVICE).rfind("2: ", 0), 0u) << w.Text(IDC_POLLED_DEVICE);
        w.Click(IDC_DEFAULT_VALUES);
        EXPECT_TRUE(DriversOwn(again));
        w.SysCommand(IDM_FORGET_KEPT);
    });
    EXPECT_EQ(asked.back(), (std::vector<std::string>{"pkexec", CLinuxPlatform::kStoreHelper, "forget", "/dev/input/js2"}));
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "ls \"$0\" | grep -q conf", store}, {}).status, 1) << "forgotten";
    SetJoystickServices(nullptr);
    ::unsetenv("PADWRIGHT_CALIBRATION_DIR");
    ::unsetenv("PADWRIGHT_UDEV_DATA");
}

}  // namespace
