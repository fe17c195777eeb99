// Keeping the selected controller's calibration for good, and forgetting kept ones: offered in the system
// menu, and after "Clear all calib. data", only where the platform says it can keep a calibration. The
// platform does the keeping (and any authentication it needs); the dialog asks and tells.
#include "dialog/padwright_dlg.h"
#include "joystick/joystick_services.h"
#include "res/resource.h"

namespace {

using KeepResult = CJoystickServices::KeepResult;

// Tells what came of a keep or forget: `done` on success, the declined authentication, or the reason.
void TellKeepResult(KeepResult result, UINT done, const char* why) {
    if (result == KeepResult::Done) {
        AfxMessageBox(done, MB_OK);
    } else if (result == KeepResult::Declined) {
        AfxMessageBox(IDS_KEEP_DECLINED, MB_OK);
    } else {
        CString format;
        format.LoadString(IDS_KEEP_FAILED);
        CString text;
        text.Format(format, why);
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    }
}

}  // namespace

void CPadwrightDlg::AddKeepMenuEntries(CMenu* systemMenu) {
    if (systemMenu == nullptr || !JoystickServices().CanKeepCalibration()) {
        return;
    }
    for (const auto& [command, text] : {std::pair<UINT, UINT>{IDM_KEEP_CALIBRATION, IDS_KEEP_MENU},
                                        std::pair<UINT, UINT>{IDM_FORGET_KEPT, IDS_FORGET_MENU}}) {
        CString entry;
        entry.LoadString(text);
        if (!entry.IsEmpty()) systemMenu->AppendMenu(MF_STRING, command, entry);
    }
}

bool CPadwrightDlg::OnKeepCommand(UINT command) {
    if (command != IDM_KEEP_CALIBRATION && command != IDM_FORGET_KEPT) {
        return false;
    }
    CJoystickServices& system = JoystickServices();
    if (!system.CanKeepCalibration() || m_joystickId < 0) {
        return true;
    }
    char why[256] = {};
    if (command == IDM_FORGET_KEPT) {
        TellKeepResult(system.ForgetKeptCalibration(static_cast<UINT>(m_joystickId), why, sizeof(why)), IDS_FORGOTTEN, why);
        return true;
    }
    // Yes: this unit; No: the model. Declining the authentication that follows keeps nothing.
    const int scope = AfxMessageBox(IDS_KEEP_SCOPE, MB_YESNO);
    TellKeepResult(system.KeepCalibration(static_cast<UINT>(m_joystickId), scope == IDYES, why, sizeof(why)), IDS_KEPT, why);
    return true;
}

void CPadwrightDlg::OnClearAll() {
    OnClearCalibration();
    // Kept calibrations are the platform's, not the registry's: a step of their own, after the cleaner's.
    CJoystickServices& system = JoystickServices();
    if (system.CanKeepCalibration() && AfxMessageBox(IDS_FORGET_ALL, MB_YESNO) == IDYES) {
        char why[256] = {};
        TellKeepResult(system.ForgetAllKeptCalibrations(why, sizeof(why)), IDS_FORGOTTEN_ALL, why);
    }
}
