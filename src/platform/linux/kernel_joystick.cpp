// One joystick number on joydev and evdev: opening, non-blocking reads, unplug, and the correction tables.
#include "platform/linux/kernel_joystick.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/linux/keep/controller_nodes.h"
#include "platform/linux/keep/kept_store.h"

namespace linuxjoy {

namespace {

constexpr int64_t kDeniedRetryMs = 2000;  // a node we may not open is not hammered every tick

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool NodeExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Opens for reading and writing when allowed, else for reading. O_NOCTTY: a node must never become
// the controlling terminal. -1 with errno when it does not open at all.
int OpenNode(const std::string& path, bool* writable) {
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    *writable = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    return fd;
}

// The evdev node of the input device that owns jsN, from sysfs: /sys/class/input/jsN/device/eventM.
std::string EventNodeOf(unsigned number) {
    char dirPath[64];
    std::snprintf(dirPath, sizeof(dirPath), "/sys/class/input/js%u/device", number);
    DIR* dir = ::opendir(dirPath);
    if (dir == nullptr) {
        return {};
    }
    std::string node;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "event", 5) == 0) {
            node = std::string("/dev/input/") + entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return node;
}

// Reads what a node has queued, record by record, until it is empty. False when the device has gone
// (ENODEV, EIO, end of file).
template <typename Record, typename Handle>
bool ReadQueued(int fd, Handle handle) {
    Record records[64];
    for (;;) {
        const ssize_t got = ::read(fd, records, sizeof(records));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            return true;
        }
        if (got <= 0) {
            return false;
        }
        const size_t count = static_cast<size_t>(got) / sizeof(Record);
        for (size_t i = 0; i < count; ++i) handle(records[i]);
        if (static_cast<size_t>(got) < sizeof(records)) {
            return true;
        }
    }
}

}  // namespace

KernelJoystick::KernelJoystick(unsigned number) : m_number(number), m_jsPath("/dev/input/js" + std::to_string(number)) {}

KernelJoystick::~KernelJoystick() { Close(); }

void KernelJoystick::Close() {
    if (m_jsFd >= 0) {
        ::close(m_jsFd);
    }
    if (m_eventFd >= 0) {
        ::close(m_eventFd);
    }
    m_jsFd = m_eventFd = -1;
    m_jsWritable = m_eventWritable = false;
    m_status = Status::Absent;
    m_retryAfterMs = 0;  // the next question looks again
    m_name.clear();
    m_eventPath.clear();
    m_axes = m_joydevAxes = m_buttons = 0;
    m_joyValue.fill(0);
    m_facts = {};
    m_factsValid = false;
    m_dropped = false;
    m_justDrained = false;
    m_own = {};
}

bool KernelJoystick::Gone(int error) {
    if (error == ENODEV || error == EIO || error == EBADF || error == 0) {
        Close();
        return true;
    }
    return false;
}

KernelJoystick::Status KernelJoystick::Refresh(bool look) {
    if (m_status == Status::Present) {
        // An unplugged device fails the next fetch or read with ENODEV: no look at the nodes is needed.
        m_justDrained = false;
        if (!m_factsValid || NowMs() - m_factsMs >= kFactsMs) {
            FetchFacts();
        }
        return m_status;
    }
    const int64_t now = NowMs();
    if (now < m_retryAfterMs && (!look || m_status == Status::Denied)) {
        return m_status;
    }
    if (!NodeExists(m_jsPath)) {
        m_status = Status::Absent;
        m_retryAfterMs = now + kLookAgainMs;
        return m_status;
    }
    Open();
    return m_status;
}

