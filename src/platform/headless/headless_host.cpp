// The in-memory dialog host. It behaves as the Windows dialog manager does where the program can
// tell: edits report EN_UPDATE/EN_CHANGE also when the program sets their text, check boxes toggle
// themselves, Enter and Escape send IDOK and IDCANCEL, timers and posted messages keep arriving
// while a message box is open.
#include "platform/headless/headless_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "res/icon_art.h"

namespace headless {

namespace {

using res::ControlKind;

// Dialog units to pixels for 8-point MS Sans Serif at 96 dpi (base units 6 x 13).
int UnitsToPixelsX(int units) { return units * 6 / 4; }
int UnitsToPixelsY(int units) { return units * 13 / 8; }


}  // namespace

// ---- Window

Window::Window(HeadlessHost& host, const res::DialogTemplate& tmpl, HWND owner, DialogWindow& proc)
    : m_host(host), m_template(&tmpl), m_owner(owner), m_proc(proc),
      m_hasSystemMenu((tmpl.flags & res::kSysMenu) != 0) {
    for (const res::ControlTemplate& t : tmpl.controls) {
        auto control = std::make_unique<Control>();
        control->tmpl = &t;
        control->window = this;
        if (t.kind != ControlKind::Edit && t.kind != ControlKind::UpDown) control->text = t.text;
        m_controls.push_back(std::move(control));
    }
}

Window::Control* Window::Find(int id) {
    for (auto& c : m_controls)
        if (c->tmpl->id == id) return c.get();
    return nullptr;
}

const Window::Control& Window::Get(int id) const {
    for (auto& c : m_controls)
        if (c->tmpl->id == id) return *c;
    throw std::out_of_range("dialog " + std::to_string(m_template->id) + " has no control " + std::to_string(id));
}

bool Window::Exists(int id) const {
    return std::any_of(m_controls.begin(), m_controls.end(), [id](auto& c) { return c->tmpl->id == id; });
}

std::string Window::Text(int id) const { return Get(id).text; }
bool Window::Checked(int id) const { return Get(id).check != 0; }
int Window::FocusId() const { return m_focus ? m_focus->tmpl->id : 0; }
std::pair<int, int> Window::Selection(int id) const { return {Get(id).selStart, Get(id).selEnd}; }
std::pair<int, int> Window::SpinRange(int id) const { return {Get(id).spinLower, Get(id).spinUpper}; }
HWND Window::ControlHandle(int id) const { return reinterpret_cast<HWND>(const_cast<Control*>(&Get(id))); }

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (m_proc.HostMessage(Handle(), message, wParam, lParam, result)) return result;
    return DefaultProc(message, wParam, lParam);
}

LRESULT Window::DefaultProc(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: return Dispatch(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        case SC_MINIMIZE: m_iconic = true; return 0;
        case SC_RESTORE: m_iconic = false; return 0;
        default: return 0;
        }
    case WM_ICONERASEBKGND:
        if (m_painting) m_painting->erasedBackground = true;
        return 1;
    case WM_PAINT:
        if (m_painting) m_painting->defaultPaint = true;
        return 0;
    default: return 0;  // WM_QUERYDRAGICON included: no drag icon of the host's own
    }
}

void Window::Notify(Control& control, UINT code) {
    Dispatch(WM_COMMAND, MAKEWPARAM(control.tmpl->id, code), reinterpret_cast<LPARAM>(&control));
}

void Window::AfterUserAction() { m_host.DeliverPosted(); }

void Window::ChangeEdit(Control& edit, int start, int end, const std::string& insert) {
    std::string& text = edit.text;
    start = std::clamp(start, 0, static_cast<int>(text.size()));
    end = std::clamp(end < 0 ? static_cast<int>(text.size()) : end, start, static_cast<int>(text.size()));
    text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), insert);
    edit.selStart = edit.selEnd = start + static_cast<int>(insert.size());
    Notify(edit, EN_UPDATE);
    Notify(edit, EN_CHANGE);
}

