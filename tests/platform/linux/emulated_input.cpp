// umockdev testbeds with joydev and evdev nodes; the ioctls answered from the emulated kernel's state.
#include "emulated_input.h"
#include "syscall_count.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <stdexcept>

namespace emu {

js_corr DefaultCorrection(const input_absinfo& info) {
    js_corr corr{};
    if (info.maximum == info.minimum) {
        return corr;  // JS_CORR_NONE
    }
    corr.type = JS_CORR_BROKEN;
    corr.prec = static_cast<__s16>(info.fuzz);
    int t = (info.maximum + info.minimum) / 2;
    corr.coef[0] = t - info.flat;
    corr.coef[1] = t + info.flat;
    t = (info.maximum - info.minimum) / 2 - 2 * info.flat;
    if (t != 0) {
        corr.coef[2] = (1 << 29) / t;
        corr.coef[3] = (1 << 29) / t;
    }
    return corr;
}

int JoydevValue(int value, const js_corr& corr) {
    // joydev_correct() on an int: a product that does not fit wraps around (the kernel is built with
    // -fno-strict-overflow), and the shift is arithmetic.
    const auto wrap = [](int64_t x) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(x))); };
    int v = value;
    if (corr.type == JS_CORR_BROKEN) {
        v = v > corr.coef[0] ? (v < corr.coef[1] ? 0 : wrap(int64_t{corr.coef[3]} * wrap(int64_t{v} - corr.coef[1])) >> 14)
                             : wrap(int64_t{corr.coef[2]} * wrap(int64_t{v} - corr.coef[0])) >> 14;
    } else if (corr.type != JS_CORR_NONE) {
        return 0;
    }
    return v < -32767 ? -32767 : v > 32767 ? 32767 : v;
}

struct Testbed::Node {
    Controller* controller;
    bool joydev;
    UMockdevIoctlBase* handler;
    int fd;      // the test's end of the node
    int peerFd;  // the test's end of the other node of the same controller
};

namespace {

// The argument of the ioctl, `len` bytes of it, or null.
UMockdevIoctlData* Arg(UMockdevIoctlClient* client, size_t len) {
    return umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, len, nullptr);
}

bool Reply(UMockdevIoctlClient* client, UMockdevIoctlData* data, const void* from, size_t len, long result) {
    if (data == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
    }
    std::memcpy(data->data, from, len);
    umockdev_ioctl_client_complete(client, result, 0);
    g_object_unref(data);
    return true;
}

int AxisCount(const Controller& c) { return static_cast<int>(c.axes.size()); }

// Writes records into a node as the kernel queues them. Never blocks: like joydev's and evdev's ring
// buffers, a queue nobody reads loses what does not fit.
void Queue(int fd, const void* records, size_t size) {
    if (fd >= 0) {
        /*ssize_t written =*/ ::write(fd, records, size);
    }
}

