// One joystick number on the Linux kernel: its joydev node /dev/input/jsN and the evdev node of the same
// input device, opened without blocking, read on demand, and their calibration read and written.
#pragma once

#include <linux/input.h>
#include <linux/joystick.h>

#include <array>
#include <cstdint>
#include <string>

namespace linuxjoy {

constexpr int kAxes = 6;  // the dialog's X, Y, Z, R, U, V: joydev's axes 0..5

// What the user asked for one axis: minimum, centre, maximum and a dead zone in percent of each half.
struct AxisCalibration {
    int32_t min = 0;
    int32_t center = 0;
    int32_t max = 0;
    uint32_t deadZone = 0;
};

// The kernel's correction of one axis on both interfaces.
struct AxisKernelState {
    js_corr corr{};
    input_absinfo info{};
};

bool SameCorrection(const js_corr& a, const js_corr& b);
bool SameAxisInfo(const input_absinfo& a, const input_absinfo& b);  // minimum, maximum, flat

// The broken line and axis info for a calibration. False, and nothing set, when the values are not in
// order (min < centre - dead band, centre + dead band < max).
bool CorrectionFor(const AxisCalibration& cal, const input_absinfo& current, AxisKernelState* out);
// The calibration a correction stands for, read back from its coefficients (rounded to whole units).
AxisCalibration CalibrationOf(const AxisKernelState& state);
// What joydev hands over for a value under a correction, computed as the kernel does it: in 32-bit int,
// wrapping where a product overflows (the kernel is built with -fno-strict-overflow), then clamped.
int32_t JoydevCorrect(int32_t value, const js_corr& corr);
// Whether joydev's arithmetic under `corr` stays within 32 bits for every value from min to max, so that
// what it hands over is the broken line and not a wrapped product.
bool CorrectionFits(const js_corr& corr, int32_t min, int32_t max);
// The calibration that changes nothing an axis reports: its own minimum, midpoint and maximum, and the
// dead zone its flat band stands for.
AxisCalibration IdentityOf(const input_absinfo& info);
bool SameCalibration(const AxisCalibration& a, const AxisCalibration& b);
// An evdev value mapped through its axis info onto lo..hi: the middle within the flat band, the ends
// at minimum and maximum.
int32_t Normalise(int32_t value, const input_absinfo& info, int32_t lo, int32_t hi);

// What a number costs per refresh tick on a steady device: the correction table and each shown axis's
// info are fetched once a tick (kFactsMs) or after a write, the evdev queue is read for the axes' values,
// and an absent number's node is looked for only when asked to look or once a second.
class KernelJoystick {
public:
    enum class Status { Absent, Denied, Present };
    static constexpr int64_t kFactsMs = 20;      // under half the refresh period: one fetch a tick
    static constexpr int64_t kLookAgainMs = 1000;

    explicit KernelJoystick(unsigned number);
    ~KernelJoystick();
    KernelJoystick(const KernelJoystick&) = delete;
    KernelJoystick& operator=(const KernelJoystick&) = delete;

    // Opens the nodes when a node has appeared (looked for when `look`, or after kLookAgainMs), and
    // fetches the kernel's facts when they are older than kFactsMs; a node the kernel has taken away
    // (unplug) closes the number. Never waits on the device.
    Status Refresh(bool look = false);
    Status status() const { return m_status; }

    unsigned number() const { return m_number; }
    const std::string& name() const { return m_name; }
    // The polled-device text: the name with its nodes, or why the nodes cannot be used.
    std::string Description() const;
    int axes() const { return m_axes; }       // joydev's axes shown, 0..6
    int buttons() const { return m_buttons; }
    bool HasEvdev() const { return m_eventFd >= 0; }
    bool Writable() const { return m_jsWritable && (m_eventFd < 0 || m_eventWritable); }

    // Takes in the events the nodes have queued: the axes' latest values. Called by each read of values,
    // right after the Refresh that found the number present.
    void TakeEvents();
    // What joydev hands a game for an axis now: the kernel's formula on evdev's value under the current
    // correction (joydev's own events where there is no evdev node).
    int32_t JoydevValue(int axis) const;
    // evdev's value and axis info of an axis, as last fetched and moved by events since.
    bool ReadEvdev(int axis, input_absinfo* info) const;

    // The kernel's correction of every shown axis now (fetched when older than kFactsMs), and the device's
    // own: as it was when the nodes were opened, or the driver's as kept with a calibration put back by
    // padwright-apply.
    bool ReadKernelState(std::array<AxisKernelState, kAxes>* state);
    const std::array<AxisKernelState, kAxes>& OwnState() const { return m_own; }
    // Writes the axes whose state differs from the kernel's; returns false when a write failed or the
    // nodes may not be written. evdev's value is never written back from an earlier read.
    bool WriteKernelState(const std::array<AxisKernelState, kAxes>& state);

    void Close();

private:
    bool Open();
    bool FetchFacts();  // false when the device has gone
    // Where a kept calibration is on the nodes, the device's own state is the fingerprint kept with it.
    void OwnFromKeptFingerprint();
    void DrainJoydev();
    // Reads evdev's queue; returns the axes (bits) that moved. A dropped queue fetches the facts again.
    unsigned DrainEvdev();
    bool Gone(int error);  // closes the number when `error` says the device is no more

    unsigned m_number;
    std::string m_jsPath;
    std::string m_eventPath;
    Status m_status = Status::Absent;
    std::string m_deniedPath;      // the node that would not open
    int64_t m_retryAfterMs = 0;     // an absent or denied node is looked for again after this time
    int m_jsFd = -1;
    int m_eventFd = -1;
    bool m_jsWritable = false;
    bool m_eventWritable = false;
    std::string m_name;
    int m_axes = 0;
    int m_joydevAxes = 0;           // all of joydev's axes: the length of its correction table
    int m_buttons = 0;
    std::array<uint8_t, ABS_CNT> m_axisMap{};
    std::array<int32_t, kAxes> m_joyValue{};   // joydev's events, for a number without evdev
    std::array<AxisKernelState, kAxes> m_facts{};
    bool m_factsValid = false;
    int64_t m_factsMs = 0;
    bool m_dropped = false;         // evdev dropped events: values wait for the next report
    bool m_justDrained = false;     // the last Refresh fetched and read the queue; TakeEvents need not
    std::array<AxisKernelState, kAxes> m_own{};
};

}  // namespace linuxjoy
