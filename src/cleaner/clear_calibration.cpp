// "Clear all calib. data": removes the installed controllers' configuration, then offers every
// stored calibration key of the joystick branch for deletion, one question a key, and DirectInput's
// per-device calibration values, never the keys that hold each controller's identity.
// Later Windows keeps these keys per user (HKEY_CURRENT_USER) as well, and Windows 10/11 keeps
// DirectInput's own per-device calibration there too, so both hives are searched. A standard user may
// read HKEY_LOCAL_MACHINE but not delete from it; such a refusal is reported as what it is.
#include <cstring>
#include <string>
#include <vector>

#include "dialog/padwright_dlg.h"
#include "joystick/joystick_services.h"

namespace {

constexpr int kJoystickNumbers = 16;
constexpr DWORD kNameSize = 260;
// Where DirectInput keeps each device's calibration, as "<VID_xxxx&PID_xxxx>\Calibration", per user.
constexpr const char* kDeviceCalibrationBranch =
    "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\DirectInput";
// A device calibration key holds Calibration\<n>\Type\Axes\<n>; deeper than this is not one of ours.
constexpr int kMaxTreeDepth = 8;

// An open registry key, closed on every path out of its scope.
class OpenKey {
public:
    OpenKey(CJoystickServices& system, HKEY parent, const char* path)
        : m_system(system), m_result(system.RegOpenKeyA(parent, path, &m_key)) {
        if (m_result != ERROR_SUCCESS) m_key = nullptr;
    }
    ~OpenKey() {
        if (m_key != nullptr) /*LONG closed =*/ m_system.RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    bool IsOpen() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }
    LONG Result() const { return m_result; }

private:
    CJoystickServices& m_system;
    HKEY m_key = nullptr;
    LONG m_result;
};

// What the deletions of one click came to, for the closing message.
struct Tally {
    bool deleted = false;     // at least one calibration key went
    bool failed = false;      // at least one confirmed deletion did not happen
    bool unsearched = false;  // a place that exists could not be opened to be searched
    bool calibrationRemoved = false;  // a value of DirectInput's per-device calibration went
};

// Names listed in one question at most; the rest are counted.
constexpr size_t kMaxNamesListed = 8;

CString KeyPath(const char* first, const char* middle, const char* last) {
    CString path;
    path.Format("%s\\%s\\%s", first, middle, last);
    return path;
}

// The path as the messages name it: keys of the current user carry their hive's name, keys of the
// local machine are shown by their path alone, as they always were.
CString Shown(HKEY hive, const CString& path) {
    return hive == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\" + path : path;
}

// True only when the key opens and certainly has no subkey: then a refused deletion is a matter of
// rights, not of a key Windows will not delete with its subkeys.
bool HasNoSubkeys(CJoystickServices& system, HKEY hive, const char* path) {
    const OpenKey key(system, hive, path);
    if (!key.IsOpen()) return false;
    char name[kNameSize] = {};
    return system.RegEnumKeyA(key.Get(), 0, name, sizeof(name)) == ERROR_NO_MORE_ITEMS;
}

// Lists the subkey names of an open key, each terminated within its buffer; names that read as empty
// (they start with a NUL, which only the native registry calls can write) name no subkey and are left out.
std::vector<std::string> SubkeyNames(CJoystickServices& system, const OpenKey& key) {
    std::vector<std::string> names;
    char name[kNameSize];
    for (DWORD index = 0; key.IsOpen(); ++index) {
        std::memset(name, 0, sizeof(name));
        if (system.RegEnumKeyA(key.Get(), index, name, sizeof(name)) != ERROR_SUCCESS) break;
        name[sizeof(name) - 1] = '\0';
        if (name[0] != '\0') names.emplace_back(name);
    }
    return names;
}

// Reports a failed deletion: a refusal for lack of rights as such, anything else with `format`.
void ReportFailure(CJoystickServices& system, HKEY hive, const CString& path, LONG result, const char* format) {
    CString message;
    if (result == ERROR_ACCESS_DENIED && HasNoSubkeys(system, hive, path)) {
        message.Format("Windows refused to delete\n>%s<\n\nDeleting it needs administrator rights: start Padwright "
                       "as an administrator to remove it.",
                       Shown(hive, path).c_str());
    } else {
        message.Format(format, Shown(hive, path).c_str());
    }
    AfxMessageBox(message, MB_OK);
}

// Shows that a place to search could not be opened.
void ReportAccessError(HKEY hive, const char* path) {
    CString message;
    message.Format("An error occured while accessing\n>%s<", Shown(hive, path).c_str());
    AfxMessageBox(message, MB_OK);
}

// Offers `<subkey>\<last>` for every subkey of `branch` in the hive, one question a key that exists;
// deletes only what the user confirms. Returns the result of opening the branch.
LONG Scan(CJoystickServices& system, HKEY hive, const char* branch, const char* last, Tally& tally) {
    const OpenKey base(system, hive, branch);
    if (!base.IsOpen()) return base.Result();
    CString message;
    char name[kNameSize];
    // The index advances whatever happened: a deletion removes a key one level below the listing.
    for (DWORD index = 0;; ++index) {
        std::memset(name, 0, sizeof(name));
        if (system.RegEnumKeyA(base.Get(), index, name, sizeof(name)) != ERROR_SUCCESS) break;
        name[sizeof(name) - 1] = '\0';
        // A name that reads as empty (it starts with a NUL, which only the native registry calls can
        // write) names no subkey: "<branch>\\<last>" would name <branch>\<last>, a key of another place.
        if (name[0] == '\0') continue;
        const CString path = KeyPath(branch, name, last);
        if (!OpenKey(system, hive, path).IsOpen()) continue;

        message.Format("Found calibration information at\n>%s<\n\nDo you want to delete the calibration stored?",
                       Shown(hive, path).c_str());
        if (AfxMessageBox(message, MB_YESNO) != IDYES) continue;
        const LONG result = system.RegDeleteKeyA(hive, path);
        if (result == ERROR_SUCCESS) {
            AfxMessageBox("Calibration found and deleted.", MB_OK);
            tally.deleted = true;
        } else {
            ReportFailure(system, hive, path, result, "An error occured while trying to delete:\n>%s<!");
            tally.failed = true;
        }
    }
    return ERROR_SUCCESS;
}

// Whether the key or a key below it holds a "Calibration" value: certainly not, certainly, or not known
// because a key could not be opened or listed, or a value not read.
enum class Left { None, Some, Unknown };

Left CalibrationLeft(CJoystickServices& system, HKEY hive, const CString& path, int depth) {
    const OpenKey key(system, hive, path);
    if (!key.IsOpen()) return key.Result() == ERROR_FILE_NOT_FOUND ? Left::None : Left::Unknown;
    DWORD type = REG_NONE;
    DWORD size = 0;
    const LONG queried = system.RegQueryValueExA(key.Get(), "Calibration", nullptr, &type, nullptr, &size);
    if (queried == ERROR_SUCCESS) return Left::Some;
    Left left = queried == ERROR_FILE_NOT_FOUND ? Left::None : Left::Unknown;
    char name[kNameSize];
    for (DWORD index = 0; depth > 0; ++index) {
        std::memset(name, 0, sizeof(name));
        const LONG listed = system.RegEnumKeyA(key.Get(), index, name, sizeof(name));
        if (listed == ERROR_NO_MORE_ITEMS) break;
        if (listed != ERROR_SUCCESS) return Left::Unknown;
        name[sizeof(name) - 1] = '\0';
        if (name[0] == '\0') continue;  // names no subkey (see SubkeyNames)
        const Left below = CalibrationLeft(system, hive, path + "\\" + name, depth - 1);
        if (below == Left::Some) return Left::Some;
        if (below == Left::Unknown) left = Left::Unknown;
    }
    return left;
}

// Deletes every "Calibration" value at the key and below it, and never a key: a device's keys also hold
// its identity (the instance GUID games keep their bindings by), which Windows hands out anew for a key
// that is gone. True when it saw every key and no deletion failed; *removed tells whether a value went.
bool RemoveCalibrationValues(CJoystickServices& system, HKEY hive, const CString& path, int depth, bool* removed) {
    const OpenKey key(system, hive, path);
    if (!key.IsOpen()) return key.Result() == ERROR_FILE_NOT_FOUND;
    bool complete = true;
    char name[kNameSize];
    for (DWORD index = 0; depth > 0; ++index) {
        std::memset(name, 0, sizeof(name));
        const LONG listed = system.RegEnumKeyA(key.Get(), index, name, sizeof(name));
        if (listed == ERROR_NO_MORE_ITEMS) break;
        if (listed != ERROR_SUCCESS) {
            complete = false;
            break;
        }
        name[sizeof(name) - 1] = '\0';
        if (name[0] == '\0') continue;  // names no subkey (see SubkeyNames)
        complete = RemoveCalibrationValues(system, hive, path + "\\" + name, depth - 1, removed) && complete;
    }
    const LONG result = system.RegDeleteValueA(key.Get(), "Calibration");
    if (result == ERROR_SUCCESS) *removed = true;
    return complete && (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND);
}

// DirectInput's per-device calibration, kept per user on Windows 10/11: the devices that hold one are
// offered together, by their display names, in one question, so that a machine that knew many
// devices asks once. Returns the result of opening the branch.
LONG ScanDevices(CJoystickServices& system, Tally& tally) {
    struct Device {
        CString path;
        CString name;
    };
    std::vector<Device> devices;
    {
        const OpenKey branch(system, HKEY_CURRENT_USER, kDeviceCalibrationBranch);
        if (!branch.IsOpen()) return branch.Result();
        for (const std::string& id : SubkeyNames(system, branch)) {
            const CString path = KeyPath(kDeviceCalibrationBranch, id.c_str(), "Calibration");
            if (CalibrationLeft(system, HKEY_CURRENT_USER, path, kMaxTreeDepth) != Left::Some) continue;
            const CString name = ReadOemName(system, id.c_str());
            devices.push_back({path, name.IsEmpty() ? CString(id.c_str()) : name});
        }
    }
    if (devices.empty()) return ERROR_SUCCESS;

    CString list;
    for (size_t i = 0; i < devices.size() && i < kMaxNamesListed; ++i) list += devices[i].name + "\n";
    if (devices.size() > kMaxNamesListed) {
        CString more;
        more.Format("and %u more\n", static_cast<unsigned>(devices.size() - kMaxNamesListed));
        list += more;
    }
    CString message;
    message.Format("Found DirectInput calibration of these game controllers:\n\n%s\nDo you want to delete the "
                   "calibration stored? The controllers keep their identity, and games keep their bindings for them.",
                   list.c_str());
    if (AfxMessageBox(message, MB_YESNO) != IDYES) return ERROR_SUCCESS;

    CString failed;
    size_t failures = 0;
    for (const Device& device : devices) {
        // Where the removal could not see or do everything, a second look settles what remains.
        if (RemoveCalibrationValues(system, HKEY_CURRENT_USER, device.path, kMaxTreeDepth, &tally.calibrationRemoved) ||
            CalibrationLeft(system, HKEY_CURRENT_USER, device.path, kMaxTreeDepth) == Left::None) {
            tally.deleted = true;
        } else {
            if (failures < kMaxNamesListed) failed += "\n" + device.name;
            ++failures;
        }
    }
    if (failures == 0) {
        AfxMessageBox("Calibration found and deleted.", MB_OK);
        return ERROR_SUCCESS;
    }
    tally.failed = true;
    if (failures > kMaxNamesListed) {
        CString more;
        more.Format("\nand %u more", static_cast<unsigned>(failures - kMaxNamesListed));
        failed += more;
    }
    message.Format("An error occurred while deleting the calibration of:\n%s", failed.c_str());
    AfxMessageBox(message, MB_OK);
    return ERROR_SUCCESS;
}

// Removes the installed controllers' settings key from every hive that has it, announces the change
// when one went, and says what happened in each.
void RemoveControllers(CJoystickServices& system, const char* driverKey, Tally& tally) {
    const CString path = KeyPath(kJoystickRegistryBase, driverKey, "CurrentJoystickSettings");
    const HKEY hives[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    LONG results[2] = {};
    for (int i = 0; i < 2; ++i) results[i] = system.RegDeleteKeyA(hives[i], path);
    const bool found[2] = {results[0] != ERROR_FILE_NOT_FOUND, results[1] != ERROR_FILE_NOT_FOUND};
    if (!found[0] && !found[1]) {
        // In neither hive: already gone, but told as the failed deletion it is.
        ReportFailure(system, HKEY_LOCAL_MACHINE, path, results[0], "An error occurred while deleting\n>%s<");
        return;
    }
    const bool deleted[2] = {results[0] == ERROR_SUCCESS, results[1] == ERROR_SUCCESS};
    const bool failed[2] = {found[0] && !deleted[0], found[1] && !deleted[1]};
    if (deleted[0] || deleted[1]) /*MMRESULT announced =*/ system.joyConfigChanged(0);
    if (!failed[0] && !failed[1]) {
        AfxMessageBox("All game controllers have been deleted.\n", MB_OK);
        return;
    }
    tally.failed = true;
    for (int i = 0; i < 2; ++i) {
        if (!failed[i]) continue;
        if (deleted[1 - i]) {
            CString message;
            message.Format("The game controllers have been deleted from\n>%s<\nbut not from\n>%s<",
                           Shown(hives[1 - i], path).c_str(), Shown(hives[i], path).c_str());
            AfxMessageBox(message, MB_OK);
        }
        ReportFailure(system, hives[i], path, results[i], "An error occurred while deleting\n>%s<");
    }
}

}  // namespace

void CPadwrightDlg::OnClearCalibration() {
    CJoystickServices& system = JoystickServices();
    Tally tally;

    // The configuration of the installed controllers goes first, after one confirmation.
    JOYCAPSA caps;
    bool found = false;
    for (int id = 0; id < kJoystickNumbers && !found; ++id) {
        std::memset(&caps, 0, sizeof(caps));
        found = system.joyGetDevCapsA(static_cast<UINT_PTR>(id), &caps, sizeof(caps)) == JOYERR_NOERROR;
    }
    if (found) {
        if (AfxMessageBox("You still have some game controllers installed...\nClearing calibration information "
                          "requires to remove them completely.\n\nProceed with removal of all game controllers?",
                          MB_YESNO) != IDYES)
            return;
        const std::string driverKey(caps.szRegKey, strnlen(caps.szRegKey, sizeof(caps.szRegKey)));
        RemoveControllers(system, driverKey.c_str(), tally);
    }

    // Then every JoystickSettings key one level below the base, the local machine's then the user's,
    // each after its own question, then DirectInput's per-device calibration. A place that is not
    // there is passed over; one that is there but does not open is told.
    bool told = false;
    bool searched = false;
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const LONG opened = Scan(system, hive, kJoystickRegistryBase, "JoystickSettings", tally);
        searched = searched || opened == ERROR_SUCCESS;
        if (opened == ERROR_SUCCESS || opened == ERROR_FILE_NOT_FOUND) continue;
        ReportAccessError(hive, kJoystickRegistryBase);
        told = true;
        tally.unsearched = true;
    }
    if (!searched) {
        if (!told) ReportAccessError(HKEY_LOCAL_MACHINE, kJoystickRegistryBase);
        return;
    }
    const LONG devices = ScanDevices(system, tally);
    if (devices != ERROR_SUCCESS && devices != ERROR_FILE_NOT_FOUND) {
        ReportAccessError(HKEY_CURRENT_USER, kDeviceCalibrationBranch);
        tally.unsearched = true;
    }
    if (tally.calibrationRemoved) {
        // What games read changed: the system is told, and the grid, which may have reloaded from an
        // announcement delivered before the deletion, reloads from what remains, so that no later edit
        // writes the deleted calibration back.
        /*MMRESULT announced =*/ system.joyConfigChanged(0);
        OnJoyConfigChanged(0, 0);
    }

    const char* closing = nullptr;
    if (!tally.failed && tally.unsearched) {
        closing = tally.deleted ? "Some calibration information has been deleted, but not all of it could be."
                                : "No calibration information was found where Padwright could look.";
    } else if (!tally.failed) {
        closing = tally.deleted ? "All calibration information has been deleted."
                                : "No calibration information was found. Probably already deleted.";
    } else {
        closing = tally.deleted ? "Some calibration information has been deleted, but not all of it could be."
                                : "The calibration information found could not be deleted.";
    }
    AfxMessageBox(closing, MB_OK);
}
