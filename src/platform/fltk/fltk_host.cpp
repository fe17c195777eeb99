// The FLTK dialog host. Every dialog is an FLTK window whose widgets are placed from the template in
// src/res; every user action reaches the dialog as the message Windows would send it. Edits report
// EN_UPDATE only for what the user changes, never for text the program sets. Timers, posted messages
// and nested modal loops (message boxes, the About box, menus) all run on FLTK's one event loop.
#include "platform/fltk/fltk_host.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/fl_draw.H>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/fltk/layout.h"

namespace fltkhost {

namespace {

using res::ControlKind;

// The dialog font: a sans face with Arial's metrics where fontconfig has one (Arial, Liberation Sans),
// the closest to 8-point MS Sans Serif; any other sans face otherwise.
constexpr Fl_Font kFont = FL_FREE_FONT;
constexpr double kMinTimerSeconds = 0.010;  // as the system's shortest window timer

struct Dialog;
struct Control;

struct Icon {
    int id;
    int size;
    std::unique_ptr<Fl_RGB_Image> image;
};

struct Timer {
    Dialog* dialog;
    UINT_PTR id;
    double period;
    bool ticking = false;  // WM_TIMER is being handled: a nested loop must not start a second tick
};

struct MenuEntry {
    UINT flags;
    UINT_PTR id;
    std::string text;
};

struct Control {
    const res::ControlTemplate* tmpl;
    Dialog* dialog;
    Fl_Widget* widget = nullptr;  // owned by the dialog's window
    Control* buddy = nullptr;     // up-down: the control it steps
    Control* spin = nullptr;      // edit: the up-down bound to it
    int spinLower = 100, spinUpper = 0;  // an up-down control's range before it is set
    std::string text;             // what the program set, for everything but edits
};

class DialogWin;

struct Dialog {
    FltkHost::Impl* host;
    const res::DialogTemplate* tmpl;
    Dialog* owner;
    DialogWindow* proc;
    std::unique_ptr<DialogWin> win;
    std::vector<std::unique_ptr<Control>> controls;
    std::vector<MenuEntry> systemMenu;
    std::vector<std::unique_ptr<Timer>> timers;
    const Icon* icons[2] = {nullptr, nullptr};  // big, small
    Control* pendingFocus = nullptr;  // focus asked for before the window was shown
    bool ended = false;
    INT_PTR result = 0;
    bool painting = false;

    HWND Handle() { return reinterpret_cast<HWND>(this); }
    Control* Find(int id) {
        for (auto& c : controls)
            if (c->tmpl->id == id) return c.get();
        return nullptr;
    }
    Control* FindWidget(const Fl_Widget* w) {
        for (auto& c : controls)
            if (c->widget == w) return c.get();
        return nullptr;
    }
};

// FLTK reads "@" in labels as a symbol; template texts mean the character.
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

}  // namespace

// ---- The host's state

struct FltkHost::Impl {
    std::vector<Dialog*> open;
    std::unordered_map<HWND, Control*> controls;
    std::vector<std::unique_ptr<Icon>> icons;
    struct Posted {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::deque<Posted> posted;
    bool deliveryScheduled = false;
    bool delivering = false;
    bool displayReady = false;
    double scale = 1.0;
    BaseUnits base;
    int fontSize = 11;

    void EnsureDisplay();
    Dialog* DialogOf(HWND hwnd) const {
        for (Dialog* d : open)
            if (d->Handle() == hwnd) return d;
        return nullptr;
    }
    Control* ControlOf(HWND hwnd) const {
        auto it = controls.find(hwnd);
        return it == controls.end() ? nullptr : it->second;
    }
    bool IsOpen(const Dialog* d) const { return std::find(open.begin(), open.end(), d) != open.end(); }

    LRESULT Dispatch(Dialog& d, UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = 0;
        if (d.proc->HostMessage(d.Handle(), message, wParam, lParam, result)) return result;
        return DefaultProc(d, message, wParam, lParam);
    }
    LRESULT DefaultProc(Dialog& d, UINT message, WPARAM wParam, LPARAM lParam);
    void Notify(Control& c, UINT code) {
        Dispatch(*c.dialog, WM_COMMAND, MAKEWPARAM(c.tmpl->id, code), reinterpret_cast<LPARAM>(&c));
    }

