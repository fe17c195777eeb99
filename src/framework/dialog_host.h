// DialogHost: what the framework needs from a window system. One realisation per platform
// (headless for tests, FLTK on Linux, Win32 on Windows); nothing above this line knows which.
#pragma once

#include "platform/compat/wintypes.h"
#include "res/templates.h"

// The receiving end of a dialog's messages, implemented by the framework's dialog class.
// A host calls it for every message the dialog gets: WM_INITDIALOG once its controls exist,
// WM_COMMAND from controls (lParam = the control's handle), menus and keys (lParam = 0), WM_NOTIFY,
// WM_SYSCOMMAND, WM_TIMER, WM_PAINT, WM_QUERYDRAGICON and registered messages.
class DialogWindow {
public:
    // Returns false when the message is left to the host's default handling; `result` is the
    // message's result when it returns true.
    virtual bool HostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

protected:
    ~DialogWindow() = default;
};

// Method names avoid the Windows SDK's A/W macros (MessageBox, SetWindowText, ...).
class DialogHost {
public:
    virtual ~DialogHost() = default;

    // Process
    virtual HINSTANCE InstanceHandle() = 0;
    // Icon resource `id` at cx x cy pixels (0, 0: the system's large icon size); nullptr when missing.
    virtual HICON LoadIconResource(int id, int cx, int cy) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    // A modal message box; returns IDOK, IDYES or IDNO. `owner` may be null (no dialog yet).
    virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
    // Queues a message for every dialog the host has open; delivered later from the message loop.
    virtual void BroadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Runs a dialog built from `tmpl` modally and returns the value given to EndDialog. Timer and
    // posted messages keep arriving while nested modal loops (message boxes, other dialogs) run.
    virtual INT_PTR RunModal(const res::DialogTemplate& tmpl, HWND owner, DialogWindow& window) = 0;
    virtual void EndDialog(HWND dialog, INT_PTR result) = 0;

    // Windows and controls
    virtual HWND GetDlgItem(HWND dialog, int id) = 0;  // nullptr when the dialog has no such control
    // Copies at most maxCount - 1 characters and a terminator; returns the number copied.
    virtual int GetText(HWND wnd, char* buffer, int maxCount) = 0;
    virtual int GetTextLength(HWND wnd) = 0;
    virtual void SetText(HWND wnd, const char* text) = 0;
    virtual UINT GetCheck(HWND button) = 0;
    virtual void SetCheck(HWND button, UINT state) = 0;
    virtual void SetFocus(HWND wnd) = 0;
    // Enables or disables a control: a disabled one takes no input (no typing, clicks or steps) and is
    // drawn greyed. Returns TRUE when it was disabled before, as Windows' EnableWindow does.
    virtual BOOL EnableControl(HWND wnd, BOOL enable) = 0;
    virtual void SetEditSel(HWND edit, int start, int end) = 0;  // end -1: to the end of the text
    virtual void SetSpinRange(HWND updown, int lower, int upper) = 0;
    virtual LRESULT Send(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The host's own handling of a message the dialog passed on.
    virtual LRESULT DefaultProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Shell
    virtual HMENU GetSystemMenu(HWND wnd, BOOL revert) = 0;  // nullptr when the window has none
    virtual BOOL AppendMenuItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) = 0;
    virtual void SetIcon(HWND wnd, HICON icon, BOOL big) = 0;
    virtual BOOL IsIconic(HWND wnd) = 0;
    virtual void GetClientRect(HWND wnd, RECT* rect) = 0;
    virtual HDC BeginPaint(HWND wnd) = 0;
    virtual void EndPaint(HWND wnd, HDC dc) = 0;
    virtual void DrawIcon(HDC dc, int x, int y, HICON icon) = 0;
    // Starts (or restarts) timer `id` of the window; WM_TIMER arrives every `elapse` ms.
    virtual UINT_PTR SetTimer(HWND wnd, UINT_PTR id, UINT elapse) = 0;
};

// The process's host, set by the program's main before the application runs.
DialogHost& AfxGetHost();
void AfxSetHost(DialogHost* host);
// For a host's destructor: no host is set any more if `host` was the one.
void AfxForgetHost(const DialogHost* host);
