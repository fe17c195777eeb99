// The calibration arithmetic: a grid row turned into joydev's broken line and evdev's axis info, read
// back, and evdev values normalised; checked through the kernel's own formula, not ours.
#include <gtest/gtest.h>

#include "emulated_input.h"
#include "platform/linux/kernel_joystick.h"

namespace {

using linuxjoy::AxisCalibration;
using linuxjoy::AxisKernelState;

input_absinfo Info(int min, int max, int fuzz = 0, int flat = 0) {
    input_absinfo info{};
    info.minimum = min;
    info.maximum = max;
    info.fuzz = fuzz;
    info.flat = flat;
    return info;
}

TEST(Calibration, TheBrokenLineSpansTheGridRowOnBothSizesOfDevice) {
    struct Case {
        AxisCalibration cal;
        input_absinfo device;
    } cases[] = {
        {{-32768, 0, 32767, 0}, Info(-32768, 32767, 16, 128)},
        {{-30000, 1200, 31000, 7}, Info(-32768, 32767, 16, 128)},
        {{0, 128, 255, 5}, Info(0, 255)},
        {{12, 100, 240, 0}, Info(0, 255)},
        {{0, 60000, 65535, 0}, Info(0, 65535)},  // far off centre: the short side's coefficient rounds up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cal.min << "/" << c.cal.center << "/" << c.cal.max << " dz " << c.cal.deadZone);
        AxisKernelState state;
        ASSERT_TRUE(linuxjoy::CorrectionFor(c.cal, c.device, &state));
        EXPECT_EQ(emu::JoydevValue(c.cal.min, state.corr), -32767);
        EXPECT_EQ(emu::JoydevValue(c.cal.max, state.corr), 32767);
        EXPECT_EQ(emu::JoydevValue(c.cal.center, state.corr), 0);
        EXPECT_TRUE(linuxjoy::CorrectionFits(state.corr, c.cal.min, c.cal.max));
        EXPECT_EQ(state.corr.prec, c.device.fuzz);
        EXPECT_EQ(state.info.minimum, c.cal.min);
        EXPECT_EQ(state.info.maximum, c.cal.max);
        EXPECT_EQ(state.info.fuzz, c.device.fuzz);

        const AxisCalibration back = linuxjoy::CalibrationOf(state);
        EXPECT_NEAR(back.min, c.cal.min, 1);
        EXPECT_NEAR(back.max, c.cal.max, 1);
        EXPECT_NEAR(back.center, c.cal.center, 1);
        EXPECT_NEAR(back.deadZone, c.cal.deadZone, 1);
    }
}

TEST(Calibration, RowsOutOfOrderAreRefused) {
    const input_absinfo device = Info(0, 255);
    for (const AxisCalibration& cal : {AxisCalibration{0, 328, 2, 0}, AxisCalibration{100, 100, 200, 0},
                                       AxisCalibration{0, 0, 0, 0}, AxisCalibration{0, 128, 255, 101},
                                       AxisCalibration{0, 128, 255, 100}}) {
        AxisKernelState state;
        state.corr.coef[0] = 4711;
        EXPECT_FALSE(linuxjoy::CorrectionFor(cal, device, &state)) << cal.min << "/" << cal.center << "/" << cal.max;
        EXPECT_EQ(state.corr.coef[0], 4711) << "nothing set";
    }
}

TEST(Calibration, LinesJoydevCannotComputeIn32BitsAreRefusedOverTheAxissWholeRange) {
    // 28000/32767/37000 on a 0..65535 axis: coefficient times distance overflows near the ends, and the
    // kernel hands a wrapped value over for a stick held full right.
    AxisKernelState narrow;
    ASSERT_TRUE(linuxjoy::CorrectionFor({28000, 32767, 37000, 0}, Info(0, 65535), &narrow));
    EXPECT_EQ(emu::JoydevValue(65535, narrow.corr), -8484);
    EXPECT_EQ(linuxjoy::JoydevCorrect(65535, narrow.corr), -8484);
    EXPECT_FALSE(linuxjoy::CorrectionFits(narrow.corr, 0, 65535));
    EXPECT_TRUE(linuxjoy::CorrectionFits(narrow.corr, 20000, 45000)) << "a device that never goes further";

    AxisKernelState lowEnd;  // the low side alone too narrow
    ASSERT_TRUE(linuxjoy::CorrectionFor({-3, 0, 32767, 0}, Info(-32768, 32767), &lowEnd));
    EXPECT_FALSE(linuxjoy::CorrectionFits(lowEnd.corr, -32768, 32767));
}

TEST(Calibration, TheKernelsOwnCorrectionReadsBackAsTheRangeItSaturatesAt) {
    // joydev's default line saturates a flat's width inside the ends; the grid shows where.
    AxisKernelState own;
    own.info = Info(0, 255, 0, 15);
    own.corr = emu::DefaultCorrection(own.info);
    const AxisCalibration cal = linuxjoy::CalibrationOf(own);
    EXPECT_EQ(emu::JoydevValue(cal.min, own.corr), -32767);
    EXPECT_EQ(emu::JoydevValue(cal.max, own.corr), 32767);
    EXPECT_GT(emu::JoydevValue(cal.min + 2, own.corr), -32767);
    EXPECT_EQ(cal.center, 127);
}

TEST(Calibration, EvdevValuesNormaliseThroughMinimumMaximumAndFlat) {
    const input_absinfo pad = Info(0, 255, 0, 15);
    EXPECT_EQ(linuxjoy::Normalise(0, pad, 0, 65535), 0);
    EXPECT_EQ(linuxjoy::Normalise(255, pad, 0, 65535), 65535);
    EXPECT_EQ(linuxjoy::Normalise(-40, pad, 0, 65535), 0) << "beyond the ends is clamped";
    EXPECT_EQ(linuxjoy::Normalise(140, pad, 0, 65535), 32768) << "inside the flat band";
    EXPECT_LT(linuxjoy::Normalise(100, pad, 0, 65535), 32768);
    EXPECT_EQ(linuxjoy::Normalise(5, Info(7, 7), 0, 65535), 0) << "an axis without span";
}

}  // namespace
