// "Clear all calib. data": removes the installed controllers' configuration, then offers every
// stored calibration key of the joystick branch for deletion, one question a key.
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
    OpenKey(CJoystickServices& system, HKEY parent, const char* path) : m_system(system) {
        if (system.RegOpenKeyA(parent, path, &m_key) != ERROR_SUCCESS) m_key = nullptr;
    }
    ~OpenKey() {
        if (m_key != nullptr) /*LONG closed =*/ m_system.RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    bool IsOpen() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }

private:
    CJoystickServices& m_system;
    HKEY m_key = nullptr;
};

// What the deletions of one click came to, for the closing message.
struct Tally {
    bool deleted = false;  // at least one calibration key went
    bool failed = false;   // at least one confirmed deletion did not happen
};

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

// Deletes the key after its subkeys, deepest first, since Windows deletes no key that has subkeys.
// Returns the first failing deletion's result; the rest of the tree then stays.
LONG DeleteTree(CJoystickServices& system, HKEY hive, const CString& path, int depth) {
    if (depth > 0) {
        std::vector<std::string> names;
        {
            const OpenKey key(system, hive, path);
            char name[kNameSize];
            for (DWORD index = 0; key.IsOpen(); ++index) {
                std::memset(name, 0, sizeof(name));
                if (system.RegEnumKeyA(key.Get(), index, name, sizeof(name)) != ERROR_SUCCESS) break;
                name[sizeof(name) - 1] = '\0';
                if (name[0] != '\0') names.emplace_back(name);  // an empty name would name the key itself
            }
        }
        for (const std::string& name : names) {
            const LONG result = DeleteTree(system, hive, path + "\\" + name.c_str(), depth - 1);
            if (result != ERROR_SUCCESS) return result;
        }
    }
    return system.RegDeleteKeyA(hive, path);
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

// Offers `<subkey>\<last>` for every subkey of `branch` in the hive, one question a key that exists;
// deletes only what the user confirms (with its subkeys when `tree`). False when the branch does not open.
bool Scan(CJoystickServices& system, HKEY hive, const char* branch, const char* last, bool tree, Tally& tally) {
    const OpenKey base(system, hive, branch);
    if (!base.IsOpen()) return false;
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
        const LONG result = tree ? DeleteTree(system, hive, path, kMaxTreeDepth) : system.RegDeleteKeyA(hive, path);
        if (result == ERROR_SUCCESS) {
            AfxMessageBox("Calibration found and deleted.", MB_OK);
            tally.deleted = true;
        } else {
            ReportFailure(system, hive, path, result, "An error occured while trying to delete:\n>%s<!");
            tally.failed = true;
        }
    }
    return true;
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
        const CString path = KeyPath(kJoystickRegistryBase, driverKey.c_str(), "CurrentJoystickSettings");
        // The local machine's key first; where it has none, the user's.
        HKEY hive = HKEY_LOCAL_MACHINE;
        LONG result = system.RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
        if (result == ERROR_FILE_NOT_FOUND) {
            const LONG user = system.RegDeleteKeyA(HKEY_CURRENT_USER, path);
            if (user != ERROR_FILE_NOT_FOUND) {
                hive = HKEY_CURRENT_USER;
                result = user;
            }
        }
        if (result == ERROR_SUCCESS) {
            /*MMRESULT announced =*/ system.joyConfigChanged(0);
            AfxMessageBox("All game controllers have been deleted.\n", MB_OK);
        } else {
            ReportFailure(system, hive, path, result, "An error occurred while deleting\n>%s<");
            // A key that is in neither hive is already gone; anything else is a removal that failed.
            if (result != ERROR_FILE_NOT_FOUND) tally.failed = true;
        }
    }

    // Then every JoystickSettings key one level below the base, the local machine's then the user's,
    // then DirectInput's per-device calibration; each after its own question.
    const bool machineBase = Scan(system, HKEY_LOCAL_MACHINE, kJoystickRegistryBase, "JoystickSettings", false, tally);
    const bool userBase = Scan(system, HKEY_CURRENT_USER, kJoystickRegistryBase, "JoystickSettings", false, tally);
    if (!machineBase && !userBase) {
        CString message;
        message.Format("An error occured while accessing\n>%s<", kJoystickRegistryBase);
        AfxMessageBox(message, MB_OK);
        return;
    }
    /*bool opened =*/ Scan(system, HKEY_CURRENT_USER, kDeviceCalibrationBranch, "Calibration", true, tally);

    const char* closing = nullptr;
    if (!tally.failed) {
        closing = tally.deleted ? "All calibration information has been deleted."
                                : "No calibration information was found. Probably already deleted.";
    } else {
        closing = tally.deleted ? "Some calibration information has been deleted, but not all of it could be."
                                : "The calibration information found could not be deleted.";
    }
    AfxMessageBox(closing, MB_OK);
}
