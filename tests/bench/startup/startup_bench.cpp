// Times how long two programs take from exec to their first window mapped, in interleaved runs on
// an X server of its own (Xvfb, 1280x1024, 96 dpi), and compares the medians:
//   startup_bench [--runs N] [--limit RATIO] PROGRAM [ARGS...] -- REFERENCE [ARGS...]
// Prints each program's median, fastest and slowest run, its time on a CPU by then, and the ratio
// of the medians; exits 1 when the ratio is above the limit (1.5 unless given), 2 on a usage or run
// error. Nothing else draws on the server, so any top-level window mapped is the program's.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kTimeoutMs = 10000;

double NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The time a process has spent on a CPU so far, from /proc/<pid>/schedstat; negative when unknown.
double CpuMs(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/schedstat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return -1;
    unsigned long long ns = 0;
    const bool read = std::fscanf(file, "%llu", &ns) == 1;
    std::fclose(file);
    return read ? static_cast<double>(ns) / 1e6 : -1;
}

void Stop(pid_t pid, int signal = SIGKILL) {
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
}

// Starts Xvfb on a display it picks itself and points DISPLAY at it. 0 when it did not come up.
pid_t StartServer() {
    int ready[2];
    if (pipe(ready) != 0) return 0;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-dpi", "96",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // The server writes its display number once it accepts connections.
    char number[16] = {};
    size_t got = 0;
    while (pid > 0 && got + 1 < sizeof(number)) {
        const ssize_t n = read(ready[0], number + got, sizeof(number) - 1 - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
        if (std::memchr(number, '\n', got)) break;
    }
    close(ready[0]);
    if (pid <= 0 || got == 0) {
        if (pid > 0) Stop(pid, SIGTERM);  // the server removes its lock file
        return 0;
    }
    number[std::strcspn(number, "\n")] = '\0';
    setenv("DISPLAY", (std::string(":") + number).c_str(), 1);
    return pid;
}

struct Times {
    double wall = -1;  // exec to the MapNotify of the first top-level window
    double cpu = -1;   // the program's own time on a CPU by then
};

// One run. The wall time is negative when the program ended or timed out before it mapped a window.
Times TimeToFirstMap(Display* display, std::vector<char*>& argv) {
    XSync(display, True);  // what earlier runs left in the queue is not this run's
    const double start = NowMs();
    const pid_t pid = fork();
    if (pid < 0) return {};
    if (pid == 0) {
        execv(argv[0], argv.data());
        std::perror(argv[0]);
        _exit(127);
    }
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (NowMs() - start < kTimeoutMs) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == DefaultRootWindow(display)) {
                const Times times{NowMs() - start, CpuMs(pid)};
                Stop(pid);
                return times;
            }
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) return {};
        poll(&connection, 1, 5);
    }
    Stop(pid);
    return {};
}

struct Program {
    std::vector<std::string> args;
    std::vector<double> wall, cpu;
    static double Median(std::vector<double> sorted) {
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    std::string Name() const {
        std::string name;
        for (const std::string& a : args) name += (name.empty() ? "" : " ") + a.substr(a.rfind('/') + 1);
        return name;
    }
};

bool Run(Display* display, Program& program, bool record) {
    std::vector<char*> argv;
    for (std::string& a : program.args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const Times times = TimeToFirstMap(display, argv);
    if (times.wall < 0) {
        std::fprintf(stderr, "startup_bench: %s mapped no window within %.0f s\n", program.args[0].c_str(),
                     kTimeoutMs / 1000);
        return false;
    }
    if (record) {
        program.wall.push_back(times.wall);
        program.cpu.push_back(times.cpu);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 10;
    double limit = 1.5;
    int i = 1;
    for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0 && argv[i][2]; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--limit") == 0)
            limit = std::atof(argv[i + 1]);
        else
            break;
    }
    Program programs[2];
    for (int p = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0 && p == 0)
            p = 1;
        else
            programs[p].args.emplace_back(argv[i]);
    }
    if (runs < 1 || !(limit > 0) || programs[0].args.empty() || programs[1].args.empty()) {
        std::fprintf(stderr, "usage: startup_bench [--runs N] [--limit RATIO] PROGRAM [ARGS...] -- REFERENCE [ARGS...]\n");
        return 2;
    }
    const pid_t server = StartServer();
    Display* display = server ? XOpenDisplay(nullptr) : nullptr;
    if (!display) {
        std::fprintf(stderr, "startup_bench: Xvfb did not start (scripts/deps.sh bench installs it)\n");
        if (server) Stop(server, SIGTERM);
        return 2;
    }
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    // One run of each unrecorded, so that neither pays alone for a cold page or font cache; then
    // interleaved, the order swapping every round so that neither always follows the other.
    bool ran = true;
    for (Program& program : programs) ran = ran && Run(display, program, false);
    for (int round = 0; ran && round < runs; ++round)
        for (int k = 0; ran && k < 2; ++k) ran = Run(display, programs[(round + k) % 2], true);
    if (!ran) {
        XCloseDisplay(display);
        Stop(server, SIGTERM);
        return 2;
    }

    std::printf("start-up, exec to the first window mapped, %d interleaved runs each on %s:\n", runs,
                DisplayString(display));
    for (const Program& program : programs) {
        const auto [fastest, slowest] = std::minmax_element(program.wall.begin(), program.wall.end());
        std::printf("  %-32s median %6.1f ms (%.1f to %.1f), on a CPU %5.1f ms\n", program.Name().c_str(),
                    Program::Median(program.wall), *fastest, *slowest, Program::Median(program.cpu));
    }
    const double ratio = Program::Median(programs[0].wall) / Program::Median(programs[1].wall);
    std::printf("  ratio of the medians %.2f (at most %.2f); on a CPU %.2f\n", ratio, limit,
                Program::Median(programs[0].cpu) / Program::Median(programs[1].cpu));
    XCloseDisplay(display);
    Stop(server, SIGTERM);
    return ratio <= limit ? 0 : 1;
}
