// The dialog manager's part of the FLTK host: a dialog's window built from its template, the keys
// and menu the manager handles, the default handling of messages and the up-down steps.
#include "platform/fltk/fltk_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/fltk/fltk_controls.h"

namespace fltkhost {

using res::ControlKind;

// ---- DialogWin

int DialogWin::handle(int event) {
    switch (event) {
    case FL_KEYBOARD:
    case FL_SHORTCUT: {
        const int key = Fl::event_key();
        if (key == FL_Escape && NoModifiers()) {
            m_d.host->PressEscape(m_d);
            return 1;
        }
        if (IsEnterKey(key) && NoModifiers()) {
            m_d.host->PressEnter(m_d);
            return 1;
        }
        if (key == ' ' && (Fl::event_state() & FL_ALT)) {
            m_d.host->ShowSystemMenu(m_d, 0, 0);
            return 1;
        }
        // An edit keeps the arrow keys it has no use for: they do not move the focus away.
        const bool arrow = key == FL_Left || key == FL_Right || key == FL_Up || key == FL_Down;
        if (event == FL_KEYBOARD && arrow && dynamic_cast<Fl_Input*>(Fl::focus())) return 1;
        break;
    }
    case FL_PUSH: {
        const int used = Fl_Double_Window::handle(event);
        if (!used && Fl::event_button() == FL_RIGHT_MOUSE) {
            m_d.host->ShowSystemMenu(m_d, Fl::event_x(), Fl::event_y());
            return 1;
        }
        return used;
    }
    default: break;
    }
    return Fl_Double_Window::handle(event);
}

void DialogWin::draw() {
    if (m_d.painting || !(damage() & ~FL_DAMAGE_CHILD)) {
        Fl_Double_Window::draw();
        return;
    }
    m_d.painting = true;
    m_defaultDrawn = false;
    m_d.host->Dispatch(m_d, WM_PAINT, 0, 0);
    m_d.painting = false;
    // A dialog that paints its surface itself still has its controls, which paint themselves
    // on Windows.
    if (!m_defaultDrawn) draw_children();
}

void DialogWin::DefaultDraw() {
    if (m_defaultDrawn) return;
    m_defaultDrawn = true;
    Fl_Double_Window::draw();
}

// ---- FltkHost::Impl: building and default handling

void FltkHost::Impl::Build(Dialog& d) {
    const res::DialogTemplate& t = *d.tmpl;
    const PixelRect client = DialogRectToPixels(0, 0, t.cx, t.cy, base);
    d.win = std::make_unique<DialogWin>(d, client.w, client.h);
    DialogWin& win = *d.win;
    win.copy_label(t.title);
    win.callback([](Fl_Widget*, void* data) {
        // The close button, or Escape when nothing else took it.
        Dialog& dialog = *static_cast<Dialog*>(data);
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
            dialog.host->PressEscape(dialog);
        else
            dialog.host->Dispatch(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }, &d);
    win.labelsize(FontSize());

    for (const res::ControlTemplate& ct : t.controls) {
        auto control = std::make_unique<Control>();
        Control& c = *control;
        c.tmpl = &ct;
        c.dialog = &d;
        if (ct.kind != ControlKind::Edit && ct.kind != ControlKind::UpDown) c.text = ct.text;
        PixelRect r = DialogRectToPixels(ct.x, ct.y, ct.cx, ct.cy, base);
        Fl_Widget* w = nullptr;
        switch (ct.kind) {
        case ControlKind::Static: w = new TextBox(c, r.x, r.y, r.w, r.h); break;
        case ControlKind::Icon: {
            const int iconId = ct.text[0] == '#' ? std::atoi(ct.text + 1) : 0;
            const Icon* icon = LoadIcon(iconId, IconSizeForScale(scale));
            w = new IconBox(icon, r.x, r.y, icon ? icon->size : r.w, icon ? icon->size : r.h);
            break;
        }
        case ControlKind::GroupBox: w = new GroupFrame(c, r.x, r.y, r.w, r.h); break;
        case ControlKind::PushButton: {
            auto* b = new PushButton(r.x, r.y, r.w, r.h, (ct.flags & res::kDefault) != 0);
            b->copy_label(LabelText(ct.text).c_str());
            b->callback([](Fl_Widget*, void* data) {
                Control& self = *static_cast<Control*>(data);
                self.dialog->host->Notify(self, BN_CLICKED);
            }, &c);
            w = b;
            break;
        }
        case ControlKind::CheckBox: {
            auto* b = new CheckBox(r.x, r.y, r.w, r.h);
            b->copy_label(LabelText(ct.text).c_str());
            b->callback([](Fl_Widget*, void* data) {
                Control& self = *static_cast<Control*>(data);
                self.dialog->host->Notify(self, BN_CLICKED);
            }, &c);
            w = b;
            break;
        }
        case ControlKind::Edit: {
            auto* e = new EditBox(c, r.x, r.y, r.w, r.h);
            e->box(FL_DOWN_BOX);
            e->textfont(kFont);
            e->textsize(FontSize());
            e->when(FL_WHEN_CHANGED);
            e->callback([](Fl_Widget*, void* data) {
                // Only user changes get here: FLTK calls back for typing, pasting, deleting and
                // undo, never for value() set by the program.
                Control& self = *static_cast<Control*>(data);
                self.dialog->host->Notify(self, EN_UPDATE);
                self.dialog->host->Notify(self, EN_CHANGE);
            }, &c);
            w = e;
            break;
        }
        case ControlKind::UpDown: {
            Control* buddy = (ct.flags & res::kAutoBuddy) && !d.controls.empty() ? d.controls.back().get() : nullptr;
            if (buddy && (ct.flags & res::kAlignRight) && buddy->widget) {
                // Placed inside the right end of its buddy, which gives up that width.
                Fl_Widget* bw = buddy->widget;
                const int width = std::min(r.w, bw->w() / 2);
                r = {bw->x() + bw->w() - width, bw->y(), width, bw->h()};
                bw->size(bw->w() - width, bw->h());
            }
            c.buddy = buddy;
            if (buddy) buddy->spin = &c;
            w = new SpinBox(c, r.x, r.y, r.w, r.h);
            break;
        }
        case ControlKind::Link: w = new LinkBox(c, r.x, r.y, r.w, r.h); break;
        }
        w->labelfont(kFont);
        w->labelsize(FontSize());
        if (!(ct.flags & res::kTabStop) && ct.kind != ControlKind::Edit && ct.kind != ControlKind::PushButton &&
            ct.kind != ControlKind::CheckBox)
            w->clear_visible_focus();
        c.widget = w;
        controls.push_back(&c);
        d.byId.emplace_back(ct.id, &c);
        d.controls.push_back(std::move(control));
    }
    win.end();
    std::sort(controls.begin(), controls.end(), std::less<>());
    std::stable_sort(d.byId.begin(), d.byId.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

LRESULT FltkHost::Impl::DefaultProc(Dialog& d, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: return Dispatch(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        case SC_MINIMIZE:
            if (d.win->shown()) d.win->iconize();
            return 0;
        case SC_RESTORE:
            if (d.win->shown()) d.win->show();
            return 0;
        default: return 0;
        }
    case WM_ICONERASEBKGND:
        if (d.painting) {
            fl_color(FL_BACKGROUND_COLOR);
            fl_rectf(0, 0, d.win->w(), d.win->h());
        }
        return 1;
    case WM_PAINT:
        if (d.painting) d.win->DefaultDraw();
        return 0;
    default: return 0;
    }
}

void FltkHost::Impl::PressEnter(Dialog& d) {
    // The focused push button, else the default one, else IDOK with no control behind it.
    Control* target = nullptr;
    if (Control* focused = d.FindWidget(Fl::focus()); focused && focused->tmpl->kind == ControlKind::PushButton)
        target = focused;
    for (auto& c : d.controls)
        if (!target && c->tmpl->kind == ControlKind::PushButton && (c->tmpl->flags & res::kDefault)) target = c.get();
    if (target) {
        Notify(*target, BN_CLICKED);
        return;
    }
    Dispatch(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(d.Find(IDOK)));
}

void FltkHost::Impl::PressEscape(Dialog& d) {
    Dispatch(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(d.Find(IDCANCEL)));
}

void FltkHost::Impl::ShowSystemMenu(Dialog& d, int x, int y) {
    if (!(d.tmpl->flags & res::kSysMenu)) return;
    // What X11 leaves to the window manager stands here too, so the menu reads as the system menu.
    std::vector<MenuEntry> entries;
    if (d.tmpl->flags & res::kMinimizeBox) entries.push_back({MF_STRING, SC_MINIMIZE, "Mi&nimize"});
    entries.push_back({MF_STRING, SC_CLOSE, "&Close"});
    entries.insert(entries.end(), d.systemMenu.begin(), d.systemMenu.end());

    std::vector<Fl_Menu_Item> items;
    std::vector<std::string> labels;
    std::vector<UINT_PTR> ids;
    labels.reserve(entries.size());
    for (const MenuEntry& e : entries) {
        if (e.flags & MF_SEPARATOR) {
            if (!items.empty()) items.back().flags |= FL_MENU_DIVIDER;
            continue;
        }
        labels.push_back(LabelText(e.text));
        ids.push_back(e.id);
        Fl_Menu_Item item{};
        item.text = labels.back().c_str();
        item.labelfont_ = kFont;
        item.labelsize_ = FontSize();
        item.labelcolor_ = FL_FOREGROUND_COLOR;
        items.push_back(item);
    }
    items.push_back(Fl_Menu_Item{});
    if (items.size() < 2) return;
    const Fl_Menu_Item* picked = items.front().popup(x, y);
    if (!picked || d.ended) return;
    const size_t index = static_cast<size_t>(picked - items.data());
    if (index < ids.size()) Dispatch(d, WM_SYSCOMMAND, ids[index], 0);
}

void FltkHost::Impl::Spin(Control& spin, int delta) {
    Control* buddy = spin.buddy;
    if (!buddy || spin.dialog->ended || !(spin.tmpl->flags & res::kSetBuddyInt)) return;
    auto* edit = dynamic_cast<Fl_Input*>(buddy->widget);
    if (!edit) return;
    const auto next = SpinStep(edit->value(), spin.spinLower, spin.spinUpper, delta);
    if (!next) return;
    // A step is the user's change to the buddy: it reports it as typing would.
    edit->value(next->c_str());
    edit->position(edit->size(), 0);
    Notify(*buddy, EN_UPDATE);
    Notify(*buddy, EN_CHANGE);
}

}  // namespace fltkhost