bool KernelJoystick::Open() {
    Close();
    m_jsFd = OpenNode(m_jsPath, &m_jsWritable);
    if (m_jsFd < 0) {
        const bool denied = errno == EACCES || errno == EPERM;
        m_status = denied ? Status::Denied : Status::Absent;
        m_deniedPath = denied ? m_jsPath : std::string();
        m_retryAfterMs = NowMs() + (denied ? kDeniedRetryMs : kLookAgainMs);
        return false;
    }
    m_deniedPath.clear();

    char name[128] = {};
    if (::ioctl(m_jsFd, JSIOCGNAME(sizeof(name) - 1), name) < 0) {
        std::snprintf(name, sizeof(name), "%s", "Unknown joystick");
    }
    m_name = name;
    __u8 axes = 0;
    __u8 buttons = 0;
    ::ioctl(m_jsFd, JSIOCGAXES, &axes);  // both stay 0 when the driver does not answer
    ::ioctl(m_jsFd, JSIOCGBUTTONS, &buttons);
    m_joydevAxes = axes;
    m_axes = axes < kAxes ? axes : kAxes;
    m_buttons = buttons;
    m_axisMap.fill(0);
    if (::ioctl(m_jsFd, JSIOCGAXMAP, m_axisMap.data()) < 0) {
        for (int i = 0; i < kAxes; ++i) m_axisMap[i] = static_cast<uint8_t>(i);  // joydev's usual order
    }

    m_eventPath = EventNodeOf(m_number);
    if (!m_eventPath.empty()) {
        m_eventFd = OpenNode(m_eventPath, &m_eventWritable);
        if (m_eventFd < 0 && (errno == EACCES || errno == EPERM)) {
            m_deniedPath = m_eventPath;
        }
    }
    m_status = Status::Present;
    if (!FetchFacts()) {
        return false;
    }
    m_own = m_facts;
    OwnFromKeptFingerprint();
    return true;
}

void KernelJoystick::OwnFromKeptFingerprint() {
    // The applier has put a kept calibration on the nodes before we opened them: what the driver set is
    // the fingerprint kept with it. Only when every kept axis holds exactly what was kept.
    keep::Identity id;
    keep::KeptCalibration kept;
    std::string why;
    if (m_eventFd < 0 || !keep::ReadIdentity(m_eventFd, m_jsPath, &id, &why) ||
        !keep::FindKept(keep::StoreDir(), id, &kept, &why)) {
        return;
    }
    for (const keep::KeptAxis& a : kept.axes) {
        if (a.index >= m_axes || m_axisMap[a.index] != a.code) {
            return;
        }
        const AxisKernelState& now = m_facts[a.index];
        if (!SameCorrection(now.corr, a.corr) || now.info.minimum != a.min || now.info.maximum != a.max ||
            now.info.flat != a.flat) {
            return;
        }
    }
    for (const keep::KeptAxis& a : kept.axes) {
        input_absinfo& info = m_own[a.index].info;
        info.minimum = a.ownMin;
        info.maximum = a.ownMax;
        info.fuzz = a.ownFuzz;
        info.flat = a.ownFlat;
        m_own[a.index].corr = keep::OwnCorrection(a.ownMin, a.ownMax, a.ownFuzz, a.ownFlat);
    }
}

bool KernelJoystick::FetchFacts() {
    if (m_status != Status::Present) {
        return false;
    }
    // What queued before the fetch is older than what the fetch returns.
    if (m_eventFd >= 0) {
        DrainEvdev();
    } else {
        DrainJoydev();
    }
    if (m_status != Status::Present) {
        return false;
    }
    js_corr table[ABS_CNT] = {};
    if (::ioctl(m_jsFd, JSIOCGCORR, table) != 0 && Gone(errno)) {
        return false;
    }
    for (int i = 0; i < m_axes; ++i) {
        m_facts[i].corr = table[i];
        if (m_eventFd >= 0 && ::ioctl(m_eventFd, EVIOCGABS(m_axisMap[i]), &m_facts[i].info) != 0 && Gone(errno)) {
            return false;
        }
    }
    m_factsValid = true;
    m_factsMs = NowMs();
    m_dropped = false;
    m_justDrained = true;
    return true;
}

void KernelJoystick::TakeEvents() {
    if (m_status != Status::Present) {
        return;
    }
    if (m_justDrained) {
        m_justDrained = false;  // the refresh just before this read fetched, and took the queue in
        return;
    }
    if (m_eventFd >= 0) {
        DrainEvdev();
        if (m_status == Status::Present && m_dropped) {
            FetchFacts();
        }
    } else {
        DrainJoydev();
    }
}

void KernelJoystick::DrainJoydev() {
    const bool alive = ReadQueued<js_event>(m_jsFd, [this](const js_event& e) {
        if ((e.type & ~JS_EVENT_INIT) == JS_EVENT_AXIS && e.number < kAxes) {
            m_joyValue[e.number] = e.value;
        }
    });
    if (!alive) {
        Close();  // ENODEV, EIO or end of file: the device has gone
    }
}

