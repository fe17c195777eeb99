// The kept calibration's text form, its strict parser, its file name and the safe reading of the store.
#include "platform/linux/keep/kept_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "platform/linux/kernel_joystick.h"

namespace keep {

namespace {

constexpr int kFormat = 1;

// Printable ASCII stays as it is; a backslash and every other byte are written \xHH.
std::string Escape(const std::string& s) {
    std::string out;
    for (const unsigned char ch : s) {
        if (ch >= 0x20 && ch < 0x7f && ch != '\\') {
            out += static_cast<char>(ch);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof(hex), "\\x%02x", ch);
            out += hex;
        }
    }
    return out;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;  // upper case is not what Escape writes
}

bool Unescape(const std::string& s, size_t limit, std::string* out) {
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        const auto ch = static_cast<unsigned char>(s[i]);
        if (ch != '\\') {
            if (ch < 0x20 || ch >= 0x7f) return false;  // Escape writes every other byte as \xhh
            out->push_back(s[i]);
        } else {
            if (i + 3 >= s.size() || s[i + 1] != 'x') return false;
            const int hi = HexDigit(s[i + 2]);
            const int lo = HexDigit(s[i + 3]);
            const int byte = hi * 16 + lo;
            // A byte Escape would have left as it is was not written by it; NUL ends no kernel string.
            if (hi < 0 || lo < 0 || byte == 0 || (byte >= 0x20 && byte < 0x7f && byte != '\\')) return false;
            out->push_back(static_cast<char>(byte));
            i += 3;
        }
    }
    return out->size() <= limit;
}

// A decimal int32 with an optional minus sign and no leading zeros, nothing else.
bool ParseInt(const std::string& s, int64_t lo, int64_t hi, int64_t* out) {
    size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
    if (i == s.size() || s.size() > 11 || (s[i] == '0' && s.size() > i + 1)) return false;
    for (size_t j = i; j < s.size(); ++j) {
        if (s[j] < '0' || s[j] > '9') return false;
    }
    const int64_t v = std::strtoll(s.c_str(), nullptr, 10);
    if (v < lo || v > hi || (v == 0 && i == 1)) return false;
    *out = v;
    return true;
}

