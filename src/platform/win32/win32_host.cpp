// The dialog host on Win32. The framework sees every message of a dialog, from the first one the
// system sends (before WM_INITDIALOG) to the last; a message it does not handle goes to DefDlgProc.
#include "platform/win32/win32_host.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/win32/dialog_template.h"

namespace win32 {
namespace {

// The dialog being created: the system sends it messages before WM_INITDIALOG, whose lParam is the
// first place DialogBoxIndirectParam's parameter shows up; until then this says whose they are.
Win32Host::Running* g_creating = nullptr;

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return true;
    default:
        return false;
    }
}

}  // namespace

Win32Host::Win32Host() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    // The up-down class. The manifest asks for Common Controls 6, so comctl32 version 6 also supplies
    // the button, edit and static classes the dialogs name, themed, in place of user32's.
    controls.dwICC = ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&controls);
    AfxSetHost(this);
}

Win32Host::~Win32Host() {
    AfxForgetHost(this);
    for (HICON icon : m_icons) DestroyIcon(icon);
}

HINSTANCE Win32Host::InstanceHandle() { return GetModuleHandleA(nullptr); }

HICON Win32Host::LoadIconResource(int id, int cx, int cy) {
    const UINT flags = LR_DEFAULTCOLOR | (cx == 0 && cy == 0 ? LR_DEFAULTSIZE : 0);
    HANDLE image = LoadImageA(InstanceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON, cx, cy, flags);
    if (!image) return nullptr;
    m_icons.push_back(static_cast<HICON>(image));
    return m_icons.back();
}

int Win32Host::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

int Win32Host::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return MessageBoxA(owner, text, caption, type);
}

void Win32Host::BroadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    for (Running* running : m_running)
        if (running->hwnd) PostMessageA(running->hwnd, message, wParam, lParam);
}

INT_PTR Win32Host::RunModal(const res::DialogTemplate& tmpl, HWND owner, DialogWindow& window) {
    const std::vector<uint8_t> bytes = BuildDialogTemplate(tmpl);
    Running running{this, &tmpl, &window, nullptr, {}};
    m_running.push_back(&running);
    g_creating = &running;
    const INT_PTR result =
        DialogBoxIndirectParamA(InstanceHandle(), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
                                &Win32Host::DialogProc, reinterpret_cast<LPARAM>(&running));
    if (g_creating == &running) g_creating = nullptr;  // creation failed before the first message
    m_running.pop_back();
    return result;
}

INT_PTR CALLBACK Win32Host::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* running = reinterpret_cast<Running*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!running) {
        running = message == WM_INITDIALOG ? reinterpret_cast<Running*>(lParam) : g_creating;
        if (!running) return FALSE;
        g_creating = nullptr;
        running->hwnd = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(running));
    }
    const INT_PTR result = running->host->Route(*running, hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        running->hwnd = nullptr;
    }
    return result;
}

void Win32Host::FindLinks(Running& running) {
    // The controls stand in the child list in template order.
    HWND child = GetWindow(running.hwnd, GW_CHILD);
    for (const res::ControlTemplate& control : running.tmpl->controls) {
        if (!child) break;
        if (control.kind == res::ControlKind::Link) {
            const LinkText link = ParseLinkMarkup(control.text);
            if (!link.href.empty()) running.links[child] = link.href;
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
}

INT_PTR Win32Host::Route(Running& running, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) FindLinks(running);
    if (message == WM_COMMAND && lParam != 0 && HIWORD(wParam) == STN_CLICKED) {
        const auto link = running.links.find(reinterpret_cast<HWND>(lParam));
        if (link != running.links.end())
            ShellExecuteA(hwnd, "open", link->second.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    LRESULT result = 0;
    if (!running.window->HostMessage(hwnd, message, wParam, lParam, result)) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

void Win32Host::EndDialog(HWND dialog, INT_PTR result) { ::EndDialog(dialog, result); }

HWND Win32Host::GetDlgItem(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

int Win32Host::GetText(HWND wnd, char* buffer, int maxCount) {
    if (maxCount <= 0) return 0;
    buffer[0] = '\0';
    return GetWindowTextA(wnd, buffer, maxCount);
}

int Win32Host::GetTextLength(HWND wnd) { return GetWindowTextLengthA(wnd); }

void Win32Host::SetText(HWND wnd, const char* text) { SetWindowTextA(wnd, text ? text : ""); }

UINT Win32Host::GetCheck(HWND button) { return static_cast<UINT>(SendMessageA(button, BM_GETCHECK, 0, 0)); }

void Win32Host::SetCheck(HWND button, UINT state) { SendMessageA(button, BM_SETCHECK, state, 0); }

void Win32Host::SetFocus(HWND wnd) {
    HWND parent = GetParent(wnd);
    for (Running* running : m_running) {
        if (running->hwnd && running->hwnd == parent) {
            // Through the dialog manager, so that it keeps the default button right.
            SendMessageA(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(wnd), TRUE);
            return;
        }
    }
    ::SetFocus(wnd);
}

BOOL Win32Host::EnableControl(HWND wnd, BOOL enable) { return ::EnableWindow(wnd, enable); }

void Win32Host::SetEditSel(HWND edit, int start, int end) {
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void Win32Host::SetSpinRange(HWND updown, int lower, int upper) {
    SendMessageA(updown, UDM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
}

LRESULT Win32Host::Send(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(wnd, message, wParam, lParam);
}

LRESULT Win32Host::DefaultProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(wnd, message, wParam, lParam);
}

HMENU Win32Host::GetSystemMenu(HWND wnd, BOOL revert) { return ::GetSystemMenu(wnd, revert); }

BOOL Win32Host::AppendMenuItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    return AppendMenuA(menu, flags, id, text);
}

void Win32Host::SetIcon(HWND wnd, HICON icon, BOOL big) {
    SendMessageA(wnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

BOOL Win32Host::IsIconic(HWND wnd) { return ::IsIconic(wnd); }

void Win32Host::GetClientRect(HWND wnd, RECT* rect) {
    if (!::GetClientRect(wnd, rect)) *rect = RECT{0, 0, 0, 0};
}

HDC Win32Host::BeginPaint(HWND wnd) {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(wnd, &paint);
    if (dc) m_painting[dc] = paint;
    return dc;
}

void Win32Host::EndPaint(HWND wnd, HDC dc) {
    const auto paint = m_painting.find(dc);
    if (paint == m_painting.end()) return;
    ::EndPaint(wnd, &paint->second);
    m_painting.erase(paint);
}

void Win32Host::DrawIcon(HDC dc, int x, int y, HICON icon) { ::DrawIcon(dc, x, y, icon); }

UINT_PTR Win32Host::SetTimer(HWND wnd, UINT_PTR id, UINT elapse) { return ::SetTimer(wnd, id, elapse, nullptr); }

}  // namespace win32
