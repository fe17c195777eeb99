// padwright-store: the helper the desktop program runs through pkexec to keep a calibration for good, or
// to forget kept ones. It runs as root for a user who proved to be an administrator, and trusts nothing
// else from that user: it takes a device node, a scope and the driver's own ranges, reads the calibration
// itself from the node, and writes only into the store, atomically.
//   padwright-store keep DEVNODE unit|model MIN:MAX:FLAT...   (one an axis joydev reports, at most six)
//   padwright-store forget DEVNODE
//   padwright-store forget-all
// Exit status: 0 done, 1 failed, 2 refused (the arguments or the device are not what they must be).
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/keep/controller_nodes.h"
#include "platform/linux/keep/kept_store.h"

namespace {

constexpr int kFailed = 1;
constexpr int kRefused = 2;

int Say(int status, const std::string& text) {
    std::fprintf(stderr, "padwright-store: %s\n", text.c_str());
    return status;
}

// "MIN:MAX:FLAT" as three int32 in order: MIN < MAX, 0 <= FLAT <= (MAX - MIN) / 2.
bool ParseOwn(const char* text, int32_t* min, int32_t* max, int32_t* flat) {
    long long v[3] = {};
    const char* p = text;
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        errno = 0;
        if (!(*p == '-' || (*p >= '0' && *p <= '9'))) return false;
        v[i] = std::strtoll(p, &end, 10);
        if (errno != 0 || end == p || v[i] < INT32_MIN || v[i] > INT32_MAX || *end != (i < 2 ? ':' : '\0')) return false;
        p = end + 1;
    }
    if (v[0] >= v[1] || v[2] < 0 || v[2] > (v[1] - v[0]) / 2) return false;
    *min = static_cast<int32_t>(v[0]);
    *max = static_cast<int32_t>(v[1]);
    *flat = static_cast<int32_t>(v[2]);
    return true;
}

// The store directory, made when it is missing (mode 0755, root's).
int OpenStore() {
    const std::string dir = keep::StoreDir();
    if (dir == keep::kStoreDir) {
        ::mkdir("/etc/padwright", 0755);
    }
    ::mkdir(dir.c_str(), 0755);
    return keep::OpenStoreDir(dir);
}

size_t CountRecords(int dirFd) {
    const int copy = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    size_t count = 0;
    if (dir == nullptr) {
        return keep::kMaxFiles;  // unknown: treated as full
    }
    while (const dirent* entry = ::readdir(dir)) count += keep::IsStoreFileName(entry->d_name) ? 1 : 0;
    ::closedir(dir);
    return count;
}

// Writes `text` as `name` in the store: a new file of our own (O_EXCL, O_NOFOLLOW), mode 0644, synced,
// then renamed over the old one and the directory synced. Nothing half-written is ever seen.
bool WriteAtomically(int dirFd, const std::string& name, const std::string& text, std::string* why) {
    const std::string temp = ".tmp-" + std::to_string(::getpid());
    ::unlinkat(dirFd, temp.c_str(), 0);
    const int fd = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = std::string("cannot create the file: ") + std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, 0644) == 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
              ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) == 0;
    if (!ok) {
        *why = std::string("cannot write the file: ") + std::strerror(errno);
        ::unlinkat(dirFd, temp.c_str(), 0);
        return false;
    }
    ::fsync(dirFd);
    return true;
}

