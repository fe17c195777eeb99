// Start-up: the warning first, then the main dialog, run modally until the user closes it.
#include "app/padwright_app.h"

#include "dialog/padwright_dlg.h"
#include "res/resource.h"

CPadwrightApp theApp;

BEGIN_MESSAGE_MAP(CPadwrightApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CPadwrightApp::InitInstance() {
    Enable3dControlsStatic();
    AfxMessageBox(IDS_WARNING, MB_OK);  // informs only: start-up goes on whatever the answer

    CPadwrightDlg dlg;
    // cppcheck-suppress danglingLifetime ; the dialog's destructor clears m_pMainWnd again
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The program ends here: returning FALSE tells the framework not to run a message loop.
    return FALSE;
}