    void Build(Dialog& d);
    void PressEnter(Dialog& d);
    void PressEscape(Dialog& d);
    void ShowSystemMenu(Dialog& d, int x, int y);
    void Spin(Control& spin, int delta);
    void Deliver();
    const Icon* LoadIcon(int id, int size);

    // Makes the running Fl::wait return. A timeout cannot do it from inside a timeout callback:
    // FLTK runs a timeout added there in the same pass, before it goes back to sleep.
    int wakePipe[2] = {-1, -1};
    void Wake() {
        const char byte = 0;
        if (wakePipe[1] >= 0 && write(wakePipe[1], &byte, 1) < 0) {
            // Full: the loop is woken already.
        }
    }
    static void DrainWakeCb(int fd, void*) {
        char bytes[64];
        while (read(fd, bytes, sizeof(bytes)) > 0) {
        }
    }

    static void DeliverCb(void* impl) {
        auto* self = static_cast<Impl*>(impl);
        self->deliveryScheduled = false;
        self->Deliver();
    }
    static void TimerCb(void* data);
};

namespace {

// ---- Widgets

// The dialog's window: keys the dialog manager handles, the context menu, WM_PAINT.
class DialogWin : public Fl_Double_Window {
public:
    DialogWin(Dialog& d, int w, int h) : Fl_Double_Window(w, h), m_d(d) {}

