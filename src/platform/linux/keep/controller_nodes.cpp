// A controller's js and event nodes, found through sysfs, and what they say about the controller.
#include "platform/linux/keep/controller_nodes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace keep {

namespace {

constexpr const char* kDevInput = "/dev/input/";
constexpr size_t kMaxUdevRecord = 16384;

bool ParseNumber(const char* s, unsigned* number) {
    const size_t n = std::strlen(s);
    if (n == 0 || n > 4 || (s[0] == '0' && n > 1)) return false;
    for (size_t i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    *number = static_cast<unsigned>(std::atoi(s));
    return true;
}

// The other node of the input device, from the entries of /sys/class/input/<node>/device named by the
// kernel: "js<N>" or "event<N>". Empty when there is none.
std::string SiblingOf(const std::string& nodeName, bool wantJoydev) {
    const std::string dirPath = "/sys/class/input/" + nodeName + "/device";
    DIR* dir = ::opendir(dirPath.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string found;
    const char* prefix = wantJoydev ? "js" : "event";
    unsigned number = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix, std::strlen(prefix)) == 0 &&
            ParseNumber(entry->d_name + std::strlen(prefix), &number)) {
            found = std::string(kDevInput) + prefix + std::to_string(number);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// A string the kernel holds for the device (at most kMaxName bytes), cut at its first NUL.
std::string KernelString(int fd, unsigned long request) {
    char text[kMaxName + 1] = {};
    if (::ioctl(fd, request, text) < 0) {
        return {};
    }
    text[kMaxName] = '\0';
    return text;
}

// The device number the kernel gives an input node, from its sysfs uevent ("MAJOR=", "MINOR=", and
// "DEVNAME=input/<name>"). False when sysfs does not describe `name` as an input node (major 13,
// include/uapi/linux/major.h INPUT_MAJOR).
bool InputDevNumber(const std::string& name, unsigned* minorOut) {
    const int fd = ::open(("/sys/class/input/" + name + "/uevent").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof(buffer) - 1);
    ::close(fd);
    if (got <= 0) {
        return false;
    }
    const std::string text(buffer, static_cast<size_t>(got));
    const auto value = [&text](const std::string& key) {
        const size_t at = text.compare(0, key.size(), key) == 0 ? 0 : text.find("\n" + key);
        if (at == std::string::npos) return std::string();
        const size_t from = at == 0 ? key.size() : at + 1 + key.size();
        return text.substr(from, text.find('\n', from) - from);
    };
    unsigned major = 0;
    return ParseNumber(value("MAJOR=").c_str(), &major) && major == 13 && ParseNumber(value("MINOR=").c_str(), minorOut) &&
           value("DEVNAME=") == "input/" + name;
}

// A udev property value we accept: printable ASCII, bounded.
bool PlainValue(const std::string& value, size_t limit) {
    if (value.size() > limit) return false;
    for (const unsigned char ch : value) {
        if (ch < 0x20 || ch >= 0x7f) return false;
    }
    return true;
}

// udev's ID_PATH for a node: udev hands a RUN program the device's properties in its environment
// (DEVNAME names the node); otherwise its database holds them as "E:KEY=value" lines in
// <data>/c<major>:<minor>.
std::string PortOf(const std::string& node) {
    const char* devname = std::getenv("DEVNAME");
    const char* idPath = std::getenv("ID_PATH");
    if (devname != nullptr && node == devname) {
        return idPath != nullptr && PlainValue(idPath, kMaxPath) ? idPath : "";
    }
    unsigned minor = 0;
    if (!InputDevNumber(node.substr(std::strlen(kDevInput)), &minor)) {
        return {};
    }
    char name[64];
    std::snprintf(name, sizeof(name), "/c13:%u", minor);
    const int fd = ::open((UdevDataDir() + name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while (text.size() < kMaxUdevRecord && (got = ::read(fd, buffer, sizeof(buffer))) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    const std::string key = "E:ID_PATH=";
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (text.compare(start, key.size(), key) == 0) {
            const std::string value = text.substr(start + key.size(), end - start - key.size());
            return PlainValue(value, kMaxPath) ? value : "";
        }
        start = end + 1;
    }
    return {};
}

// The node was checked to be an input device; /dev is root's, and umockdev's emulated nodes are links,
// so O_NOFOLLOW is not used.
int OpenNode(const std::string& path, bool write) {
    return ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

bool ParseNodePath(const std::string& path, bool* joydev, unsigned* number) {
    const size_t base = std::strlen(kDevInput);
    if (path.compare(0, base, kDevInput) != 0) return false;
    if (path.compare(base, 2, "js") == 0) {
        *joydev = true;
        return ParseNumber(path.c_str() + base + 2, number);
    }
    if (path.compare(base, 5, "event") == 0) {
        *joydev = false;
        return ParseNumber(path.c_str() + base + 5, number);
    }
    return false;
}

ControllerNodes::~ControllerNodes() {
    if (m_jsFd >= 0) ::close(m_jsFd);
    if (m_eventFd >= 0) ::close(m_eventFd);
}

bool ControllerNodes::Open(const std::string& node, bool write, std::string* why) {
    unsigned number = 0;
    if (!ParseNodePath(node, &m_givenIsJoydev, &number)) {
        *why = "not a joystick node of /dev/input";
        return false;
    }
    struct stat st {};
    // stat, not lstat: /dev is root's, and the node is opened through any link there anyway. The device
    // number comes from sysfs (umockdev's nodes report none).
    const std::string name = node.substr(std::strlen(kDevInput));
    unsigned minor = 0;
    if (::stat(node.c_str(), &st) != 0 || !S_ISCHR(st.st_mode) || !InputDevNumber(name, &minor)) {
        *why = "not an input device node";
        return false;
    }
    m_given = node;
    m_jsNode = m_givenIsJoydev ? node : SiblingOf(name, true);
    m_eventNode = m_givenIsJoydev ? SiblingOf(name, false) : node;
    if (m_jsNode.empty() || m_eventNode.empty()) {
        *why = "not a joystick with both a js and an event node";
        return false;
    }
    m_jsFd = OpenNode(m_jsNode, write && m_givenIsJoydev);
    m_eventFd = OpenNode(m_eventNode, write && !m_givenIsJoydev);
    if (m_jsFd < 0 || m_eventFd < 0) {
        *why = std::string("cannot open the nodes: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool ControllerNodes::ReadIdentity(Identity* id, std::string* why) const {
    return keep::ReadIdentity(m_eventFd, m_given, id, why);
}

bool ReadIdentity(int eventFd, const std::string& node, Identity* id, std::string* why) {
    input_id ids{};
    if (::ioctl(eventFd, EVIOCGID, &ids) != 0) {
        *why = "the event node does not say what device it is";
        return false;
    }
    id->bus = ids.bustype;
    id->vendor = ids.vendor;
    id->product = ids.product;
    id->name = KernelString(eventFd, EVIOCGNAME(kMaxName));
    id->uniq = KernelString(eventFd, EVIOCGUNIQ(kMaxName));
    id->path = PortOf(node);
    return true;
}

bool ControllerNodes::ReadJoydev(int* axes, std::array<__u8, ABS_CNT>* map, std::array<js_corr, ABS_CNT>* table,
                                 std::string* why) const {
    __u8 count = 0;
    map->fill(0);
    table->fill(js_corr{});
    if (::ioctl(m_jsFd, JSIOCGAXES, &count) != 0 || ::ioctl(m_jsFd, JSIOCGAXMAP, map->data()) < 0 ||
        ::ioctl(m_jsFd, JSIOCGCORR, table->data()) != 0) {
        *why = "the js node does not report its axes";
        return false;
    }
    *axes = count < kMaxAxes ? count : kMaxAxes;
    return true;
}

}  // namespace keep
