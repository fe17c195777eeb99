// padwright-apply DEVNODE: run by udev (72-padwright.rules) as root when a joystick's js or event node
// appears, before any program is told of it. Puts a kept calibration on that node when the store has
// one for this controller and the driver's own axis info still matches its fingerprint. Never waits,
// always exits 0, and says on its standard error (udev's log) why it did nothing.
#include <sys/ioctl.h>

#include <cstdio>
#include <string>

#include "platform/linux/kernel_joystick.h"
#include "platform/linux/keep/controller_nodes.h"
#include "platform/linux/keep/kept_store.h"

namespace {

using keep::KeptAxis;

// Whether the node still holds the driver's own value for the axis (its fingerprint), or already the
// kept one (a replayed or repeated event).
bool JoydevMatches(const js_corr& now, const KeptAxis& a) {
    return linuxjoy::SameCorrection(now, keep::OwnCorrection(a.ownMin, a.ownMax, a.ownFuzz, a.ownFlat)) ||
           linuxjoy::SameCorrection(now, a.corr);
}

bool EvdevMatches(const input_absinfo& now, const KeptAxis& a) {
    const bool own = now.minimum == a.ownMin && now.maximum == a.ownMax && now.flat == a.ownFlat;
    const bool kept = now.minimum == a.min && now.maximum == a.max && now.flat == a.flat;
    return now.fuzz == a.ownFuzz && (own || kept);
}

// What was done, or why nothing was; an empty text when there is nothing kept for this controller.
std::string Apply(const std::string& node) {
    keep::ControllerNodes nodes;
    std::string why;
    if (!nodes.Open(node, true, &why)) {
        return why;
    }
    keep::Identity id;
    keep::KeptCalibration kept;
    if (!nodes.ReadIdentity(&id, &why)) {
        return why;
    }
    if (!keep::FindKept(keep::StoreDir(), id, &kept, &why)) {
        return why == "no store" ? "" : why;
    }
    int axes = 0;
    std::array<__u8, ABS_CNT> map{};
    std::array<js_corr, ABS_CNT> table{};
    if (!nodes.ReadJoydev(&axes, &map, &table, &why)) {
        return why;
    }
    std::array<input_absinfo, keep::kMaxAxes> info{};
    for (size_t i = 0; i < kept.axes.size(); ++i) {
        const KeptAxis& a = kept.axes[i];
        if (a.index >= axes || map[a.index] != a.code) {
            return "the driver's axes differ from the fingerprint: nothing applied";
        }
        const bool matches = nodes.givenIsJoydev()
                                 ? JoydevMatches(table[a.index], a)
                                 : ::ioctl(nodes.eventFd(), EVIOCGABS(a.code), &info[i]) == 0 && EvdevMatches(info[i], a);
        if (!matches) {
            return "the driver's own ranges differ from the fingerprint: nothing applied";
        }
    }
    if (nodes.givenIsJoydev()) {
        bool changed = false;
        for (const KeptAxis& a : kept.axes) {
            changed = changed || !linuxjoy::SameCorrection(table[a.index], a.corr);
            table[a.index] = a.corr;
        }
        if (changed && ::ioctl(nodes.jsFd(), JSIOCSCORR, table.data()) != 0) {
            return "the correction could not be written";
        }
        return changed ? "kept correction applied to " + nodes.jsNode() : "";
    }
    bool changed = false;
    for (size_t i = 0; i < kept.axes.size(); ++i) {
        const KeptAxis& a = kept.axes[i];
        input_absinfo wanted = info[i];  // value, fuzz and resolution stay the device's
        wanted.minimum = a.min;
        wanted.maximum = a.max;
        wanted.flat = a.flat;
        if (linuxjoy::SameAxisInfo(wanted, info[i])) continue;
        if (::ioctl(nodes.eventFd(), EVIOCSABS(a.code), &wanted) != 0) {
            return "the axis info could not be written";
        }
        changed = true;
    }
    return changed ? "kept axis info applied to " + nodes.eventNode() : "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: padwright-apply /dev/input/jsN|/dev/input/eventN\n");
        return 0;
    }
    bool joydev = false;
    unsigned number = 0;
    const std::string node = argv[1];
    const std::string said = Apply(node);
    if (!said.empty()) {
        // The node is only named once it has the form of one; the rest is our own text.
        std::fprintf(stderr, "padwright-apply: %s: %s\n", keep::ParseNodePath(node, &joydev, &number) ? node.c_str() : "?",
                     said.c_str());
    }
    return 0;
}
