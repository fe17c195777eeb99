// padwright.exe: the program on real Win32 dialogs and the system's own joystick services.
#include "framework/afxwin.h"
#include "platform/win32/win32_host.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    win32::Win32Host host;
    return AfxWinMain(host);
}
