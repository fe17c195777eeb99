// DialogHost on FLTK 1.3: real windows for the dialogs of src/res, message boxes, timers and the
// shell duties (icons, the About entry) on the Linux desktop. FLTK itself stays inside the .cpp.
#pragma once

#include <memory>

#include "framework/dialog_host.h"

namespace fltkhost {

// The average character width, in pixels, of the dialog font at `size` pixels, measured over the
// alphabet on the display (opened when it is not yet): what the host chooses its font size by.
double DialogFontAverageWidth(int size);

class FltkHost : public DialogHost {
public:
    FltkHost();
    ~FltkHost() override;
    FltkHost(const FltkHost&) = delete;
    FltkHost& operator=(const FltkHost&) = delete;

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

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace fltkhost
