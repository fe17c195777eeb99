// Interposers in front of the C library's (and umockdev's) ioctl, read, stat and close; open is
// interposed in emulated_input.cpp and counts through Enter/Leave.
#include "syscall_count.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>

namespace syscalls {

namespace {
thread_local bool t_counting = false;
thread_local int t_depth = 0;
thread_local int t_count = 0;
}  // namespace

void Start() {
    t_count = 0;
    t_counting = true;
}

int Stop() {
    t_counting = false;
    return t_count;
}

bool Enter() {
    const bool counted = t_counting && t_depth == 0;
    if (counted) ++t_count;
    ++t_depth;
    return counted;
}

void Leave(bool) { --t_depth; }

}  // namespace syscalls

namespace {
template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}
}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    static const auto next = Next<int (*)(int, unsigned long, ...)>("ioctl");
    const bool entered = syscalls::Enter();
    const int result = next(fd, request, arg);
    syscalls::Leave(entered);
    return result;
}

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
    const bool entered = syscalls::Enter();
    const ssize_t result = next(fd, buffer, size);
    syscalls::Leave(entered);
    return result;
}

extern "C" int stat(const char* path, struct stat* st) {
    static const auto next = Next<int (*)(const char*, struct stat*)>("stat");
    const bool entered = syscalls::Enter();
    const int result = next(path, st);
    syscalls::Leave(entered);
    return result;
}

extern "C" int close(int fd) {
    static const auto next = Next<int (*)(int)>("close");
    const bool entered = syscalls::Enter();
    const int result = next(fd);
    syscalls::Leave(entered);
    return result;
}