void Window::Type(int id, const std::string& chars) {
    Control* edit = Find(id);
    if (!edit || edit->tmpl->kind != ControlKind::Edit) throw std::invalid_argument("not an edit");
    if (m_focus != edit) {  // clicking into the edit puts the caret at the end
        m_focus = edit;
        edit->selStart = edit->selEnd = static_cast<int>(edit->text.size());
    }
    for (char c : chars) ChangeEdit(*edit, edit->selStart, edit->selEnd, std::string(1, c));
    AfterUserAction();
}

void Window::Paste(int id, const std::string& text) {
    Control* edit = Find(id);
    if (!edit || edit->tmpl->kind != ControlKind::Edit) throw std::invalid_argument("not an edit");
    m_focus = edit;
    ChangeEdit(*edit, 0, -1, text);
    AfterUserAction();
}

void Window::Backspace(int id) {
    Control* edit = Find(id);
    if (!edit || edit->tmpl->kind != ControlKind::Edit) throw std::invalid_argument("not an edit");
    if (m_focus != edit) {
        m_focus = edit;
        edit->selStart = edit->selEnd = static_cast<int>(edit->text.size());
    }
    if (edit->selStart != edit->selEnd)
        ChangeEdit(*edit, edit->selStart, edit->selEnd, "");
    else if (edit->selStart > 0)
        ChangeEdit(*edit, edit->selStart - 1, edit->selStart, "");
    AfterUserAction();
}

void Window::Click(int id) {
    Control* button = Find(id);
    if (!button || (button->tmpl->kind != ControlKind::PushButton && button->tmpl->kind != ControlKind::CheckBox))
        throw std::invalid_argument("not a button");
    m_focus = button;
    if (button->tmpl->kind == ControlKind::CheckBox) button->check = button->check ? 0 : 1;
    Notify(*button, BN_CLICKED);
    AfterUserAction();
}

void Window::Spin(int id, int delta) {
    Control* spin = Find(id);
    if (!spin || spin->tmpl->kind != ControlKind::UpDown) throw std::invalid_argument("not an up-down");
    auto it = std::find_if(m_controls.begin(), m_controls.end(), [spin](auto& c) { return c.get() == spin; });
    if (it == m_controls.begin()) return;
    Control& buddy = **(it - 1);
    const int lower = std::min(spin->spinLower, spin->spinUpper);
    const int upper = std::max(spin->spinLower, spin->spinUpper);
    long position = 0;
    char* end = nullptr;
    position = std::strtol(buddy.text.c_str(), &end, 10);
    // An inverted range (lower above upper) steps the other way, as the common control does.
    const int step = spin->spinLower > spin->spinUpper ? -delta : delta;
    const long next = std::clamp<long>(position + step, lower, upper);
    if (next == position && *end == '\0' && !buddy.text.empty()) return;
    m_host.SetText(reinterpret_cast<HWND>(&buddy), std::to_string(next).c_str());
    AfterUserAction();
}