int Keep(const std::string& node, const std::string& scopeText, int ownCount, char** own) {
    if (scopeText != "unit" && scopeText != "model") {
        return Say(kRefused, "the scope is unit or model");
    }
    const keep::Scope scope = scopeText == "unit" ? keep::Scope::Unit : keep::Scope::Model;
    keep::ControllerNodes nodes;
    std::string why;
    keep::KeptCalibration kept;
    kept.scope = scope;
    keep::Identity device;
    int axes = 0;
    std::array<__u8, ABS_CNT> map{};
    std::array<js_corr, ABS_CNT> table{};
    if (!nodes.Open(node, false, &why) || !nodes.ReadIdentity(&device, &why) || !nodes.ReadJoydev(&axes, &map, &table, &why)) {
        return Say(kRefused, why);
    }
    if (!keep::IdentityFor(device, scope, &kept.id)) {
        return Say(kRefused, "this controller has neither a unique id nor a known port: keep it for its model");
    }
    if (axes == 0 || ownCount != axes) {
        return Say(kRefused, "one MIN:MAX:FLAT is needed for each of the controller's " + std::to_string(axes) + " axes");
    }
    for (int i = 0; i < axes; ++i) {
        keep::KeptAxis a;
        a.index = i;
        a.code = map[i];
        input_absinfo info{};
        if (!ParseOwn(own[i], &a.ownMin, &a.ownMax, &a.ownFlat)) {
            return Say(kRefused, "axis " + std::to_string(i) + ": MIN:MAX:FLAT must be whole numbers in order");
        }
        if (a.code > ABS_MAX || ::ioctl(nodes.eventFd(), EVIOCGABS(a.code), &info) != 0) {
            return Say(kRefused, "axis " + std::to_string(i) + " has no axis info");
        }
        a.ownFuzz = info.fuzz;  // never changed by the editor: the driver's own
        a.corr = table[i];
        a.min = info.minimum;
        a.max = info.maximum;
        a.flat = info.flat;
        kept.axes.push_back(a);
    }
    // What is written must be what padwright-apply accepts: the same strict reading decides.
    const std::string text = keep::Format(kept);
    keep::KeptCalibration check;
    if (!keep::Parse(text, &check, &why)) {
        return Say(kRefused, why);
    }
    const int dirFd = OpenStore();
    if (dirFd < 0) {
        return Say(kFailed, "the store " + keep::StoreDir() + " is missing or not root's own");
    }
    const std::string name = keep::FileName(kept.id, scope);
    struct stat st {};
    const bool replaces = ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    int status = 0;
    if (!replaces && CountRecords(dirFd) >= keep::kMaxFiles) {
        status = Say(kRefused, "the store already holds " + std::to_string(keep::kMaxFiles) + " calibrations");
    } else if (!WriteAtomically(dirFd, name, text, &why)) {
        status = Say(kFailed, why);
    }
    ::close(dirFd);
    return status;
}

// Removes the store's records named in `names`, or every record when `names` is empty.
int Forget(const std::vector<std::string>& names, bool all) {
    const int dirFd = keep::OpenStoreDir(keep::StoreDir());
    if (dirFd < 0) {
        return errno == ENOENT ? 0 : Say(kFailed, "the store " + keep::StoreDir() + " is not root's own");
    }
    std::vector<std::string> gone = names;
    if (all) {
        const int copy = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr) {
            while (const dirent* entry = ::readdir(dir)) {
                if (keep::IsStoreFileName(entry->d_name)) gone.emplace_back(entry->d_name);
            }
            ::closedir(dir);
        }
    }
    int status = 0;
    for (const std::string& name : gone) {
        if (::unlinkat(dirFd, name.c_str(), 0) != 0 && errno != ENOENT) {
            status = Say(kFailed, "cannot remove " + name + ": " + std::strerror(errno));
        }
    }
    ::fsync(dirFd);
    ::close(dirFd);
    return status;
}

int ForgetDevice(const std::string& node) {
    keep::ControllerNodes nodes;
    keep::Identity device;
    std::string why;
    if (!nodes.Open(node, false, &why) || !nodes.ReadIdentity(&device, &why)) {
        return Say(kRefused, why);
    }
    std::vector<std::string> names;
    for (const keep::Scope scope : {keep::Scope::Unit, keep::Scope::Model}) {
        keep::Identity id;
        if (keep::IdentityFor(device, scope, &id)) names.push_back(keep::FileName(id, scope));
    }
    return Forget(names, false);
}

}  // namespace

int main(int argc, char** argv) {
    ::umask(022);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "keep" && argc >= 5 && argc <= 4 + keep::kMaxAxes) {
        return Keep(argv[2], argv[3], argc - 4, argv + 4);
    }
    if (command == "forget" && argc == 3) {
        return ForgetDevice(argv[2]);
    }
    if (command == "forget-all" && argc == 2) {
        return Forget({}, true);
    }
    return Say(kRefused, "usage: padwright-store keep DEVNODE unit|model MIN:MAX:FLAT... | forget DEVNODE | forget-all");
}
