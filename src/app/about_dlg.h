// CAboutDlg: the About box reached from the main dialog's system menu.
#pragma once

#include "framework/afxwin.h"
#include "framework/ddx.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    CString m_version;  // "Padwright Version 3.30.532" once initialised

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};
