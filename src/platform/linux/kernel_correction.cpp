// The kernel's correction arithmetic for one axis: joydev's broken line and evdev's axis info for a
// calibration, the calibration read back from them, and what joydev computes under a correction.
#include "platform/linux/kernel_joystick.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace linuxjoy {

bool SameCorrection(const js_corr& a, const js_corr& b) {
    return a.type == b.type && a.prec == b.prec && std::memcmp(a.coef, b.coef, sizeof(a.coef)) == 0;
}

bool SameAxisInfo(const input_absinfo& a, const input_absinfo& b) {
    return a.minimum == b.minimum && a.maximum == b.maximum && a.flat == b.flat;
}

bool CorrectionFor(const AxisCalibration& cal, const input_absinfo& current, AxisKernelState* out) {
    if (cal.deadZone > 100) {
        return false;
    }
    const int64_t min = cal.min;
    const int64_t center = cal.center;
    const int64_t max = cal.max;
    const int64_t lo = center - static_cast<int64_t>(cal.deadZone) * (center - min) / 100;
    const int64_t hi = center + static_cast<int64_t>(cal.deadZone) * (max - center) / 100;
    if (!(min < lo && lo <= hi && hi < max)) {
        return false;
    }
    AxisKernelState state;
    state.corr.type = JS_CORR_BROKEN;
    state.corr.prec = static_cast<__s16>(current.fuzz);
    state.corr.coef[0] = static_cast<__s32>(lo);
    state.corr.coef[1] = static_cast<__s32>(hi);
    // Rounded up, so that min and max reach full deflection after the kernel's 14-bit shift.
    constexpr int64_t kFull = int64_t{1} << 29;
    state.corr.coef[2] = static_cast<__s32>((kFull + (lo - min) - 1) / (lo - min));
    state.corr.coef[3] = static_cast<__s32>((kFull + (max - hi) - 1) / (max - hi));
    state.info = current;
    state.info.minimum = cal.min;
    state.info.maximum = cal.max;
    state.info.flat = static_cast<__s32>(static_cast<int64_t>(cal.deadZone) * (max - min) / 200);
    *out = state;
    return true;
}

AxisCalibration CalibrationOf(const AxisKernelState& state) {
    AxisCalibration cal;
    const js_corr& c = state.corr;
    if (c.type == JS_CORR_BROKEN && c.coef[2] > 0 && c.coef[3] > 0) {
        const double lo = c.coef[0];
        const double hi = c.coef[1];
        const double min = lo - std::ldexp(1.0, 29) / c.coef[2];
        const double max = hi + std::ldexp(1.0, 29) / c.coef[3];
        cal.min = static_cast<int32_t>(std::lround(min));
        cal.max = static_cast<int32_t>(std::lround(max));
        // The dead band takes the same share of each half: lo = c - d*(c - min), so c = (lo - d*min) / (1 - d).
        const double share = max > min ? (hi - lo) / (max - min) : 0;
        cal.center = static_cast<int32_t>(std::lround(share < 1 ? (lo - share * min) / (1 - share) : (lo + hi) / 2));
        cal.deadZone = static_cast<uint32_t>(std::lround(100.0 * share));
        return cal;
    }
    // No broken line on joydev: the axis info says what the device spans.
    cal.min = state.info.minimum;
    cal.max = state.info.maximum;
    cal.center = static_cast<int32_t>((static_cast<int64_t>(state.info.minimum) + state.info.maximum) / 2);
    const int64_t span = static_cast<int64_t>(state.info.maximum) - state.info.minimum;
    cal.deadZone = span > 0 ? static_cast<uint32_t>(std::llround(200.0 * state.info.flat / static_cast<double>(span))) : 0;
    return cal;
}

int32_t JoydevCorrect(int32_t value, const js_corr& corr) {
    // Two's complement arithmetic on 32 bits, as the kernel's int does it.
    const auto sub = [](int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); };
    const auto mul = [](int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); };
    int32_t v = value;
    if (corr.type == JS_CORR_BROKEN) {
        v = v > corr.coef[0] ? (v < corr.coef[1] ? 0 : mul(corr.coef[3], sub(v, corr.coef[1])) >> 14)
                             : mul(corr.coef[2], sub(v, corr.coef[0])) >> 14;
    } else if (corr.type != JS_CORR_NONE) {
        return 0;
    }
    return v < -32767 ? -32767 : v > 32767 ? 32767 : v;
}

bool CorrectionFits(const js_corr& corr, int32_t min, int32_t max) {
    if (corr.type != JS_CORR_BROKEN) {
        return true;
    }
    // Each side of the line is linear in the value, so its ends bound every product in between.
    const auto fits = [](int64_t x) { return x >= INT32_MIN && x <= INT32_MAX; };
    const int64_t lo = corr.coef[0];
    const int64_t hi = corr.coef[1];
    for (const int64_t v : {int64_t{min}, int64_t{max}}) {
        if (v <= lo && !(fits(v - lo) && fits(corr.coef[2] * (v - lo)))) {
            return false;
        }
        if (v >= hi && !(fits(v - hi) && fits(corr.coef[3] * (v - hi)))) {
            return false;
        }
    }
    return true;
}

AxisCalibration IdentityOf(const input_absinfo& info) {
    AxisCalibration cal;
    cal.min = info.minimum;
    cal.max = info.maximum;
    cal.center = static_cast<int32_t>((static_cast<int64_t>(info.minimum) + info.maximum) / 2);
    const int64_t span = static_cast<int64_t>(info.maximum) - info.minimum;
    const int64_t flat = info.flat > 0 ? info.flat : 0;
    cal.deadZone = span > 0 ? static_cast<uint32_t>(std::min<int64_t>(100, (200 * flat + span / 2) / span)) : 0;
    return cal;
}

bool SameCalibration(const AxisCalibration& a, const AxisCalibration& b) {
    return a.min == b.min && a.center == b.center && a.max == b.max && a.deadZone == b.deadZone;
}

int32_t Normalise(int32_t value, const input_absinfo& info, int32_t lo, int32_t hi) {
    const double span = static_cast<double>(info.maximum) - info.minimum;
    if (span <= 0 || hi <= lo) {
        return lo;
    }
    const double half = span / 2;
    const double deviation = value - (static_cast<double>(info.minimum) + half);
    const double flat = info.flat > 0 ? info.flat : 0;
    double share = 0;  // -1 .. 1
    if (std::fabs(deviation) > flat && half > flat) {
        share = (std::fabs(deviation) - flat) / (half - flat);
        share = share > 1 ? 1 : share;
        share = deviation < 0 ? -share : share;
    }
    return static_cast<int32_t>(std::lround(lo + (static_cast<double>(hi) - lo) * (0.5 + share / 2)));
}

}  // namespace linuxjoy
