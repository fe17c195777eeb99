// The About box: the version line and the makers' notice.
#include "app/about_dlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_VERSION_LINE, m_version);
}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CString format;
    format.LoadString(IDS_VERSION_FORMAT);
    m_version.Format(format, PADWRIGHT_VERSION);
    UpdateData(FALSE);
    return TRUE;
}
