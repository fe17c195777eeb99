// The emulated-device suite runs under umockdev's preload library.
#include <gtest/gtest.h>

#include "under_umockdev.h"

int main(int argc, char** argv) {
    if (!StartUnderUmockdev(argv)) return 1;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
