// The two nodes of one controller (joydev's jsN and evdev's eventM of the same input device), found
// from either, checked and opened without blocking; the controller's identity and its axes. Used by the
// programs that run as root (padwright-apply, padwright-store): they trust no path, no string and no
// size a device reports.
#pragma once

#include <linux/input.h>
#include <linux/joystick.h>

#include <array>
#include <string>

#include "platform/linux/keep/kept_store.h"

namespace keep {

class ControllerNodes {
public:
    ControllerNodes() = default;
    ~ControllerNodes();
    ControllerNodes(const ControllerNodes&) = delete;
    ControllerNodes& operator=(const ControllerNodes&) = delete;

    // `node` must be /dev/input/jsN or /dev/input/eventN, a character device, whose input device has both
    // a js and an event node. Opened for writing when `write`. False with a reason otherwise.
    bool Open(const std::string& node, bool write, std::string* why);

    bool givenIsJoydev() const { return m_givenIsJoydev; }
    const std::string& jsNode() const { return m_jsNode; }
    const std::string& eventNode() const { return m_eventNode; }
    int jsFd() const { return m_jsFd; }
    int eventFd() const { return m_eventFd; }

    // Bus, vendor, product, name and unique id from evdev; the port from udev (its environment when
    // udev runs us for this node, else its database).
    bool ReadIdentity(Identity* id, std::string* why) const;
    // joydev's axes (at most kMaxAxes are used), the evdev axis each maps, and its correction table.
    bool ReadJoydev(int* axes, std::array<__u8, ABS_CNT>* map, std::array<js_corr, ABS_CNT>* table, std::string* why) const;

private:
    std::string m_given;
    bool m_givenIsJoydev = false;
    std::string m_jsNode;
    std::string m_eventNode;
    int m_jsFd = -1;
    int m_eventFd = -1;
};

// A controller's identity from its open event node; `node` is the node udev was asked about (js or event),
// whose ID_PATH is the port.
bool ReadIdentity(int eventFd, const std::string& node, Identity* id, std::string* why);

// "/dev/input/js<N>" or "/dev/input/event<N>" with N a plain decimal below 10000.
bool ParseNodePath(const std::string& path, bool* joydev, unsigned* number);

}  // namespace keep
