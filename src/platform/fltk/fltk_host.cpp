// The FLTK dialog host. Every dialog is an FLTK window whose widgets are placed from the template in
// src/res; every user action reaches the dialog as the message Windows would send it. Edits report
// EN_UPDATE only for what the user changes, never for text the program sets. Timers, posted messages
// and nested modal loops (message boxes, the About box, menus) all run on FLTK's one event loop.
// This file holds the host's DialogHost side, the display, icons, timers and posted messages; the
// dialog manager is in fltk_dialog.cpp, the controls in fltk_controls.cpp, the message box in
// fltk_message_box.cpp.
#include "platform/fltk/fltk_host.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/fltk/arial_metrics.h"
#include "platform/fltk/fltk_controls.h"
#include "platform/fltk/fltk_dialog.h"
#include "platform/fltk/fltk_host_impl.h"
#include "platform/fltk/fltk_message_box.h"
#include "res/icon_art.h"

namespace fltkhost {

using res::ControlKind;

// ---- FltkHost::Impl: the display, icons, posted messages and timers

namespace {

// The display, with the dialog font known to FLTK as kFont.
void OpenDisplay() {
    fl_open_display();
    Fl::set_font(kFont, " Arial");  // the same name again changes nothing
}

}  // namespace

double DialogFontAverageWidth(int size) {
    OpenDisplay();
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    fl_font(kFont, size);
    return fl_width(kAlphabet) / 52.0;
}

void FltkHost::Impl::EnsureDisplay() {
    if (displayReady) return;
    displayReady = true;
    OpenDisplay();
    float hdpi = 0, vdpi = 0;
    Fl::screen_dpi(hdpi, vdpi, 0);
    scale = ScaleForDpi((hdpi + vdpi) / 2.0);
    base = BaseUnitsForScale(scale);
    Fl_Window::default_xclass("padwright");
    if (pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) == 0)
        Fl::add_fd(wakePipe[0], FL_READ, DrainWakeCb, nullptr);
    else
        wakePipe[0] = wakePipe[1] = -1;
}

int FltkHost::Impl::FontSize() {
    EnsureDisplay();
    if (fontSize == 0) fontSize = DialogFontSize(base.x, DialogFontAverageWidth);
    return fontSize;
}

const Icon* FltkHost::Impl::LoadIcon(int id, int size) {
    if (!res::HasIcon(id)) return nullptr;
    for (auto& icon : icons)
        if (icon->id == id && icon->size == size) return icon.get();
    // Drawn at that size, over the dialog's background as a Windows icon is.
    const res::Pixels pixels = res::DrawIcon(id, size);
    if (pixels.argb.empty()) return nullptr;
    uchar r = 0, g = 0, b = 0;
    Fl::get_color(FL_BACKGROUND_COLOR, r, g, b);
    auto* rgb = new uchar[pixels.argb.size() * 3];
    for (size_t i = 0; i < pixels.argb.size(); ++i) {
        const uint32_t argb = pixels.argb[i], alpha = argb >> 24;
        const auto blend = [alpha](uint32_t over, uchar under) {
            return static_cast<uchar>((over * alpha + under * (255 - alpha) + 127) / 255);
        };
        rgb[3 * i] = blend((argb >> 16) & 0xFF, r);
        rgb[3 * i + 1] = blend((argb >> 8) & 0xFF, g);
        rgb[3 * i + 2] = blend(argb & 0xFF, b);
    }
    auto image = std::make_unique<Fl_RGB_Image>(rgb, size, size, 3);
    image->alloc_array = 1;  // the image frees the pixels
    icons.push_back(std::make_unique<Icon>(Icon{id, size, std::move(image)}));
    return icons.back().get();
}

void FltkHost::Impl::Deliver() {
    if (delivering) return;  // the delivery further up the stack takes what arrives meanwhile
    delivering = true;
    while (!posted.empty()) {
        const Posted p = posted.front();
        posted.pop_front();
        const std::vector<Dialog*> targets = open;
        for (Dialog* d : targets)
            if (IsOpen(d) && !d->ended) Dispatch(*d, p.message, p.wParam, p.lParam);
    }
    delivering = false;
}

