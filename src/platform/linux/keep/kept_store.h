// A calibration kept for a controller across unplugging and restarts: what is kept (the identity, the
// driver's own axis info as a fingerprint, joydev's line and evdev's axis info per axis), its text form
// (one key=value a line, parsed strictly), its file name, and the store directory it lives in.
// docs/linux-controllers.md describes the format.
#pragma once

#include <linux/joystick.h>

#include <cstdint>
#include <string>
#include <vector>

namespace keep {

constexpr const char* kStoreDir = "/etc/padwright/calibration.d";
constexpr size_t kMaxFileBytes = 4096;   // a kept calibration of six axes takes under 1 KiB
constexpr size_t kMaxFiles = 256;        // files the store may hold
constexpr size_t kMaxName = 127;         // EVIOCGNAME, EVIOCGUNIQ: the kernel's strings
constexpr size_t kMaxPath = 255;         // udev's ID_PATH
constexpr int kMaxAxes = 6;

// Who the calibration is for. A model is bus, vendor, product and name; a unit adds the device's unique
// id when it has one, else the port it is plugged into (udev's ID_PATH).
struct Identity {
    uint16_t bus = 0;
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string name;
    std::string uniq;
    std::string path;
};

enum class Scope { Unit, Model };

// The identity a record of `scope` holds for a device: a model's carries no uniq and no path; a unit's
// carries the uniq, or the path when the device has no uniq. False when the device cannot be told apart
// from others of its model (a unit scope without uniq and path).
bool IdentityFor(const Identity& device, Scope scope, Identity* out);

struct KeptAxis {
    int index = 0;  // joydev's axis 0..5
    int code = 0;   // the evdev axis (ABS_*) joydev maps it from
    // The fingerprint: the driver's own axis info.
    int32_t ownMin = 0, ownMax = 0, ownFuzz = 0, ownFlat = 0;
    js_corr corr{};  // joydev's kept line
    int32_t min = 0, max = 0, flat = 0;  // evdev's kept axis info
};

struct KeptCalibration {
    Scope scope = Scope::Model;
    Identity id;
    std::vector<KeptAxis> axes;
};

// The text form, and its strict reading: every key once, nothing unknown, numbers in range and in
// order. False with a reason when the text is not a valid record.
std::string Format(const KeptCalibration& kept);
bool Parse(const std::string& text, KeptCalibration* out, std::string* why);

// The file name for a record: numeric ids, scope and a hash of the whole identity; no device string
// goes into it. Two identities with the same name are told apart by the fields inside.
std::string FileName(const Identity& id, Scope scope);
// Whether `name` has the form FileName makes.
bool IsStoreFileName(const std::string& name);

// joydev's correction for an axis as the kernel computes it when the device connects
// (drivers/input/joydev.c, joydev_connect).
js_corr OwnCorrection(int32_t min, int32_t max, int32_t fuzz, int32_t flat);

// The store directory: kStoreDir, or for tests PADWRIGHT_CALIBRATION_DIR when the program was neither
// started setuid nor through pkexec (then the caller chose the environment, and is root anyway).
std::string StoreDir();
// udev's database of device properties: /run/udev/data, or PADWRIGHT_UDEV_DATA under the same rule.
std::string UdevDataDir();

// Opens the store directory without following a symbolic link; -1 when it is missing or unsafe (not a
// directory of root's or ours, or writable by others).
int OpenStoreDir(const std::string& dir);
// Reads a record file of the store: a regular file (no symbolic link, no device, no FIFO) owned by root
// or by us, not writable by others, at most kMaxFileBytes; never blocks. False with a reason otherwise.
bool ReadStoreFile(int dirFd, const std::string& name, KeptCalibration* out, std::string* why);
// The record kept for a device: for this unit first, then for its model; compared field by field.
bool FindKept(const std::string& dir, const Identity& device, KeptCalibration* out, std::string* why);

}  // namespace keep