void Window::PressEnter() {
    // The default push button, else IDOK with no control behind it.
    for (auto& c : m_controls) {
        if (c->tmpl->kind == ControlKind::PushButton && (c->tmpl->flags & res::kDefault)) {
            Notify(*c, BN_CLICKED);
            AfterUserAction();
            return;
        }
    }
    Control* ok = Find(IDOK);
    Dispatch(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    AfterUserAction();
}

void Window::PressEscape() {
    Control* cancel = Find(IDCANCEL);
    Dispatch(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    AfterUserAction();
}

void Window::SysCommand(UINT command) {
    Dispatch(WM_SYSCOMMAND, command, 0);
    AfterUserAction();
}

void Window::Minimise(bool minimised) { SysCommand(minimised ? SC_MINIMIZE : SC_RESTORE); }

PaintRecord Window::Paint() {
    PaintRecord record;
    m_painting = &record;
    Dispatch(WM_PAINT, 0, 0);
    m_painting = nullptr;
    return record;
}

void Window::Tick(int count) {
    for (int i = 0; i < count && !m_ended; ++i) {
        const auto timers = m_timers;
        for (const auto& [id, elapse] : timers) Dispatch(WM_TIMER, id, 0);
        AfterUserAction();
    }
}

LRESULT Window::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Dispatch(message, wParam, lParam);
    AfterUserAction();
    return result;
}

// ---- HeadlessHost

HeadlessHost::HeadlessHost() { AfxSetHost(this); }

HeadlessHost::~HeadlessHost() {
    AfxForgetHost(this);
}

void HeadlessHost::OnDialog(int templateId, Driver driver) { m_drivers[templateId].push_back(std::move(driver)); }

Window* HeadlessHost::WindowOf(HWND hwnd) const {
    for (Window* w : m_open)
        if (w->Handle() == hwnd) return w;
    return nullptr;
}

Window::Control* HeadlessHost::ControlOf(HWND hwnd) const {
    for (Window* w : m_open)
        for (auto& c : w->m_controls)
            if (reinterpret_cast<HWND>(c.get()) == hwnd) return c.get();
    return nullptr;
}

void HeadlessHost::DeliverPosted() {
    if (m_delivering) return;
    m_delivering = true;
    while (!m_posted.empty()) {
        const Posted p = m_posted.front();
        m_posted.pop_front();
        const std::vector<Window*> open = m_open;
        for (Window* w : open) w->Dispatch(p.message, p.wParam, p.lParam);
    }
    m_delivering = false;
}

HINSTANCE HeadlessHost::InstanceHandle() {
    static int module;
    return reinterpret_cast<HINSTANCE>(&module);
}

HICON HeadlessHost::LoadIconResource(int id, int cx, int) {
    if (!res::HasIcon(id)) return nullptr;
    m_icons.push_back(std::make_unique<IconRecord>(IconRecord{id, cx ? cx : GetSystemMetrics(SM_CXICON)}));
    return reinterpret_cast<HICON>(m_icons.back().get());
}

const IconRecord* HeadlessHost::IconInfo(HICON icon) const {
    for (auto& i : m_icons)
        if (reinterpret_cast<HICON>(i.get()) == icon) return i.get();
    return nullptr;
}

int HeadlessHost::GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON: return 32;
    default: return 0;
    }
}

int HeadlessHost::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    m_boxes.push_back({owner, text ? text : "", caption ? caption : "", type, 0});
    const bool asks = (type & MB_TYPEMASK) == MB_YESNO;
    int answer;
    if (m_boxHandler) {
        answer = m_boxHandler(m_boxes.back());
    } else if (!asks) {
        answer = IDOK;
    } else if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    } else {
        ++m_unanswered;
        answer = IDNO;
    }
    m_boxes.back().answer = answer;
    return answer;
}

void HeadlessHost::BroadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    m_posted.push_back({message, wParam, lParam});
}

INT_PTR HeadlessHost::RunModal(const res::DialogTemplate& tmpl, HWND owner, DialogWindow& proc) {
    auto window = std::unique_ptr<Window>(new Window(*this, tmpl, owner, proc));
    m_open.push_back(window.get());
    m_dialogsRun.push_back(tmpl.id);
    const LRESULT focusDefault = window->Dispatch(WM_INITDIALOG, 0, 0);
    if (focusDefault && !window->m_focus) {
        for (auto& c : window->m_controls)
            if (c->tmpl->flags & res::kTabStop) {
                window->m_focus = c.get();
                break;
            }
    }
    DeliverPosted();
    auto& drivers = m_drivers[tmpl.id];
    if (!window->m_ended && !drivers.empty()) {
        Driver driver = std::move(drivers.front());
        drivers.pop_front();
        driver(*window);
    }
    if (!window->m_ended) window->PressEscape();
    if (!window->m_ended) window->m_ended = true, window->m_result = IDCANCEL;
    m_open.pop_back();
    return window->m_result;
}

void HeadlessHost::EndDialog(HWND dialog, INT_PTR result) {
    if (Window* w = WindowOf(dialog)) {
        w->m_ended = true;
        w->m_result = result;
    }
}

HWND HeadlessHost::GetDlgItem(HWND dialog, int id) {
    Window* w = WindowOf(dialog);
    if (!w) return nullptr;
    Window::Control* c = w->Find(id);
    return c ? reinterpret_cast<HWND>(c) : nullptr;
}