// An axis moved: evdev's value, its event and report, and joydev's corrected event. The lock is held.
void MoveLocked(Controller& c, int axis, int value, int jsFd, int eventFd) {
    c.abs[c.axes[axis].code].value = value;
    js_event js{};
    js.value = static_cast<__s16>(JoydevValue(value, c.corr[axis]));
    js.type = JS_EVENT_AXIS;
    js.number = static_cast<__u8>(axis);
    Queue(jsFd, &js, sizeof(js));
    input_event ev[2] = {};
    ev[0].type = EV_ABS;
    ev[0].code = static_cast<__u16>(c.axes[axis].code);
    ev[0].value = value;
    ev[1].type = EV_SYN;
    ev[1].code = SYN_REPORT;
    Queue(eventFd, ev, sizeof(ev));
}

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto* node = static_cast<Testbed::Node*>(user);
    Controller& c = *node->controller;
    std::lock_guard<std::mutex> guard(c.lock);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const unsigned type = _IOC_TYPE(request);
    const unsigned nr = _IOC_NR(request);
    const size_t size = _IOC_SIZE(request);
    const size_t corrBytes = sizeof(js_corr) * c.axes.size();  // the kernel copies one entry an axis
    if (c.unplugged) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }

    if (node->joydev && type == 'j') {
        if (nr == _IOC_NR(JSIOCGVERSION)) {
            const __u32 version = JS_VERSION;
            return Reply(client, Arg(client, sizeof(version)), &version, sizeof(version), 0);
        }
        if (nr == _IOC_NR(JSIOCGAXES) || nr == _IOC_NR(JSIOCGBUTTONS)) {
            const __u8 count = static_cast<__u8>(nr == _IOC_NR(JSIOCGAXES) ? AxisCount(c) : c.buttons);
            return Reply(client, Arg(client, 1), &count, 1, 0);
        }
        if (nr == _IOC_NR(JSIOCGNAME(0))) {
            const size_t len = std::min(size, c.name.size() + 1);
            return Reply(client, Arg(client, len), c.name.c_str(), len, static_cast<long>(len));
        }
        if (nr == _IOC_NR(JSIOCGAXMAP)) {
            std::array<__u8, ABS_CNT> map{};
            for (size_t i = 0; i < c.axes.size(); ++i) map[i] = static_cast<__u8>(c.axes[i].code);
            return Reply(client, Arg(client, map.size()), map.data(), map.size(), 0);
        }
        if (nr == _IOC_NR(JSIOCGCORR)) {
            return Reply(client, Arg(client, corrBytes), c.corr.data(), corrBytes, 0);
        }
        if (nr == _IOC_NR(JSIOCSCORR)) {
            UMockdevIoctlData* data = Arg(client, corrBytes);
            if (data == nullptr) {
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
            std::memcpy(c.corr.data(), data->data, corrBytes);
            ++c.corrWrites;
            g_object_unref(data);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
    }
    if (!node->joydev && type == 'E') {
        if (nr == _IOC_NR(EVIOCGNAME(0))) {
            const size_t len = std::min(size, c.name.size() + 1);
            return Reply(client, Arg(client, len), c.name.c_str(), len, static_cast<long>(len));
        }
        if (nr == _IOC_NR(EVIOCGID)) {
            return Reply(client, Arg(client, sizeof(c.id)), &c.id, sizeof(c.id), 0);
        }
        if (nr == _IOC_NR(EVIOCGUNIQ(0)) || nr == _IOC_NR(EVIOCGPHYS(0))) {
            // The kernel answers ENOENT for a string the device does not have.
            const std::string& text = nr == _IOC_NR(EVIOCGUNIQ(0)) ? c.uniq : c.phys;
            if (text.empty()) {
                umockdev_ioctl_client_complete(client, -1, ENOENT);
                return TRUE;
            }
            const size_t len = std::min(size, text.size() + 1);
            return Reply(client, Arg(client, len), text.c_str(), len, static_cast<long>(len));
        }
        if (nr >= 0x40 && nr < 0x40 + ABS_CNT) {
            return Reply(client, Arg(client, sizeof(input_absinfo)), &c.abs[nr - 0x40], sizeof(input_absinfo), 0);
        }
        if (nr >= 0xc0 && nr < 0xc0 + ABS_CNT) {
            UMockdevIoctlData* data = Arg(client, sizeof(input_absinfo));
            if (data == nullptr) {
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
            if (c.moveBeforeWriteCode == static_cast<int>(nr - 0xc0)) {
                c.moveBeforeWriteCode = -1;
                for (size_t axis = 0; axis < c.axes.size(); ++axis) {
                    if (c.axes[axis].code == static_cast<int>(nr - 0xc0)) {
                        MoveLocked(c, static_cast<int>(axis), c.moveBeforeWriteValue, node->peerFd, node->fd);
                    }
                }
            }
            std::memcpy(&c.abs[nr - 0xc0], data->data, sizeof(input_absinfo));
            ++c.absWrites;
            g_object_unref(data);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
    }
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
    return TRUE;
}

}  // namespace

Testbed::Testbed() : m_testbed(umockdev_testbed_new()) {}

Testbed::~Testbed() {
    for (Node* node : m_nodes) {
        g_object_unref(node->handler);
        delete node;
    }
    g_object_unref(m_testbed);
    for (Controller* c : m_controllers) delete c;
}

Controller& Testbed::AddStick(unsigned js, unsigned event) {
    std::vector<AxisSpec> axes;
    for (int code : {ABS_X, ABS_Y, ABS_Z, ABS_RZ, ABS_THROTTLE, ABS_RUDDER}) axes.push_back({code, -32768, 32767, 16, 128});
    return Add("Padwright Test Stick", js, event, axes, 8);
}

Controller& Testbed::AddPad(unsigned js, unsigned event) {
    return Add("Padwright Test Pad", js, event, {{ABS_X, 0, 255, 0, 15}, {ABS_Y, 0, 255, 0, 15}}, 4);
}

Controller& Testbed::Add(const std::string& name, unsigned js, unsigned event, std::vector<AxisSpec> axes, int buttons,
                         const std::string& uniq, const std::string& port) {
    auto* c = new Controller;
    m_controllers.push_back(c);
    c->name = name;
    c->uniq = uniq;
    c->idPath = port.empty() ? "pci-0000:00:14.0-usb-0:" + std::to_string(1 + event % 8) + ":1.0" : port;
    c->phys = "usb-" + c->idPath + "/input0";
    c->js = js;
    c->event = event;
    c->axes = std::move(axes);
    c->buttons = buttons;
    for (size_t i = 0; i < c->axes.size(); ++i) {
        const AxisSpec& a = c->axes[i];
        input_absinfo& info = c->abs[a.code];
        info.minimum = a.min;
        info.maximum = a.max;
        info.fuzz = a.fuzz;
        info.flat = a.flat;
        info.value = (a.min + a.max) / 2;
        c->corr[i] = DefaultCorrection(info);
    }

    const std::string input = "/devices/virtual/input/input" + std::to_string(100 + event);
    // udev's properties of each node, as 60-persistent-input.rules and 70-joystick.rules set them.
    // The ioctls answer the name as it is; umockdev's description takes it printable.
    const auto printable = [](std::string text) {
        for (char& ch : text) ch = ch >= 0x20 && ch < 0x7f && ch != '"' ? ch : '_';
        return text;
    };
    const std::string udev = "\nE: SUBSYSTEM=input\nE: ID_INPUT=1\nE: ID_INPUT_JOYSTICK=1\nE: ID_PATH=" + c->idPath;
    const std::string description =
        "P: " + input + "\nE: SUBSYSTEM=input\nE: NAME=\"" + printable(name) + "\"\nA: name=" + printable(name) + "\nA: uniq=" + printable(uniq) +
        "\nA: phys=" + c->phys + "\n\n" +
        "P: " + input + "/js" + std::to_string(js) + "\nN: input/js" + std::to_string(js) +
        "\nE: DEVNAME=/dev/input/js" + std::to_string(js) + "\nE: MAJOR=13\nE: MINOR=" + std::to_string(js) + udev +
        "\nL: device=../../input" + std::to_string(100 + event) + "\n\n" +
        "P: " + input + "/event" + std::to_string(event) + "\nN: input/event" + std::to_string(event) +
        "\nE: DEVNAME=/dev/input/event" + std::to_string(event) + "\nE: MAJOR=13\nE: MINOR=" +
        std::to_string(64 + event) + udev + "\nL: device=../../input" + std::to_string(100 + event) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, description.c_str(), &error)) {
        const std::string message = error != nullptr ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: " + message);
    }
    Attach(*c, JsNode(*c), true);
    Attach(*c, EventNode(*c), false);
    return *c;
}

