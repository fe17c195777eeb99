// Win32Host: the dialog host on real Win32 dialogs. Dialogs are built in memory from src/res and run
// with DialogBoxIndirectParam; every message a dialog gets goes to the framework first, and what the
// framework leaves alone goes on to the system's dialog handling.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "framework/dialog_host.h"

namespace win32 {

class Win32Host : public DialogHost {
public:
    // Registers the common controls (the up-down class; comctl32 version 6 through the manifest)
    // and becomes the process's host.
    Win32Host();
    ~Win32Host() override;
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    HINSTANCE InstanceHandle() override;
    HICON LoadIconResource(int id, int cx, int cy) override;
    int GetSystemMetrics(int index) override;
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    void BroadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR RunModal(const res::DialogTemplate& tmpl, HWND owner, DialogWindow& window) override;
    void EndDialog(HWND dialog, INT_PTR result) override;
    HWND GetDlgItem(HWND dialog, int id) override;
    int GetText(HWND wnd, char* buffer, int maxCount) override;
    int GetTextLength(HWND wnd) override;
    void SetText(HWND wnd, const char* text) override;
    UINT GetCheck(HWND button) override;
    void SetCheck(HWND button, UINT state) override;
    void SetFocus(HWND wnd) override;
    BOOL EnableControl(HWND wnd, BOOL enable) override;
    void SetEditSel(HWND edit, int start, int end) override;
    void SetSpinRange(HWND updown, int lower, int upper) override;
    LRESULT Send(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefaultProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    HMENU GetSystemMenu(HWND wnd, BOOL revert) override;
    BOOL AppendMenuItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) override;
    void SetIcon(HWND wnd, HICON icon, BOOL big) override;
    BOOL IsIconic(HWND wnd) override;
    void GetClientRect(HWND wnd, RECT* rect) override;
    HDC BeginPaint(HWND wnd) override;
    void EndPaint(HWND wnd, HDC dc) override;
    void DrawIcon(HDC dc, int x, int y, HICON icon) override;
    UINT_PTR SetTimer(HWND wnd, UINT_PTR id, UINT elapse) override;

    // One running dialog: what DialogProc needs to route its messages.
    struct Running {
        Win32Host* host;
        const res::DialogTemplate* tmpl;
        DialogWindow* window;
        HWND hwnd = nullptr;
        std::map<HWND, std::string> links;  // link statics and the targets they open
    };

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(Running& running, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void FindLinks(Running& running);

    std::vector<Running*> m_running;  // innermost last
    std::vector<HICON> m_icons;       // loaded here, destroyed with the host
    std::map<HDC, PAINTSTRUCT> m_painting;
};

}  // namespace win32