// "0x" and four lower-case hex digits.
bool ParseId(const std::string& s, uint16_t* out) {
    if (s.size() != 6 || s[0] != '0' || s[1] != 'x') return false;
    unsigned v = 0;
    for (size_t i = 2; i < 6; ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    *out = static_cast<uint16_t>(v);
    return true;
}

// Space-separated int32 numbers, exactly `count` of them.
bool ParseInts(const std::string& s, size_t count, std::vector<int32_t>* out) {
    out->clear();
    size_t start = 0;
    while (out->size() < count) {
        const size_t end = s.find(' ', start);
        int64_t v = 0;
        if (!ParseInt(s.substr(start, end == std::string::npos ? std::string::npos : end - start), INT32_MIN, INT32_MAX, &v)) {
            return false;
        }
        out->push_back(static_cast<int32_t>(v));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out->size() == count && start <= s.size() && s.find(' ', start) == std::string::npos;
}

std::string Hex(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04x", v);
    return text;
}

const char* ScopeName(Scope scope) { return scope == Scope::Unit ? "unit" : "model"; }

// FNV-1a, 64 bits: a name the file system can hold for an identity of any length.
uint64_t Hash(const Identity& id, Scope scope) {
    uint64_t h = 1469598103934665603ull;
    const auto add = [&h](const std::string& s) {
        for (const unsigned char ch : s) h = (h ^ ch) * 1099511628211ull;
        h = (h ^ 0xff) * 1099511628211ull;  // a separator no field contains
    };
    add(Hex(id.bus) + Hex(id.vendor) + Hex(id.product));
    add(id.name);
    add(ScopeName(scope));
    add(id.uniq);
    add(id.path);
    return h;
}

bool SameIdentity(const Identity& a, const Identity& b) {
    return a.bus == b.bus && a.vendor == b.vendor && a.product == b.product && a.name == b.name && a.uniq == b.uniq &&
           a.path == b.path;
}

// An axis's values in order: the fingerprint's and the kept axis info's ranges, a line joydev can
// compute over the driver's whole range.
bool AxisValid(const KeptAxis& a, std::string* why) {
    const int64_t ownSpan = int64_t{a.ownMax} - a.ownMin;
    if (a.index < 0 || a.index >= kMaxAxes || a.code < 0 || a.code > ABS_MAX) {
        *why = "an axis number out of range";
    } else if (ownSpan <= 0 || a.ownFuzz < 0 || a.ownFlat < 0 || a.ownFlat > ownSpan / 2) {
        *why = "the driver's own range is not in order";
    } else if (a.max <= a.min || a.flat < 0 || a.flat > (int64_t{a.max} - a.min) / 2) {
        *why = "the kept axis info is not in order";
    } else if (a.corr.type != JS_CORR_NONE && a.corr.type != JS_CORR_BROKEN) {
        *why = "an unknown correction type";
    } else if (a.corr.type == JS_CORR_BROKEN &&
               (a.corr.coef[0] > a.corr.coef[1] || a.corr.coef[2] <= 0 || a.corr.coef[3] <= 0 ||
                !linuxjoy::CorrectionFits(a.corr, a.ownMin, a.ownMax))) {
        *why = "a correction joydev cannot compute over the axis's range";
    } else {
        return true;
    }
    return false;
}

}  // namespace

bool IdentityFor(const Identity& device, Scope scope, Identity* out) {
    *out = device;
    if (scope == Scope::Model) {
        out->uniq.clear();
        out->path.clear();
        return true;
    }
    if (!device.uniq.empty()) {
        out->path.clear();
        return true;
    }
    return !device.path.empty();
}

std::string Format(const KeptCalibration& kept) {
    std::ostringstream text;
    text << "# A calibration kept by Padwright, applied by padwright-apply when the controller appears.\n"
         << "format=" << kFormat << "\n"
         << "scope=" << ScopeName(kept.scope) << "\n"
         << "bus=" << Hex(kept.id.bus) << "\nvendor=" << Hex(kept.id.vendor) << "\nproduct=" << Hex(kept.id.product) << "\n"
         << "name=" << Escape(kept.id.name) << "\nuniq=" << Escape(kept.id.uniq) << "\npath=" << Escape(kept.id.path) << "\n"
         << "axes=" << kept.axes.size() << "\n";
    for (size_t i = 0; i < kept.axes.size(); ++i) {
        const KeptAxis& a = kept.axes[i];
        const std::string key = "axis" + std::to_string(i);
        text << key << ".index=" << a.index << "\n"
             << key << ".code=" << a.code << "\n"
             << key << ".own=" << a.ownMin << " " << a.ownMax << " " << a.ownFuzz << " " << a.ownFlat << "\n"
             << key << ".joydev=" << int{a.corr.type} << " " << a.corr.prec << " " << a.corr.coef[0] << " "
             << a.corr.coef[1] << " " << a.corr.coef[2] << " " << a.corr.coef[3] << "\n"
             << key << ".evdev=" << a.min << " " << a.max << " " << a.flat << "\n";
    }
    return text.str();
}

bool Parse(const std::string& text, KeptCalibration* out, std::string* why) {
    if (text.size() > kMaxFileBytes) {
        *why = "larger than a kept calibration can be";
        return false;
    }
    if (text.empty() || text.back() != '\n' || text.find('\0') != std::string::npos) {
        *why = "not a text of whole lines";
        return false;
    }
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0 || !values.emplace(line.substr(0, eq), line.substr(eq + 1)).second) {
            *why = "a line that is not a key=value of its own: " + Escape(line.substr(0, 40));
            return false;
        }
    }
    const auto take = [&values](const std::string& key, std::string* value) {
        const auto it = values.find(key);
        if (it == values.end()) return false;
        *value = it->second;
        values.erase(it);
        return true;
    };
    KeptCalibration kept;
    std::string v;
    int64_t number = 0;
    if (!take("format", &v) || v != std::to_string(kFormat)) {
        *why = "not format " + std::to_string(kFormat);
        return false;
    }
    if (!take("scope", &v) || (v != "unit" && v != "model")) {
        *why = "no scope unit or model";
        return false;
    }
    kept.scope = v == "unit" ? Scope::Unit : Scope::Model;
    std::string axes;
    if (!take("bus", &v) || !ParseId(v, &kept.id.bus) || !take("vendor", &v) || !ParseId(v, &kept.id.vendor) ||
        !take("product", &v) || !ParseId(v, &kept.id.product) || !take("name", &v) || !Unescape(v, kMaxName, &kept.id.name) ||
        !take("uniq", &v) || !Unescape(v, kMaxName, &kept.id.uniq) || !take("path", &v) ||
        !Unescape(v, kMaxPath, &kept.id.path) || !take("axes", &axes) || !ParseInt(axes, 1, kMaxAxes, &number)) {
        *why = "the identity or the axis count is missing or malformed";
        return false;
    }
    Identity expected;
    if (!IdentityFor(kept.id, kept.scope, &expected) || !SameIdentity(expected, kept.id)) {
        *why = "the identity does not fit its scope";
        return false;
    }
    for (int i = 0; i < number; ++i) {
        const std::string key = "axis" + std::to_string(i);
        KeptAxis a;
        int64_t index = 0, code = 0;
        std::vector<int32_t> own, joydev, evdev;
        if (!take(key + ".index", &v) || !ParseInt(v, 0, kMaxAxes - 1, &index) || !take(key + ".code", &v) ||
            !ParseInt(v, 0, ABS_MAX, &code) || !take(key + ".own", &v) || !ParseInts(v, 4, &own) ||
            !take(key + ".joydev", &v) || !ParseInts(v, 6, &joydev) || !take(key + ".evdev", &v) || !ParseInts(v, 3, &evdev) ||
            joydev[1] < INT16_MIN || joydev[1] > INT16_MAX || joydev[0] < 0 || joydev[0] > 255) {
            *why = key + " is missing or malformed";
            return false;
        }
        a.index = static_cast<int>(index);
        a.code = static_cast<int>(code);
        a.ownMin = own[0], a.ownMax = own[1], a.ownFuzz = own[2], a.ownFlat = own[3];
        a.corr.type = static_cast<__u16>(joydev[0]);
        a.corr.prec = static_cast<__s16>(joydev[1]);
        for (int c = 0; c < 4; ++c) a.corr.coef[c] = joydev[2 + c];
        a.min = evdev[0], a.max = evdev[1], a.flat = evdev[2];
        for (const KeptAxis& other : kept.axes) {
            if (other.index == a.index || other.code == a.code) {
                *why = key + " repeats an axis";
                return false;
            }
        }
        if (!AxisValid(a, why)) {
            *why = key + ": " + *why;
            return false;
        }
        kept.axes.push_back(a);
    }
    if (!values.empty()) {
        *why = "an unknown key: " + Escape(values.begin()->first.substr(0, 40));
        return false;
    }
    *out = kept;
    return true;
}