void Testbed::Attach(Controller& c, const std::string& path, bool joydev) {
    auto* node = new Node{&c, joydev, umockdev_ioctl_base_new(), -1, -1};
    m_nodes.push_back(node);
    g_signal_connect(node->handler, "handle-ioctl", G_CALLBACK(HandleIoctl), node);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(m_testbed, path.c_str(), node->handler, &error)) {
        const std::string message = error != nullptr ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("umockdev ioctl on " + path + ": " + message);
    }
    // The node is a pseudo-terminal: raw, so that binary records pass unchanged, and written without
    // blocking.
    const int fd = umockdev_testbed_get_dev_fd(m_testbed, path.c_str());
    termios tio{};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    node->fd = fd;
    // The js node is attached first; the event node completes the pair.
    if (!joydev) {
        for (Node* other : m_nodes) {
            if (other->controller == &c && other->joydev) {
                other->peerFd = fd;
                node->peerFd = other->fd;
            }
        }
    }
}

void Testbed::Unplug(Controller& c) {
    {
        // The kernel answers ENODEV to every ioctl and read of a device gone; a read of a pseudo-terminal
        // whose other end is closed fails with EIO.
        std::lock_guard<std::mutex> guard(c.lock);
        c.unplugged = true;
        for (Node* node : m_nodes) {
            if (node->controller == &c && node->fd >= 0) {
                ::close(node->fd);
                node->fd = -1;
            }
        }
        for (Node* node : m_nodes) {
            if (node->controller == &c) node->peerFd = -1;
        }
    }
    const std::string input = "/sys/devices/virtual/input/input" + std::to_string(100 + c.event);
    umockdev_testbed_remove_device(m_testbed, (input + "/js" + std::to_string(c.js)).c_str());
    umockdev_testbed_remove_device(m_testbed, (input + "/event" + std::to_string(c.event)).c_str());
    umockdev_testbed_remove_device(m_testbed, input.c_str());
    // umockdev leaves the /dev nodes behind; udev would remove them.
    gchar* root = umockdev_testbed_get_root_dir(m_testbed);
    for (const std::string& node : {JsNode(c), EventNode(c)}) ::unlink((std::string(root) + node).c_str());
    g_free(root);
}