void FltkHost::Impl::TimerCb(void* data) {
    auto* timer = static_cast<Timer*>(data);
    Fl::repeat_timeout(timer->period, TimerCb, data);
    Dialog& d = *timer->dialog;
    if (timer->ticking || d.ended) return;
    timer->ticking = true;
    d.host->Dispatch(d, WM_TIMER, timer->id, 0);
    timer->ticking = false;
}

// ---- FltkHost

FltkHost::FltkHost() : m_impl(std::make_unique<Impl>()) { AfxSetHost(this); }

FltkHost::~FltkHost() {
    Fl::remove_timeout(Impl::DeliverCb, m_impl.get());
    if (m_impl->wakePipe[0] >= 0) {
        Fl::remove_fd(m_impl->wakePipe[0]);
        close(m_impl->wakePipe[0]);
        close(m_impl->wakePipe[1]);
    }
    AfxForgetHost(this);
}

HINSTANCE FltkHost::InstanceHandle() {
    static int module;
    return reinterpret_cast<HINSTANCE>(&module);
}

HICON FltkHost::LoadIconResource(int id, int cx, int) {
    m_impl->EnsureDisplay();
    const Icon* icon = m_impl->LoadIcon(id, cx > 0 ? cx : GetSystemMetrics(SM_CXICON));
    return reinterpret_cast<HICON>(const_cast<Icon*>(icon));
}

int FltkHost::GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON: return 32;
    default: return 0;
    }
}

int FltkHost::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    Impl& m = *m_impl;
    m.EnsureDisplay();
    const Dialog* ownerDialog = m.DialogOf(owner);
    Fl_Window* ownerWin = ownerDialog ? ownerDialog->win.get() : nullptr;
    // Before the first font opens, the box is laid out from Arial's metrics and mapped without waiting
    // for fontconfig.
    const int predicted = m.fontSize ? 0 : DialogFontSize(m.base.x, ArialAverageWidth);
    return RunMessageBox(text, caption, type, m.scale, {[&m] { return m.FontSize(); }, predicted}, ownerWin);
}

void FltkHost::BroadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    Impl& m = *m_impl;
    m.posted.push_back({message, wParam, lParam});
    if (!m.deliveryScheduled) {
        m.deliveryScheduled = true;
        Fl::add_timeout(0.0, Impl::DeliverCb, &m);
    }
}

INT_PTR FltkHost::RunModal(const res::DialogTemplate& tmpl, HWND owner, DialogWindow& window) {
    Impl& m = *m_impl;
    m.EnsureDisplay();
    auto dialog = std::make_unique<Dialog>();
    Dialog& d = *dialog;
    d.host = &m;
    d.tmpl = &tmpl;
    d.owner = m.DialogOf(owner);
    d.proc = &window;
    m.Build(d);
    m.open.push_back(&d);

    const LRESULT focusDefault = m.Dispatch(d, WM_INITDIALOG, 0, 0);
    if (!d.ended) {
        DialogWin& win = *d.win;
        if (d.owner && d.owner->win->shown()) {
            const DialogWin& o = *d.owner->win;
            win.position(o.x() + (o.w() - win.w()) / 2, o.y() + (o.h() - win.h()) / 2);
        } else {
            int sx, sy, sw, sh;
            Fl::screen_xywh(sx, sy, sw, sh);
            win.position(sx + (sw - win.w()) / 2, sy + (sh - win.h()) / 2);
        }
        if (d.owner) win.set_modal();
        win.show();
        ShowKeyboardFocus();
        Control* focus = d.pendingFocus;
        if (!focus && focusDefault) {
            for (auto& c : d.controls)
                if (c->tmpl->flags & res::kTabStop) {
                    focus = c.get();
                    break;
                }
        }
        if (focus) {
            focus->widget->take_focus();
            // An edit the dialog manager focuses shows its text selected.
            if (auto* edit = dynamic_cast<Fl_Input*>(focus->widget); edit && !d.pendingFocus)
                edit->position(edit->size(), 0);
        }
        while (!d.ended) Fl::wait();
    }

    for (auto& timer : d.timers) Fl::remove_timeout(Impl::TimerCb, timer.get());
    d.win->hide();
    std::erase_if(m.controls, [&d](const Control* c) { return c->dialog == &d; });
    m.open.erase(std::find(m.open.begin(), m.open.end(), &d));
    const INT_PTR result = d.result;
    dialog.reset();
    Fl::flush();
    return result;
}