int HeadlessHost::GetText(HWND wnd, char* buffer, int maxCount) {
    if (maxCount <= 0) return 0;
    const std::string* text = nullptr;
    std::string title;
    if (Window::Control* c = ControlOf(wnd)) {
        text = &c->text;
    } else if (Window* w = WindowOf(wnd)) {
        title = w->m_template->title;
        text = &title;
    }
    const size_t n = text ? std::min(text->size(), static_cast<size_t>(maxCount - 1)) : 0;
    if (n) std::memcpy(buffer, text->data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int HeadlessHost::GetTextLength(HWND wnd) {
    if (Window::Control* c = ControlOf(wnd)) return static_cast<int>(c->text.size());
    if (Window* w = WindowOf(wnd)) return static_cast<int>(std::strlen(w->m_template->title));
    return 0;
}

void HeadlessHost::SetText(HWND wnd, const char* text) {
    Window::Control* c = ControlOf(wnd);
    if (!c) return;
    c->text = text ? text : "";
    ++m_textWrites;
    if (c->tmpl->kind == ControlKind::Edit) {
        c->selStart = c->selEnd = 0;
        c->window->Notify(*c, EN_UPDATE);
        c->window->Notify(*c, EN_CHANGE);
    }
}

UINT HeadlessHost::GetCheck(HWND button) {
    Window::Control* c = ControlOf(button);
    return c ? c->check : 0;
}

void HeadlessHost::SetCheck(HWND button, UINT state) {
    if (Window::Control* c = ControlOf(button)) c->check = state;
}

void HeadlessHost::SetFocus(HWND wnd) {
    if (Window::Control* c = ControlOf(wnd)) c->window->m_focus = c;
}

void HeadlessHost::SetEditSel(HWND edit, int start, int end) {
    Window::Control* c = ControlOf(edit);
    if (!c) return;
    const int length = static_cast<int>(c->text.size());
    c->selStart = std::clamp(start, 0, length);
    c->selEnd = end < 0 ? length : std::clamp(end, c->selStart, length);
}

void HeadlessHost::SetSpinRange(HWND updown, int lower, int upper) {
    Window::Control* c = ControlOf(updown);
    if (!c || c->tmpl->kind != ControlKind::UpDown) return;
    c->spinLower = lower;
    c->spinUpper = upper;
}

LRESULT HeadlessHost::Send(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = WindowOf(wnd);
    return w ? w->Dispatch(message, wParam, lParam) : 0;
}

LRESULT HeadlessHost::DefaultProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = WindowOf(wnd);
    return w ? w->DefaultProc(message, wParam, lParam) : 0;
}

HMENU HeadlessHost::GetSystemMenu(HWND wnd, BOOL) {
    Window* w = WindowOf(wnd);
    return w && w->m_hasSystemMenu ? reinterpret_cast<HMENU>(w) : nullptr;
}

BOOL HeadlessHost::AppendMenuItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    Window* w = WindowOf(reinterpret_cast<HWND>(menu));
    if (!w) return FALSE;
    w->m_systemMenu.push_back({flags, id, text ? text : ""});
    return TRUE;
}

void HeadlessHost::SetIcon(HWND wnd, HICON icon, BOOL big) {
    if (Window* w = WindowOf(wnd)) (big ? w->m_bigIcon : w->m_smallIcon) = icon;
}

BOOL HeadlessHost::IsIconic(HWND wnd) {
    Window* w = WindowOf(wnd);
    return w && w->m_iconic;
}

void HeadlessHost::GetClientRect(HWND wnd, RECT* rect) {
    *rect = {0, 0, 0, 0};
    if (Window* w = WindowOf(wnd)) {
        rect->right = UnitsToPixelsX(w->m_template->cx);
        rect->bottom = UnitsToPixelsY(w->m_template->cy);
    }
}

HDC HeadlessHost::BeginPaint(HWND wnd) { return reinterpret_cast<HDC>(WindowOf(wnd)); }

void HeadlessHost::EndPaint(HWND, HDC) {}

void HeadlessHost::DrawIcon(HDC dc, int x, int y, HICON icon) {
    Window* w = WindowOf(reinterpret_cast<HWND>(dc));
    if (w && w->m_painting) {
        w->m_painting->iconX = x;
        w->m_painting->iconY = y;
        w->m_painting->icon = icon;
    }
}

UINT_PTR HeadlessHost::SetTimer(HWND wnd, UINT_PTR id, UINT elapse) {
    Window* w = WindowOf(wnd);
    if (!w) return 0;
    w->m_timers[id] = elapse;
    return id;
}

}  // namespace headless