    int handle(int event) override {
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

    // The dialog hears WM_PAINT when its own surface needs painting, not when only a control
    // changed: that is what a Windows dialog sees.
    void draw() override {
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
    void DefaultDraw() {
        if (m_defaultDrawn) return;
        m_defaultDrawn = true;
        Fl_Double_Window::draw();
    }

private:
    Dialog& m_d;
    bool m_defaultDrawn = false;
};

// Static text: label, value field or the polled-device line. Opaque, so that a change repaints
// only the control itself.
class TextBox : public Fl_Widget {
public:
    TextBox(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) {
        box((c.tmpl->flags & res::kSunken) ? FL_THIN_DOWN_BOX : FL_FLAT_BOX);
        color(FL_BACKGROUND_COLOR);
    }
    void draw() override {
        draw_box();
        const unsigned flags = m_c.tmpl->flags;
        // Text centred vertically is one line, as Windows draws it; other statics wrap at words.
        Fl_Align align = FL_ALIGN_INSIDE | FL_ALIGN_CLIP;
        align |= (flags & res::kVCentre) ? 0 : FL_ALIGN_TOP | FL_ALIGN_WRAP;
        if (flags & res::kRight) align |= FL_ALIGN_RIGHT;
        else if (!(flags & res::kCentre)) align |= FL_ALIGN_LEFT;
        const std::string shown = (flags & res::kNoPrefix) ? m_c.text : StripMnemonic(m_c.text);
        const int inset = Fl::box_dx(box()) + 1;
        fl_font(labelfont(), labelsize());
        fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
        fl_draw(shown.c_str(), x() + inset, y() + Fl::box_dy(box()), w() - 2 * inset, h() - Fl::box_dh(box()), align,
                nullptr, 0);
    }

private:
    Control& m_c;
};

// A framed group with its caption breaking the top line; draws no background of its own.
class GroupFrame : public Fl_Widget {
public:
    GroupFrame(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) {}
    void draw() override {
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

private:
    Control& m_c;
};

class IconBox : public Fl_Widget {
public:
    IconBox(const Icon* icon, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_icon(icon) {}
    void draw() override {
        if (m_icon) m_icon->image->draw(x(), y());
    }

private:
    const Icon* m_icon;
};

// Push buttons answer the left button only (the right one opens the dialog's menu). The default
// button wears a dark frame, which moves to whichever push button has the focus.
class PushButton : public Fl_Button {
public:
    PushButton(int x, int y, int w, int h, bool isDefault) : Fl_Button(x, y, w, h), m_default(isDefault) {
        box(FL_UP_BOX);
        down_box(FL_DOWN_BOX);
    }
    int handle(int event) override {
        if ((event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE) && Fl::event_button() != FL_LEFT_MOUSE)
            return 0;
        const int used = Fl_Button::handle(event);
        if (event == FL_FOCUS || event == FL_UNFOCUS) RedrawFrames();
        return used;
    }
    void draw() override {
        Fl_Button::draw();
        if (Framed()) {
            fl_color(FL_FOREGROUND_COLOR);
            fl_rect(x(), y(), w(), h());
        }
    }

private:
    bool Framed() const {
        const Fl_Widget* focus = Fl::focus();
        const bool buttonFocused = focus && dynamic_cast<const PushButton*>(focus) && focus->window() == window();
        return buttonFocused ? focus == this : m_default;
    }
    void RedrawFrames() {
        Fl_Group* g = parent();
        if (!g) return;
        for (int i = 0; i < g->children(); ++i)
            if (dynamic_cast<PushButton*>(g->child(i))) g->child(i)->redraw();
    }
    bool m_default;
};

class CheckBox : public Fl_Check_Button {
public:
    CheckBox(int x, int y, int w, int h) : Fl_Check_Button(x, y, w, h) {}
    int handle(int event) override {
        if ((event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE) && Fl::event_button() != FL_LEFT_MOUSE)
            return 0;
        return Fl_Check_Button::handle(event);
    }
};

// A single-line edit; Up and Down step the up-down control bound to it.
class EditBox : public Fl_Input {
public:
    EditBox(Control& c, int x, int y, int w, int h) : Fl_Input(x, y, w, h), m_c(c) {}
    int handle(int event) override {
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

private:
    Control& m_c;
};

// The up-down control: two arrow halves; holding one repeats the step.
class SpinBox : public Fl_Widget {
public:
    SpinBox(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) { clear_visible_focus(); }
    ~SpinBox() override { Fl::remove_timeout(RepeatCb, this); }

    int handle(int event) override {
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
    void draw() override {
        const int half = h() / 2;
        DrawHalf(y(), half, m_pressed == 1, true);
        DrawHalf(y() + half, h() - half, m_pressed == -1, false);
    }

private:
    void Release() {
        Fl::remove_timeout(RepeatCb, this);
        if (m_pressed) {
            m_pressed = 0;
            redraw();
        }
    }
    static void RepeatCb(void* data) {
        auto* self = static_cast<SpinBox*>(data);
        // A modal box opened meanwhile may have taken the button's release.
        if (Fl::pushed() != self || !self->m_pressed) {
            self->Release();
            return;
        }
        Fl::repeat_timeout(0.05, RepeatCb, data);
        self->m_c.dialog->host->Spin(self->m_c, self->m_pressed);
    }
    void DrawHalf(int top, int height, bool down, bool up) {
        fl_draw_box(down ? FL_DOWN_BOX : FL_UP_BOX, x(), top, w(), height, FL_BACKGROUND_COLOR);
        const int cx = x() + w() / 2 + (down ? 1 : 0);
        const int cy = top + height / 2 + (down ? 1 : 0);
        const int r = std::max(2, std::min(w() - 6, height - 2) / 2);
        fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
        const int tip = up ? cy - r / 2 - 1 : cy + r / 2 + 1;
        const int baseY = up ? tip + r : tip - r;
        fl_polygon(cx - r, baseY, cx + r, baseY, cx, tip);
    }

    Control& m_c;
    int m_pressed = 0;
};

// Static text with one mail or web link in it, wrapped and centred like the other statics.
class LinkBox : public Fl_Widget {
public:
    LinkBox(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) {
        box((c.tmpl->flags & res::kSunken) ? FL_THIN_DOWN_BOX : FL_FLAT_BOX);
        color(FL_BACKGROUND_COLOR);
        Parse();
    }
    void Parse() { m_link = ParseLinkMarkup(m_c.text); }

    void draw() override {
        draw_box();
        fl_font(labelfont(), labelsize());
        fl_push_clip(x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), w() - Fl::box_dw(box()),
                     h() - Fl::box_dh(box()));
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

    int handle(int event) override {
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

private:
    bool OverLink() const {
        for (const PixelRect& r : m_hits)
            if (Fl::event_inside(r.x, r.y, r.w, r.h)) return true;
        return false;
    }

    Control& m_c;
    LinkText m_link;
    std::vector<PixelRect> m_hits;
};

// The exclamation sign of message boxes: a yellow triangle with a black "!".
class ExclamationIcon : public Fl_Widget {
public:
    ExclamationIcon(int x, int y, int size) : Fl_Widget(x, y, size, size) {}
    void draw() override {
        const int s = w();
        const int left = x(), top = y() + s / 16, right = x() + s - 1, bottom = y() + s - 1 - s / 16;
        fl_color(fl_rgb_color(255, 220, 0));
        fl_polygon(left, bottom, right, bottom, (left + right) / 2, top);
        fl_color(FL_BLACK);
        fl_loop(left, bottom, right, bottom, (left + right) / 2, top);
        fl_font(FL_HELVETICA_BOLD, s * 5 / 8);
        fl_draw("!", x(), y() + s / 4, s, s * 3 / 4, FL_ALIGN_CENTER, nullptr, 0);
    }
};

// Plain text of a message box: line breaks kept, nothing read as a symbol or mnemonic.
class MessageText : public Fl_Widget {
public:
    MessageText(const char* text, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_text(text) {}
    void draw() override {
        fl_font(labelfont(), labelsize());
        fl_color(FL_FOREGROUND_COLOR);
        fl_draw(m_text.c_str(), x(), y(), w(), h(), FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP, nullptr, 0);
    }

private:
    std::string m_text;
};

// The message box window: the keys of a Windows message box, and no way out of a question but an
// answer.
class MessageBoxWin : public Fl_Double_Window {
public:
    MessageBoxWin(int w, int h, UINT type) : Fl_Double_Window(w, h), m_type(type) {}
    int answer = 0;
    std::vector<std::pair<Fl_Widget*, int>> buttons;

    int handle(int event) override {
        if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
            const int key = Fl::event_key();
            int given = 0;
            if (key == FL_Escape) {
                given = MessageBoxAnswer(m_type, BoxKey::Escape, Focused());
                if (given) answer = given;
                return 1;  // never the window's own close on Escape
            }
            if (IsEnterKey(key)) {
                answer = MessageBoxAnswer(m_type, BoxKey::Enter, Focused());
                return 1;
            }
            const char* typed = Fl::event_text();
            if ((Fl::event_state() & (FL_CTRL | FL_META)) == 0 && typed && typed[0] && !typed[1]) {
                given = MessageBoxAnswer(m_type, BoxKey::Char, Focused(), typed[0]);
                if (given) {
                    answer = given;
                    return 1;
                }
            }
        }
        return Fl_Double_Window::handle(event);
    }
    void Close() {
        if (const int given = MessageBoxAnswer(m_type, BoxKey::Close, Focused())) answer = given;
    }

private:
    int Focused() const {
        for (const auto& [widget, id] : buttons)
            if (Fl::focus() == widget) return id;
        return 0;
    }
    UINT m_type;
};

}  // namespace

// ---- FltkHost::Impl

void FltkHost::Impl::EnsureDisplay() {
    if (displayReady) return;
    displayReady = true;
    fl_open_display();
    Fl::set_font(kFont, " Arial");
    float hdpi = 0, vdpi = 0;
    Fl::screen_dpi(hdpi, vdpi, 0);
    scale = ScaleForDpi((hdpi + vdpi) / 2.0);
    base = BaseUnitsForScale(scale);
    // The largest size whose average character is no wider than the base unit, so that texts fit
    // the rectangles they were laid out for.
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    fontSize = 6;
    for (int size = 6; size <= 64; ++size) {
        fl_font(kFont, size);
        if (fl_width(kAlphabet) / 52.0 <= base.x) fontSize = size;
    }
    Fl::visible_focus(1);
    Fl_Window::default_xclass("padwright");
    if (pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) == 0)
        Fl::add_fd(wakePipe[0], FL_READ, DrainWakeCb, nullptr);
    else
        wakePipe[0] = wakePipe[1] = -1;
}

const Icon* FltkHost::Impl::LoadIcon(int id, int size) {
    const auto images = res::FindIcon(id);
    if (images.empty()) return nullptr;
    for (auto& icon : icons)
        if (icon->id == id && icon->size == size) return icon.get();
    // The form of that size, else the nearest one scaled.
    const res::IconImage* best = &images.front();
    for (const res::IconImage& image : images)
        if (std::abs(image.size - size) < std::abs(best->size - size)) best = &image;
    Fl_Pixmap pixmap(best->xpm);
    auto rgb = std::make_unique<Fl_RGB_Image>(&pixmap, FL_BACKGROUND_COLOR);
    if (best->size != size) rgb.reset(static_cast<Fl_RGB_Image*>(rgb->copy(size, size)));
    icons.push_back(std::make_unique<Icon>(Icon{id, size, std::move(rgb)}));
    return icons.back().get();
}

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
    win.labelsize(fontSize);

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
            const Icon* icon = LoadIcon(iconId, 32);
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
            e->textsize(fontSize);
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
        w->labelsize(fontSize);
        if (!(ct.flags & res::kTabStop) && ct.kind != ControlKind::Edit && ct.kind != ControlKind::PushButton &&
            ct.kind != ControlKind::CheckBox)
            w->clear_visible_focus();
        c.widget = w;
        controls[reinterpret_cast<HWND>(&c)] = &c;
        d.controls.push_back(std::move(control));
    }
    win.end();
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
        item.labelsize_ = fontSize;
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
    if (&AfxGetHost() == this) AfxSetHost(nullptr);
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
    const bool asks = (type & MB_TYPEMASK) == MB_YESNO;
    const char* message = text ? text : "";
    const double s = m.scale;
    const int margin = static_cast<int>(11 * s), iconSize = static_cast<int>(32 * s);
    const int buttonW = static_cast<int>(75 * s), buttonH = static_cast<int>(23 * s), gap = static_cast<int>(6 * s);

    fl_font(kFont, m.fontSize);
    int textW = 0, textH = 0;
    fl_measure(message, textW, textH, 0);
    const int maxTextW = static_cast<int>(560 * s);
    if (textW > maxTextW) {
        textW = maxTextW;
        textH = 0;
        fl_measure(message, textW, textH, 0);
    }
    const int buttonCount = asks ? 2 : 1;
    const int buttonsW = buttonCount * buttonW + (buttonCount - 1) * gap;
    const int textX = margin + iconSize + margin;
    const int width = std::max(textX + textW + margin, buttonsW + 2 * margin);
    const int bodyH = std::max(textH, iconSize);
    const int height = margin + bodyH + margin + buttonH + margin;

    MessageBoxWin box(width, height, type);
    box.copy_label(caption ? caption : "");
    new ExclamationIcon(margin, margin, iconSize);
    auto* label = new MessageText(message, textX, margin + (bodyH - textH) / 2, textW + 1, textH);
    label->labelfont(kFont);
    label->labelsize(m.fontSize);
    struct Choice {
        const char* text;
        int id;
    };
    const std::vector<Choice> choices = asks ? std::vector<Choice>{{"&Yes", IDYES}, {"&No", IDNO}}
                                             : std::vector<Choice>{{"OK", IDOK}};
    int x = (width - buttonsW) / 2;
    for (const Choice& choice : choices) {
        auto* b = new PushButton(x, height - margin - buttonH, buttonW, buttonH, choice.id != IDNO);
        b->copy_label(choice.text);
        b->labelfont(kFont);
        b->labelsize(m.fontSize);
        b->callback([](Fl_Widget* w, void* data) {
            auto* win = static_cast<MessageBoxWin*>(w->window());
            win->answer = static_cast<int>(reinterpret_cast<intptr_t>(data));
        }, reinterpret_cast<void*>(static_cast<intptr_t>(choice.id)));
        box.buttons.emplace_back(b, choice.id);
        x += buttonW + gap;
    }
    box.end();
    box.callback([](Fl_Widget* w, void*) { static_cast<MessageBoxWin*>(w)->Close(); });

    // Centred on the owner, or on the screen when there is none yet.
    Dialog* ownerDialog = m.DialogOf(owner);
    if (ownerDialog && ownerDialog->win && ownerDialog->win->shown()) {
        const DialogWin& o = *ownerDialog->win;
        box.position(o.x() + (o.w() - width) / 2, o.y() + (o.h() - height) / 2);
    } else {
        int sx, sy, sw, sh;
        Fl::screen_xywh(sx, sy, sw, sh);
        box.position(sx + (sw - width) / 2, sy + (sh - height) / 2);
    }
    box.set_modal();
    box.show();
    box.buttons.front().first->take_focus();
    while (!box.answer && box.shown()) Fl::wait();
    box.hide();
    // A question is never taken as answered yes unless the user said so.
    if (!box.answer) return asks ? IDNO : IDOK;
    return box.answer;
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
    for (auto& c : d.controls) m.controls.erase(reinterpret_cast<HWND>(c.get()));
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