unsigned KernelJoystick::DrainEvdev() {
    unsigned moved = 0;
    const bool alive = ReadQueued<input_event>(m_eventFd, [this, &moved](const input_event& e) {
        if (e.type == EV_SYN && e.code == SYN_DROPPED) {
            m_dropped = true;  // values are unknown until the facts are fetched again
        } else if (e.type == EV_ABS && !m_dropped) {
            for (int axis = 0; axis < m_axes; ++axis) {
                if (m_axisMap[axis] == e.code) {
                    m_facts[axis].info.value = e.value;
                    moved |= 1u << axis;
                }
            }
        }
    });
    if (!alive) {
        Close();  // ENODEV: the device has gone
    }
    return moved;
}

int32_t KernelJoystick::JoydevValue(int axis) const {
    if (axis < 0 || axis >= m_axes) {
        return 0;
    }
    if (m_eventFd < 0) {
        return m_joyValue[axis];
    }
    return JoydevCorrect(m_facts[axis].info.value, m_facts[axis].corr);
}

std::string KernelJoystick::Description() const {
    char text[256];
    if (m_status == Status::Denied) {
        std::snprintf(text, sizeof(text), "no access to %s (input group or udev rule)", m_deniedPath.c_str());
        return text;
    }
    if (m_status != Status::Present) {
        return {};
    }
    const std::string js = m_jsPath.substr(std::strlen("/dev/input/"));
    if (m_eventFd < 0 && !m_deniedPath.empty()) {
        std::snprintf(text, sizeof(text), "%s (%s; no access to %s)", m_name.c_str(), js.c_str(), m_deniedPath.c_str());
    } else if (m_eventFd < 0) {
        std::snprintf(text, sizeof(text), "%s (%s only)", m_name.c_str(), js.c_str());
    } else {
        std::snprintf(text, sizeof(text), "%s (%s, %s%s)", m_name.c_str(), js.c_str(),
                      m_eventPath.substr(std::strlen("/dev/input/")).c_str(), Writable() ? "" : ", read only");
    }
    return text;
}

bool KernelJoystick::ReadEvdev(int axis, input_absinfo* info) const {
    if (m_eventFd < 0 || axis < 0 || axis >= m_axes || !m_factsValid) {
        return false;
    }
    *info = m_facts[axis].info;
    return true;
}

bool KernelJoystick::ReadKernelState(std::array<AxisKernelState, kAxes>* state) {
    *state = {};
    if (m_status != Status::Present || ((!m_factsValid || NowMs() - m_factsMs >= kFactsMs) && !FetchFacts())) {
        return false;
    }
    *state = m_facts;
    return true;
}

bool KernelJoystick::WriteKernelState(const std::array<AxisKernelState, kAxes>& state) {
    if (m_status != Status::Present || !Writable()) {
        return false;
    }
    js_corr table[ABS_CNT] = {};
    if (::ioctl(m_jsFd, JSIOCGCORR, table) != 0) {
        Gone(errno);
        return false;
    }
    bool joydevChanged = false;
    for (int i = 0; i < m_axes; ++i) {
        if (!SameCorrection(table[i], state[i].corr)) {
            table[i] = state[i].corr;
            joydevChanged = true;
        }
    }
    bool ok = true;
    if (joydevChanged) {
        ok = ::ioctl(m_jsFd, JSIOCSCORR, table) == 0;
    }
    for (int i = 0; i < m_axes && ok && m_eventFd >= 0; ++i) {
        // EVIOCSABS sets the value with the rest. Events queued before the read are in its value; one
        // that comes after it is in the queue once the write is done, and is written again on top, so
        // the axis never keeps a position from before the write.
        DrainEvdev();
        input_absinfo now{};
        if (m_status != Status::Present || ::ioctl(m_eventFd, EVIOCGABS(m_axisMap[i]), &now) != 0) {
            ok = false;
            break;
        }
        if (SameAxisInfo(now, state[i].info)) {
            continue;
        }
        input_absinfo wanted = now;  // the value, fuzz and resolution stay the device's
        wanted.minimum = state[i].info.minimum;
        wanted.maximum = state[i].info.maximum;
        wanted.flat = state[i].info.flat;
        ok = ::ioctl(m_eventFd, EVIOCSABS(m_axisMap[i]), &wanted) == 0;
        for (int again = 0; ok && again < 3 && (DrainEvdev() & (1u << i)) != 0; ++again) {
            wanted.value = m_facts[i].info.value;
            ok = ::ioctl(m_eventFd, EVIOCSABS(m_axisMap[i]), &wanted) == 0;
        }
    }
    m_factsValid = false;  // the next question fetches what the kernel holds now
    return ok && m_status == Status::Present;
}

}  // namespace linuxjoy