std::string FileName(const Identity& id, Scope scope) {
    char name[64];
    std::snprintf(name, sizeof(name), "%04x-%04x-%04x-%s-%016llx.conf", id.bus, id.vendor, id.product, ScopeName(scope),
                  static_cast<unsigned long long>(Hash(id, scope)));
    return name;
}

bool IsStoreFileName(const std::string& name) {
    // xxxx-xxxx-xxxx-(unit|model)-<16 hex>.conf
    const auto hex = [&name](size_t from, size_t count) {
        for (size_t i = from; i < from + count; ++i) {
            if (i >= name.size() || HexDigit(name[i]) < 0) return false;
        }
        return true;
    };
    if (name.size() < 15 || !hex(0, 4) || name[4] != '-' || !hex(5, 4) || name[9] != '-' || !hex(10, 4) || name[14] != '-') {
        return false;
    }
    size_t at = 15;
    if (name.compare(at, 5, "unit-") == 0) {
        at += 5;
    } else if (name.compare(at, 6, "model-") == 0) {
        at += 6;
    } else {
        return false;
    }
    return name.size() == at + 16 + 5 && hex(at, 16) && name.compare(at + 16, 5, ".conf") == 0;
}

js_corr OwnCorrection(int32_t min, int32_t max, int32_t fuzz, int32_t flat) {
    // joydev_connect(): for each axis with an extent, in the kernel's int arithmetic.
    js_corr corr{};
    if (min == max) {
        return corr;
    }
    corr.type = JS_CORR_BROKEN;
    corr.prec = static_cast<__s16>(fuzz);
    int t = static_cast<int>((int64_t{max} + min) / 2);
    corr.coef[0] = t - flat;
    corr.coef[1] = t + flat;
    t = static_cast<int>((int64_t{max} - min) / 2 - 2 * int64_t{flat});
    if (t != 0) {
        corr.coef[2] = (1 << 29) / t;
        corr.coef[3] = (1 << 29) / t;
    }
    return corr;
}

