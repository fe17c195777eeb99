// Another program's view of an emulated node: plain open and ioctl, none of Padwright's code.
#pragma once

#include <fcntl.h>
#include <linux/input.h>
#include <linux/joystick.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace emu {

struct OtherReader {
    static js_corr Correction(const std::string& node, int axis) {
        js_corr table[ABS_CNT] = {};
        const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
        EXPECT_GE(fd, 0) << node;
        EXPECT_EQ(::ioctl(fd, JSIOCGCORR, table), 0) << node;
        ::close(fd);
        return table[axis];
    }
    static input_absinfo AxisInfo(const std::string& node, int code) {
        input_absinfo info{};
        const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
        EXPECT_GE(fd, 0) << node;
        EXPECT_EQ(::ioctl(fd, EVIOCGABS(code), &info), 0) << node;
        ::close(fd);
        return info;
    }
};

}  // namespace emu
