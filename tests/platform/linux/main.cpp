// The emulated-device suite runs under umockdev's preload library: started without it, the program
// starts itself again with it.
#include <gtest/gtest.h>
#include <umockdev.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    // umockdev_in_mock_environment() answers only once a testbed exists; a variable of ours marks the
    // second start.
    if (std::getenv("PADWRIGHT_UNDER_UMOCKDEV") == nullptr) {
        setenv("PADWRIGHT_UNDER_UMOCKDEV", "1", 1);
        std::string preload = "libumockdev-preload.so.0";
        if (const char* other = std::getenv("LD_PRELOAD"); other != nullptr && *other != '\0') {
            preload += std::string(":") + other;
        }
        setenv("LD_PRELOAD", preload.c_str(), 1);
        execv("/proc/self/exe", argv);
        std::perror("cannot start again under umockdev");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