Testbed::Node* Testbed::FindNode(const Controller& c, bool joydev) const {
    for (Node* node : m_nodes) {
        if (node->controller == &c && node->joydev == joydev) return node;
    }
    return nullptr;
}

void Testbed::Move(Controller& c, int axis, int value) {
    const Node* js = FindNode(c, true);
    const Node* event = FindNode(c, false);
    std::lock_guard<std::mutex> guard(c.lock);
    MoveLocked(c, axis, value, js != nullptr ? js->fd : -1, event != nullptr ? event->fd : -1);
}

// ---- open() refused for chosen paths

namespace {
std::mutex g_denyLock;
std::vector<std::pair<std::string, bool>> g_denied;  // path, only when asked for writing
}  // namespace

void DenyOpen(const std::string& path, bool writeOnly) {
    std::lock_guard<std::mutex> guard(g_denyLock);
    g_denied.emplace_back(path, writeOnly);
}

void AllowAllOpens() {
    std::lock_guard<std::mutex> guard(g_denyLock);
    g_denied.clear();
}

}  // namespace emu

// Stands in front of the C library's open() (and umockdev's): a refused path fails with EACCES as a node
// without permission does. Everything else goes on to the next open() in line.
extern "C" int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    {
        std::lock_guard<std::mutex> guard(emu::g_denyLock);
        for (const auto& [denied, writeOnly] : emu::g_denied) {
            if (denied == path && (!writeOnly || (flags & O_ACCMODE) != O_RDONLY)) {
                errno = EACCES;
                return -1;
            }
        }
    }
    using OpenFn = int (*)(const char*, int, ...);
    static const auto next = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, "open"));
    const syscalls::Call counted;
    return next(path, flags, mode);
}