void FltkHost::EndDialog(HWND dialog, INT_PTR result) {
    if (Dialog* d = m_impl->DialogOf(dialog)) {
        d->ended = true;
        d->result = result;
        // Called from a timer or a posted message, the loop would otherwise sleep on until the
        // next event before it saw the dialog end.
        m_impl->Wake();
    }
}

HWND FltkHost::GetDlgItem(HWND dialog, int id) {
    Dialog* d = m_impl->DialogOf(dialog);
    Control* c = d ? d->Find(id) : nullptr;
    return reinterpret_cast<HWND>(c);
}

namespace {

std::string TextOf(Control& c) {
    if (c.tmpl->kind == ControlKind::Edit) return static_cast<Fl_Input*>(c.widget)->value();
    return c.text;
}

}  // namespace

int FltkHost::GetText(HWND wnd, char* buffer, int maxCount) {
    if (maxCount <= 0) return 0;
    std::string text;
    if (Control* c = m_impl->ControlOf(wnd))
        text = TextOf(*c);
    else if (Dialog* d = m_impl->DialogOf(wnd))
        text = d->win->label() ? d->win->label() : "";
    const size_t n = std::min(text.size(), static_cast<size_t>(maxCount - 1));
    if (n) std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int FltkHost::GetTextLength(HWND wnd) {
    if (Control* c = m_impl->ControlOf(wnd)) {
        if (c->tmpl->kind == ControlKind::Edit) return static_cast<Fl_Input*>(c->widget)->size();
        return static_cast<int>(c->text.size());
    }
    if (Dialog* d = m_impl->DialogOf(wnd)) return d->win->label() ? static_cast<int>(std::strlen(d->win->label())) : 0;
    return 0;
}

void FltkHost::SetText(HWND wnd, const char* text) {
    const std::string value = text ? text : "";
    if (Control* c = m_impl->ControlOf(wnd)) {
        if (TextOf(*c) == value) return;  // nothing changed: nothing to repaint
        switch (c->tmpl->kind) {
        case ControlKind::Edit: {
            auto* edit = static_cast<Fl_Input*>(c->widget);
            edit->value(value.c_str());
            edit->position(0, 0);  // as an edit given new text: caret at the start
            break;
        }
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
            c->text = value;
            c->widget->copy_label(LabelText(value).c_str());
            break;
        case ControlKind::Static:
            c->text = value;
            static_cast<TextBox*>(c->widget)->TextChanged();
            break;
        case ControlKind::Link:
            c->text = value;
            static_cast<LinkBox*>(c->widget)->Parse();
            c->widget->redraw();
            break;
        default:
            c->text = value;
            c->widget->redraw();
            break;
        }
        return;
    }
    if (Dialog* d = m_impl->DialogOf(wnd)) d->win->copy_label(value.c_str());
}

UINT FltkHost::GetCheck(HWND button) {
    Control* c = m_impl->ControlOf(button);
    if (!c || c->tmpl->kind != ControlKind::CheckBox) return 0;
    return static_cast<Fl_Check_Button*>(c->widget)->value() ? 1u : 0u;
}

void FltkHost::SetCheck(HWND button, UINT state) {
    Control* c = m_impl->ControlOf(button);
    if (!c || c->tmpl->kind != ControlKind::CheckBox) return;
    static_cast<Fl_Check_Button*>(c->widget)->value(state ? 1 : 0);  // repaints only on a change
}

void FltkHost::SetFocus(HWND wnd) {
    Control* c = m_impl->ControlOf(wnd);
    if (!c) return;
    if (c->dialog->win->shown())
        c->widget->take_focus();
    else
        c->dialog->pendingFocus = c;
}

BOOL FltkHost::EnableControl(HWND wnd, BOOL enable) {
    Control* c = m_impl->ControlOf(wnd);
    if (!c) return FALSE;
    const BOOL wasDisabled = c->widget->active() ? FALSE : TRUE;
    if (enable) {
        c->widget->activate();  // both redraw the control greyed or not
    } else {
        c->widget->deactivate();
    }
    return wasDisabled;
}

void FltkHost::SetEditSel(HWND editHandle, int start, int end) {
    Control* c = m_impl->ControlOf(editHandle);
    if (!c || c->tmpl->kind != ControlKind::Edit) return;
    auto* edit = static_cast<Fl_Input*>(c->widget);
    const int length = edit->size();
    const int from = std::clamp(start, 0, length);
    const int to = end < 0 ? length : std::clamp(end, from, length);
    edit->position(to, from);
}

void FltkHost::SetSpinRange(HWND updown, int lower, int upper) {
    Control* c = m_impl->ControlOf(updown);
    if (!c || c->tmpl->kind != ControlKind::UpDown) return;
    c->spinLower = lower;
    c->spinUpper = upper;
}

LRESULT FltkHost::Send(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* d = m_impl->DialogOf(wnd);
    return d ? m_impl->Dispatch(*d, message, wParam, lParam) : 0;
}

LRESULT FltkHost::DefaultProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* d = m_impl->DialogOf(wnd);
    return d ? m_impl->DefaultProc(*d, message, wParam, lParam) : 0;
}

