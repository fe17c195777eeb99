// The Windows-look controls: how each draws itself and what it does with the mouse and keys. What
// reaches the dialog goes through the host (Notify, Spin); the controls decide nothing themselves.
#include "platform/fltk/fltk_controls.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace fltkhost {

namespace {

// Starts the desktop's opener for a link target, without a shell and without waiting for it.
void OpenLink(const std::string& href) {
    if (!IsOpenableHref(href)) return;
    const pid_t child = fork();
    if (child == 0) {
        // The grandchild is adopted by init, so nobody has to reap it.
        if (fork() == 0) {
            setsid();
            for (int fd = 3; fd < 1024; ++fd) close(fd);  // the X connection stays ours
            execlp("xdg-open", "xdg-open", href.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0) waitpid(child, nullptr, 0);
}

// What a new text damages in a TextBox: the inside of its frame.
constexpr uchar kTextDamage = FL_DAMAGE_USER1;

bool LeftButtonOnly(int event) {
    return !((event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE) && Fl::event_button() != FL_LEFT_MOUSE);
}

}  // namespace

std::string LabelText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '@') out += '@';
        out += c;
    }
    return out;
}

bool NoModifiers() { return (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) == 0; }

bool IsEnterKey(int key) { return key == FL_Enter || key == FL_KP_Enter; }

void ShowKeyboardFocus() { Fl::visible_focus(1); }

// ---- TextBox

TextBox::TextBox(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) {
    box((c.tmpl->flags & res::kSunken) ? FL_THIN_DOWN_BOX : FL_FLAT_BOX);
    color(FL_BACKGROUND_COLOR);
}

void TextBox::TextChanged() {
    // The window is marked as a whole before the control marks its inside. Otherwise FLTK unites
    // every changed control's rectangle into one clip region (24 of them a tick when all axes
    // move) and hands that region to the X server with every text drawn; only the controls marked
    // repaint either way.
    if (Fl_Window* win = window(); win && !win->damage()) win->damage(FL_DAMAGE_CHILD);
    damage(kTextDamage, x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), w() - Fl::box_dw(box()),
           h() - Fl::box_dh(box()));
}

void TextBox::draw() {
    const int left = x() + Fl::box_dx(box()), top = y() + Fl::box_dy(box());
    const int width = w() - Fl::box_dw(box()), height = h() - Fl::box_dh(box());
    if (damage() == kTextDamage)
        fl_rectf(left, top, width, height, color());  // a new text: the frame is as it was
    else
        draw_box();
    const unsigned flags = m_c.tmpl->flags;
    // Text centred vertically is one line, as Windows draws it; other statics wrap at words.
    Fl_Align align = FL_ALIGN_INSIDE | FL_ALIGN_CLIP;
    align |= (flags & res::kVCentre) ? 0 : FL_ALIGN_TOP | FL_ALIGN_WRAP;
    if (flags & res::kRight) align |= FL_ALIGN_RIGHT;
    else if (!(flags & res::kCentre)) align |= FL_ALIGN_LEFT;
    const std::string shown = (flags & res::kNoPrefix) ? m_c.text : StripMnemonic(m_c.text);
    fl_font(labelfont(), labelsize());
    fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
    fl_draw(shown.c_str(), left + 1, top, width - 2, height, align, nullptr, 0);
}

// ---- GroupFrame, IconBox

void GroupFrame::draw() {
    fl_font(labelfont(), labelsize());
    const int textHeight = fl_height();
    const int top = y() + textHeight / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), FL_BACKGROUND_COLOR);
    const std::string caption = StripMnemonic(m_c.text);
    if (caption.empty()) return;
    const int pad = 2;
    const int left = x() + labelsize() * 2 / 3;
    const int width = static_cast<int>(fl_width(caption.c_str()));
    fl_color(FL_BACKGROUND_COLOR);
    fl_rectf(left - pad, y(), width + 2 * pad, textHeight);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(caption.c_str(), static_cast<int>(caption.size()), left, y() + textHeight - fl_descent());
}

void IconBox::draw() {
    if (m_icon) m_icon->image->draw(x(), y());
}

// ---- PushButton, CheckBox

PushButton::PushButton(int x, int y, int w, int h, bool isDefault) : Fl_Button(x, y, w, h), m_default(isDefault) {
    box(FL_UP_BOX);
    down_box(FL_DOWN_BOX);
}

int PushButton::handle(int event) {
    if (!LeftButtonOnly(event)) return 0;
    const int used = Fl_Button::handle(event);
    if (event == FL_FOCUS || event == FL_UNFOCUS) RedrawFrames();
    return used;
}

void PushButton::draw() {
    Fl_Button::draw();
    if (Framed()) {
        fl_color(FL_FOREGROUND_COLOR);
        fl_rect(x(), y(), w(), h());
    }
}

bool PushButton::Framed() const {
    const Fl_Widget* focus = Fl::focus();
    const bool buttonFocused = focus && dynamic_cast<const PushButton*>(focus) && focus->window() == window();
    return buttonFocused ? focus == this : m_default;
}

void PushButton::RedrawFrames() {
    Fl_Group* g = parent();
    if (!g) return;
    for (int i = 0; i < g->children(); ++i)
        if (dynamic_cast<PushButton*>(g->child(i))) g->child(i)->redraw();
}

int CheckBox::handle(int event) {
    if (!LeftButtonOnly(event)) return 0;
    return Fl_Check_Button::handle(event);
}

// ---- EditBox

