// "Clear all calib. data": removes the installed controllers' configuration, then offers every
// stored calibration key of the joystick branch for deletion, one question a key.
#include <cstring>
#include <string>

#include "dialog/padwright_dlg.h"
#include "joystick/joystick_services.h"

namespace {

constexpr int kJoystickNumbers = 16;

CString KeyPath(const char* middle, const char* last) {
    CString path;
    path.Format("%s\\%s\\%s", kJoystickRegistryBase, middle, last);
    return path;
}

}  // namespace

void CPadwrightDlg::OnClearCalibration() {
    CJoystickServices& system = JoystickServices();
    CString message;

    // The configuration of the installed controllers goes first, after one confirmation:
    // 1. any joystick number with capabilities means controllers are installed;
    JOYCAPSA caps;
    bool found = false;
    for (int id = 0; id < kJoystickNumbers && !found; ++id) {
        std::memset(&caps, 0, sizeof(caps));
        found = system.joyGetDevCapsA(static_cast<UINT_PTR>(id), &caps, sizeof(caps)) == JOYERR_NOERROR;
    }
    if (found) {
        // 2. one question for all of them; anything but Yes ends the command;
        if (AfxMessageBox("You still have some game controllers installed...\nClearing calibration information "
                          "requires to remove them completely.\n\nProceed with removal of all game controllers?",
                          MB_YESNO) != IDYES)
            return;
        // 3. the current settings key of the driver found goes, and the change is announced.
        const std::string driverKey(caps.szRegKey, strnlen(caps.szRegKey, sizeof(caps.szRegKey)));
        const CString path = KeyPath(driverKey.c_str(), "CurrentJoystickSettings");
        if (system.RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS) {
            system.joyConfigChanged(0);
            AfxMessageBox("All game controllers have been deleted.\n", MB_OK);
        } else {
            message.Format("An error occurred while deleting\n>%s<", path.c_str());
            AfxMessageBox(message, MB_OK);
        }
    }

    // Then every JoystickSettings key one level below the base, each after its own question:
    // 4. the base is opened, or the command ends with an error;
    HKEY base = nullptr;
    if (system.RegOpenKeyA(HKEY_LOCAL_MACHINE, kJoystickRegistryBase, &base) != ERROR_SUCCESS) {
        message.Format("An error occured while accessing\n>%s<", kJoystickRegistryBase);
        AfxMessageBox(message, MB_OK);
        return;
    }
    // 5. each driver key with a JoystickSettings key below it is asked about, and deleted on Yes;
    bool deleted = false;
    char name[260];
    for (DWORD index = 0;; ++index) {
        std::memset(name, 0, sizeof(name));
        if (system.RegEnumKeyA(base, index, name, sizeof(name)) != ERROR_SUCCESS) break;
        name[sizeof(name) - 1] = '\0';
        const CString path = KeyPath(name, "JoystickSettings");
        HKEY key = nullptr;
        if (system.RegOpenKeyA(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS) continue;
        system.RegCloseKey(key);

        message.Format("Found calibration information at\n>%s<\n\nDo you want to delete the calibration stored?",
                       path.c_str());
        if (AfxMessageBox(message, MB_YESNO) != IDYES) continue;
        if (system.RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS) {
            AfxMessageBox("Calibration found and deleted.", MB_OK);
            deleted = true;
        } else {
            message.Format("An error occured while trying to delete:\n>%s<!", path.c_str());
            AfxMessageBox(message, MB_OK);
        }
    }
    // 6. one closing message: whether anything was deleted.
    system.RegCloseKey(base);
    AfxMessageBox(deleted ? "All calibration information has been deleted."
                          : "No calibration information was found. Probably already deleted.",
                  MB_OK);
}