HMENU FltkHost::GetSystemMenu(HWND wnd, BOOL revert) {
    Dialog* d = m_impl->DialogOf(wnd);
    if (!d || !(d->tmpl->flags & res::kSysMenu)) return nullptr;
    if (revert) {
        d->systemMenu.clear();
        return nullptr;
    }
    return reinterpret_cast<HMENU>(d);
}

BOOL FltkHost::AppendMenuItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    Dialog* d = m_impl->DialogOf(reinterpret_cast<HWND>(menu));
    if (!d) return FALSE;
    d->systemMenu.push_back({flags, id, text ? text : ""});
    return TRUE;
}

void FltkHost::SetIcon(HWND wnd, HICON icon, BOOL big) {
    Dialog* d = m_impl->DialogOf(wnd);
    if (!d) return;
    d->icons[big ? 0 : 1] = reinterpret_cast<const Icon*>(icon);
    const Fl_RGB_Image* images[2];
    int count = 0;
    for (const Icon* i : d->icons)
        if (i) images[count++] = i->image.get();
    d->win->icons(images, count);
}

BOOL FltkHost::IsIconic(HWND wnd) {
    Dialog* d = m_impl->DialogOf(wnd);
    return d && d->win->shown() && !d->win->visible();
}

void FltkHost::GetClientRect(HWND wnd, RECT* rect) {
    *rect = {0, 0, 0, 0};
    if (Dialog* d = m_impl->DialogOf(wnd)) {
        rect->right = d->win->w();
        rect->bottom = d->win->h();
    }
}

HDC FltkHost::BeginPaint(HWND wnd) { return reinterpret_cast<HDC>(m_impl->DialogOf(wnd)); }

void FltkHost::EndPaint(HWND, HDC) {}

void FltkHost::DrawIcon(HDC dc, int x, int y, HICON icon) {
    Dialog* d = m_impl->DialogOf(reinterpret_cast<HWND>(dc));
    if (d && d->painting && icon) reinterpret_cast<const Icon*>(icon)->image->draw(x, y);
}

UINT_PTR FltkHost::SetTimer(HWND wnd, UINT_PTR id, UINT elapse) {
    Dialog* d = m_impl->DialogOf(wnd);
    if (!d) return 0;
    const double period = std::max(kMinTimerSeconds, elapse / 1000.0);
    for (auto& timer : d->timers) {
        if (timer->id == id) {
            // Restarted: the next tick comes one new period from now.
            timer->period = period;
            Fl::remove_timeout(Impl::TimerCb, timer.get());
            Fl::add_timeout(period, Impl::TimerCb, timer.get());
            return id;
        }
    }
    d->timers.push_back(std::make_unique<Timer>(Timer{d, id, period}));
    Fl::add_timeout(period, Impl::TimerCb, d->timers.back().get());
    return id;
}

}  // namespace fltkhost
