// Keeping a calibration on the Linux kernel: the platform runs padwright-store through pkexec, which
// asks for an administrator once (polkit's auth_admin_keep), and passes it only the node, the scope
// and the driver's own ranges; the helper reads the calibration from the node itself.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/linux/linux_platform.h"

extern char** environ;

namespace {

using KeepResult = CJoystickServices::KeepResult;

// pkexec's own exit statuses: the user dismissed the authentication (126), or was not authorised (127).
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

void Say(char* why, size_t whySize, const std::string& text) {
    if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", text.c_str());
}

// Starts argv[0] from the PATH with its standard error read back; the exit status, or -1 when it could
// not be started.
int RunWithPkexec(const std::vector<std::string>& argv, std::string* err) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        *err = std::strerror(spawned);
        return -1;
    }
    char buffer[512];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof(buffer))) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0 && err->size() < 4096) err->append(buffer, static_cast<size_t>(got));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

void CLinuxPlatform::SetHelperRunner(HelperRunner runner) { m_runner = std::move(runner); }

CJoystickServices::KeepResult CLinuxPlatform::RunHelper(const std::vector<std::string>& args, char* why, size_t whySize) {
    if (!m_runner && ::access(kStoreHelper, X_OK) != 0) {
        Say(why, whySize, std::string("the helper ") + kStoreHelper + " is not installed.");
        return KeepResult::Failed;
    }
    std::vector<std::string> argv = {"pkexec", kStoreHelper};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string err;
    const int status = m_runner ? m_runner(argv, &err) : RunWithPkexec(argv, &err);
    if (status == 0) {
        return KeepResult::Done;
    }
    if (status == kPkexecDismissed || status == kPkexecNotAuthorised) {
        return KeepResult::Declined;
    }
    // The helper's own sentence, without its name and line end; or why pkexec did not start.
    const std::string prefix = "padwright-store: ";
    if (err.compare(0, prefix.size(), prefix) == 0) err.erase(0, prefix.size());
    if (const size_t end = err.find('\n'); end != std::string::npos) err.resize(end);
    Say(why, whySize, status < 0 ? "pkexec could not be started (" + err + ")." : err + ".");
    return KeepResult::Failed;
}

CJoystickServices::KeepResult CLinuxPlatform::KeepCalibration(UINT uJoyID, bool thisUnitOnly, char* why, size_t whySize) {
    linuxjoy::KernelJoystick* joystick = uJoyID < kJoysticks ? Present(uJoyID, true) : nullptr;
    if (joystick == nullptr || !joystick->HasEvdev()) {
        Say(why, whySize, "no controller with a js and an event node is selected.");
        return KeepResult::Failed;
    }
    // The node, the scope and the driver's own ranges; the calibration itself is read from the node.
    std::vector<std::string> args = {"keep", "/dev/input/js" + std::to_string(uJoyID), thisUnitOnly ? "unit" : "model"};
    for (int i = 0; i < joystick->axes(); ++i) {
        const input_absinfo& own = joystick->OwnState()[i].info;
        args.push_back(std::to_string(own.minimum) + ":" + std::to_string(own.maximum) + ":" + std::to_string(own.flat));
    }
    return RunHelper(args, why, whySize);
}

CJoystickServices::KeepResult CLinuxPlatform::ForgetKeptCalibration(UINT uJoyID, char* why, size_t whySize) {
    if (uJoyID >= kJoysticks || Present(uJoyID, true) == nullptr) {
        Say(why, whySize, "no controller is selected.");
        return KeepResult::Failed;
    }
    return RunHelper({"forget", "/dev/input/js" + std::to_string(uJoyID)}, why, whySize);
}

CJoystickServices::KeepResult CLinuxPlatform::ForgetAllKeptCalibrations(char* why, size_t whySize) {
    return RunHelper({"forget-all"}, why, whySize);
}
