// Interposers in front of the C library's (and umockdev's) ioctl, read and stat; open is interposed in
// emulated_input.cpp and counts through syscalls::Call too.
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

Call::Call() {
    if (t_counting && t_depth == 0) ++t_count;
    ++t_depth;
}

Call::~Call() { --t_depth; }

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
    const syscalls::Call counted;
    return next(fd, request, arg);
}

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
    const syscalls::Call counted;
    return next(fd, buffer, size);
}

extern "C" int stat(const char* path, struct stat* st) {
    static const auto next = Next<int (*)(const char*, struct stat*)>("stat");
    const syscalls::Call counted;
    return next(path, st);
}