namespace {
// An override from the environment, honoured only for a caller who chose the environment itself: not a
// setuid start (secure_getenv) and not a start through pkexec, whose caller is not trusted.
std::string Overridable(const char* variable, const char* fallback) {
    const char* value = secure_getenv(variable);
    if (value != nullptr && value[0] == '/' && std::getenv("PKEXEC_UID") == nullptr) {
        return value;
    }
    return fallback;
}
}  // namespace

std::string StoreDir() { return Overridable("PADWRIGHT_CALIBRATION_DIR", kStoreDir); }
std::string UdevDataDir() { return Overridable("PADWRIGHT_UDEV_DATA", "/run/udev/data"); }

int OpenStoreDir(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &st) != 0 || (st.st_uid != 0 && st.st_uid != ::geteuid()) || (st.st_mode & 022) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadStoreFile(int dirFd, const std::string& name, KeptCalibration* out, std::string* why) {
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = errno == ELOOP ? "a symbolic link" : std::strerror(errno);
        return false;
    }
    struct stat st {};
    std::string text;
    bool ok = false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = "not a regular file";
    } else if ((st.st_uid != 0 && st.st_uid != ::geteuid()) || (st.st_mode & 022) != 0) {
        *why = "owned by another user or writable by others";
    } else if (st.st_size > static_cast<off_t>(kMaxFileBytes)) {
        *why = "larger than a kept calibration can be";
    } else {
        char buffer[kMaxFileBytes + 1];
        ssize_t got = 0;
        size_t total = 0;
        while (total < sizeof(buffer) && (got = ::read(fd, buffer + total, sizeof(buffer) - total)) > 0) {
            total += static_cast<size_t>(got);
        }
        if (got < 0) {
            *why = std::strerror(errno);
        } else {
            ok = Parse(std::string(buffer, total), out, why);  // a file grown meanwhile fails the size check
        }
    }
    ::close(fd);
    return ok;
}

bool FindKept(const std::string& dir, const Identity& device, KeptCalibration* out, std::string* why) {
    const int dirFd = OpenStoreDir(dir);
    if (dirFd < 0) {
        *why = "no store";
        return false;
    }
    bool found = false;
    for (const Scope scope : {Scope::Unit, Scope::Model}) {
        Identity id;
        if (!IdentityFor(device, scope, &id)) continue;
        const std::string name = FileName(id, scope);
        KeptCalibration kept;
        std::string problem;
        if (!ReadStoreFile(dirFd, name, &kept, &problem)) {
            if (problem != std::strerror(ENOENT)) {
                *why = name;
                why->append(": ").append(problem);
            }
            continue;
        }
        if (kept.scope == scope && SameIdentity(kept.id, id)) {
            *out = kept;
            found = true;
            break;
        }
        *why = name + ": kept for another controller";
    }
    ::close(dirFd);
    return found;
}

}  // namespace keep
