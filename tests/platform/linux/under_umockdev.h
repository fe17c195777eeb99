// The emulated nodes need umockdev's preload library: a program started without it starts itself again
// with it. umockdev_in_mock_environment() answers only once a testbed exists, so a variable of ours marks
// the second start.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Returns on the second start; on the first, only when starting again failed (false).
inline bool StartUnderUmockdev(char** argv) {
    if (std::getenv("PADWRIGHT_UNDER_UMOCKDEV") != nullptr) {
        return true;
    }
    setenv("PADWRIGHT_UNDER_UMOCKDEV", "1", 1);
    std::string preload = "libumockdev-preload.so.0";
    if (const char* other = std::getenv("LD_PRELOAD"); other != nullptr && *other != '\0') {
        preload += std::string(":") + other;
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("cannot start again under umockdev");
    return false;
}
