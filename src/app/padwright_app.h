// CPadwrightApp: the application object. It warns, runs the main dialog and ends the program.
#pragma once

#include "framework/afxwin.h"

class CPadwrightApp : public CWinApp {
public:
    CPadwrightApp() = default;
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CPadwrightApp theApp;