int EditBox::handle(int event) {
    if (event == FL_KEYBOARD && m_c.spin && (m_c.spin->tmpl->flags & res::kArrowKeys) && NoModifiers() &&
        !(Fl::event_state() & FL_SHIFT)) {
        const int key = Fl::event_key();
        if (key == FL_Up || key == FL_Down) {
            m_c.dialog->host->Spin(*m_c.spin, key == FL_Up ? 1 : -1);
            return 1;
        }
    }
    return Fl_Input::handle(event);
}

// ---- SpinBox

SpinBox::~SpinBox() { Fl::remove_timeout(RepeatCb, this); }

int SpinBox::handle(int event) {
    switch (event) {
    case FL_PUSH:
        if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
        m_pressed = Fl::event_y() < y() + h() / 2 ? 1 : -1;
        redraw();
        Fl::add_timeout(0.4, RepeatCb, this);
        m_c.dialog->host->Spin(m_c, m_pressed);
        return 1;
    case FL_DRAG: return 1;
    case FL_RELEASE: Release(); return 1;
    default: return 0;
    }
}

void SpinBox::draw() {
    const int half = h() / 2;
    DrawHalf(y(), half, m_pressed == 1, true);
    DrawHalf(y() + half, h() - half, m_pressed == -1, false);
}

void SpinBox::Release() {
    Fl::remove_timeout(RepeatCb, this);
    if (m_pressed) {
        m_pressed = 0;
        redraw();
    }
}

void SpinBox::RepeatCb(void* data) {
    auto* self = static_cast<SpinBox*>(data);
    // A modal box opened meanwhile may have taken the button's release.
    if (Fl::pushed() != self || !self->m_pressed) {
        self->Release();
        return;
    }
    Fl::repeat_timeout(0.05, RepeatCb, data);
    self->m_c.dialog->host->Spin(self->m_c, self->m_pressed);
}

void SpinBox::DrawHalf(int top, int height, bool down, bool up) {
    fl_draw_box(down ? FL_DOWN_BOX : FL_UP_BOX, x(), top, w(), height, FL_BACKGROUND_COLOR);
    const int cx = x() + w() / 2 + (down ? 1 : 0);
    const int cy = top + height / 2 + (down ? 1 : 0);
    const int r = std::max(2, std::min(w() - 6, height - 2) / 2);
    fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
    const int tip = up ? cy - r / 2 - 1 : cy + r / 2 + 1;
    const int baseY = up ? tip + r : tip - r;
    fl_polygon(cx - r, baseY, cx + r, baseY, cx, tip);
}

// ---- LinkBox

LinkBox::LinkBox(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) {
    box((c.tmpl->flags & res::kSunken) ? FL_THIN_DOWN_BOX : FL_FLAT_BOX);
    color(FL_BACKGROUND_COLOR);
    Parse();
}

void LinkBox::draw() {
    draw_box();
    fl_font(labelfont(), labelsize());
    fl_push_clip(x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), w() - Fl::box_dw(box()), h() - Fl::box_dh(box()));
    m_hits.clear();
    const std::string& text = m_link.text;
    const int inset = Fl::box_dx(box()) + 1;
    const int width = w() - 2 * inset;
    const auto lines = WrapText(text, width, [](std::string_view s) {
        return static_cast<int>(fl_width(s.data(), static_cast<int>(s.size())));
    });
    const bool centred = (m_c.tmpl->flags & res::kCentre) != 0;
    int baseline = y() + Fl::box_dy(box()) + fl_height() - fl_descent();
    for (const TextLine& line : lines) {
        int left = x() + inset + (centred ? (width - line.width) / 2 : 0);
        // The line in up to three runs: before, inside and after the link.
        const size_t cuts[4] = {line.begin, std::clamp(m_link.linkBegin, line.begin, line.end),
                                std::clamp(m_link.linkEnd, line.begin, line.end), line.end};
        for (int run = 0; run < 3; ++run) {
            const size_t from = cuts[run], to = cuts[run + 1];
            if (to <= from) continue;
            const int runWidth = static_cast<int>(fl_width(text.data() + from, static_cast<int>(to - from)));
            const bool isLink = run == 1;
            fl_color(isLink ? FL_BLUE : FL_FOREGROUND_COLOR);
            fl_draw(text.data() + from, static_cast<int>(to - from), left, baseline);
            if (isLink) {
                fl_line(left, baseline + 1, left + runWidth - 1, baseline + 1);
                m_hits.push_back({left, baseline - fl_height() + fl_descent(), runWidth, fl_height()});
            }
            left += runWidth;
        }
        baseline += fl_height();
    }
    fl_pop_clip();
}

int LinkBox::handle(int event) {
    switch (event) {
    case FL_ENTER: return 1;
    case FL_MOVE:
        if (window()) window()->cursor(OverLink() ? FL_CURSOR_HAND : FL_CURSOR_DEFAULT);
        return 1;
    case FL_LEAVE:
        if (window()) window()->cursor(FL_CURSOR_DEFAULT);
        return 1;
    case FL_PUSH: return Fl::event_button() == FL_LEFT_MOUSE && OverLink() ? 1 : 0;
    case FL_DRAG: return 1;
    case FL_RELEASE:
        if (OverLink()) OpenLink(m_link.href);
        return 1;
    default: return 0;
    }
}

bool LinkBox::OverLink() const {
    for (const PixelRect& r : m_hits)
        if (Fl::event_inside(r.x, r.y, r.w, r.h)) return true;
    return false;
}

}  // namespace fltkhost
