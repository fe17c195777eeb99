// Emulated joysticks for the Linux platform's tests: umockdev testbeds with a js node and an event
// node per controller, the joydev and evdev ioctls answered from a small model of the kernel's state,
// events written into the nodes, unplug, and nodes whose open() is refused.
#pragma once

#include <linux/input.h>
#include <linux/joystick.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace emu {

struct AxisSpec {
    int code;  // ABS_*
    int min, max, fuzz, flat;
};

// What the emulated kernel holds for one controller; guarded by `lock` (the handlers run on umockdev's
// thread).
struct Controller {
    std::string name;
    unsigned js = 0;
    unsigned event = 0;
    std::vector<AxisSpec> axes;
    int buttons = 0;
    // What identifies it: EVIOCGID, EVIOCGUNIQ, EVIOCGPHYS, and udev's ID_PATH (a USB port by default).
    input_id id{BUS_USB, 0x1209, 0x7a01, 0x0111};
    std::string uniq;
    std::string phys;
    std::string idPath;
    std::mutex lock;
    std::array<js_corr, ABS_CNT> corr{};
    std::array<input_absinfo, ABS_CNT> abs{};
    int corrWrites = 0;
    int absWrites = 0;
    bool unplugged = false;  // every ioctl answers ENODEV, as the kernel does for a device gone
    // A move that reaches the kernel just before the next EVIOCSABS of this axis code: after the writer
    // read the axis info, before its write lands.
    int moveBeforeWriteCode = -1;
    int moveBeforeWriteValue = 0;
};

// The kernel's own correction for an axis, as joydev computes it when a device connects.
js_corr DefaultCorrection(const input_absinfo& info);
// What joydev hands over for a value under a correction, as the kernel computes it.
int JoydevValue(int value, const js_corr& corr);

class Testbed {
public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // A 16-bit stick with six axes and an 8-bit pad with two.
    Controller& AddStick(unsigned js, unsigned event);
    Controller& AddPad(unsigned js, unsigned event);
    // `port` is udev's ID_PATH (and the kernel's phys is made from it); `uniq` the device's unique id.
    Controller& Add(const std::string& name, unsigned js, unsigned event, std::vector<AxisSpec> axes, int buttons,
                    const std::string& uniq = "", const std::string& port = "");
    void Unplug(Controller& c);

    // Moves an axis (index into the controller's axes): evdev's value and event, and joydev's event with
    // the correction the emulated kernel holds.
    void Move(Controller& c, int axis, int value);

    static std::string JsNode(const Controller& c) { return "/dev/input/js" + std::to_string(c.js); }
    static std::string EventNode(const Controller& c) { return "/dev/input/event" + std::to_string(c.event); }

    struct Node;  // one emulated node and its ioctl handler

private:
    void Attach(Controller& c, const std::string& node, bool joydev);
    Node* FindNode(const Controller& c, bool joydev) const;

    UMockdevTestbed* m_testbed;
    std::vector<Controller*> m_controllers;
    std::vector<Node*> m_nodes;
};

// Refuses open() of `path` with EACCES: always, or only when asked for writing.
void DenyOpen(const std::string& path, bool writeOnly);
void AllowAllOpens();

}  // namespace emu
