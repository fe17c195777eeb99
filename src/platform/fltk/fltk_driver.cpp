// The FLTK host's test driver: synthetic events handed to Fl::handle, so that they take the same
// route through FLTK (focus, shortcuts, modal windows, pushed widgets) as the X server's events.
#include "platform/fltk/fltk_driver.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>

#include "res/templates.h"

namespace fltkhost::driver {

namespace {

// The host builds one widget a template control, in template order, and nothing else.
Fl_Window* WindowOf(int dialogId) {
    const res::DialogTemplate* t = res::FindDialog(dialogId);
    if (!t) return nullptr;
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->label() && std::strcmp(w->label(), t->title) == 0 &&
            w->children() == static_cast<int>(t->controls.size()))
            return w;
    return nullptr;
}

Fl_Widget* WidgetOf(int dialogId, int controlId) {
    const res::DialogTemplate* t = res::FindDialog(dialogId);
    Fl_Window* w = WindowOf(dialogId);
    if (!t || !w) return nullptr;
    for (size_t i = 0; i < t->controls.size(); ++i)
        if (t->controls[i].id == controlId) return w->child(static_cast<int>(i));
    return nullptr;
}

// As after an event from the X server, the loop that ran an action looks at its state again
// instead of sleeping on: a timeout added from a timeout callback would not do, FLTK runs it in
// the same pass.
void WakeLoop() {
    static int fds[2] = {-1, -1};
    if (fds[0] < 0) {
        if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
        Fl::add_fd(fds[0], FL_READ, [](int fd, void*) {
            char bytes[64];
            while (read(fd, bytes, sizeof(bytes)) > 0) {
            }
        }, nullptr);
    }
    const char byte = 0;
    if (write(fds[1], &byte, 1) < 0) {
        // Full: the loop is woken already.
    }
}

void KeyTo(Fl_Window* w, int key, int modifiers, const char* text) {
    if (!w) return;
    if (!Fl::focus() || Fl::focus()->window() != w) Fl::focus(w);
    static char typed[8];
    std::strncpy(typed, text ? text : "", sizeof(typed) - 1);
    Fl::e_keysym = Fl::e_original_keysym = key;
    Fl::e_state = modifiers;
    Fl::e_text = typed;
    Fl::e_length = static_cast<int>(std::strlen(typed));
    Fl::e_is_click = 0;
    Fl::handle(FL_KEYBOARD, w);
    typed[0] = '\0';
    Fl::e_length = 0;
    Fl::e_state = 0;
}

}  // namespace

void After(double seconds, std::function<void()> action) {
    auto* pending = new std::function<void()>(std::move(action));
    Fl::add_timeout(seconds, [](void* data) {
        std::unique_ptr<std::function<void()>> run(static_cast<std::function<void()>*>(data));
        (*run)();
        WakeLoop();
    }, pending);
}

void Pump(double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (auto now = Clock::now(); now < end; now = Clock::now())
        Fl::wait(std::chrono::duration<double>(end - now).count());
}

bool IsShown(int dialogId) {
    Fl_Window* w = WindowOf(dialogId);
    return w && w->shown();
}

Rect WindowRect(int dialogId) {
    Fl_Window* w = WindowOf(dialogId);
    return w ? Rect{w->x(), w->y(), w->w(), w->h()} : Rect{0, 0, 0, 0};
}

Rect ControlRect(int dialogId, int controlId) {
    Fl_Widget* c = WidgetOf(dialogId, controlId);
    return c ? Rect{c->x(), c->y(), c->w(), c->h()} : Rect{0, 0, 0, 0};
}

int ControlFontSize(int dialogId, int controlId) {
    const Fl_Widget* w = WidgetOf(dialogId, controlId);
    return w ? w->labelsize() : 0;
}

int FocusedControl(int dialogId) {
    const res::DialogTemplate* t = res::FindDialog(dialogId);
    Fl_Window* w = WindowOf(dialogId);
    if (!t || !w) return 0;
    const int index = w->find(Fl::focus());
    return index < w->children() ? t->controls[static_cast<size_t>(index)].id : 0;
}

void Key(int dialogId, int key, int modifiers, const char* text) { KeyTo(WindowOf(dialogId), key, modifiers, text); }

void Type(int dialogId, const std::string& text) {
    for (char c : text) {
        const char typed[2] = {c, '\0'};
        Key(dialogId, static_cast<unsigned char>(c), 0, typed);
    }
}

void Click(int dialogId, int x, int y, int button) {
    Fl_Window* w = WindowOf(dialogId);
    if (!w) return;
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = w->x() + x;
    Fl::e_y_root = w->y() + y;
    Fl::e_keysym = FL_Button + button;
    Fl::e_state = FL_BUTTON1 << (button - 1);
    Fl::e_clicks = 0;
    Fl::e_is_click = 1;
    Fl::handle(FL_PUSH, w);
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, w);
}

void ClickControl(int dialogId, int controlId, double fx, double fy, int button) {
    Fl_Widget* c = WidgetOf(dialogId, controlId);
    if (!c) return;
    Click(dialogId, c->x() + static_cast<int>(c->w() * fx), c->y() + static_cast<int>(c->h() * fy), button);
}

void Close(int dialogId) {
    if (Fl_Window* w = WindowOf(dialogId)) Fl::handle(FL_CLOSE, w);
}

void Flush() { Fl::flush(); }

bool ControlNeedsPaint(int dialogId, int controlId) {
    Fl_Widget* c = WidgetOf(dialogId, controlId);
    return c && c->damage() != 0;
}

bool WindowNeedsOwnPaint(int dialogId) {
    Fl_Window* w = WindowOf(dialogId);
    return w && (w->damage() & ~FL_DAMAGE_CHILD) != 0;
}

std::string ModalTitle() {
    Fl_Window* w = Fl::modal();
    return w && w->label() ? w->label() : "";
}

Rect ModalRect() {
    Fl_Window* w = Fl::modal();
    return w ? Rect{w->x(), w->y(), w->w(), w->h()} : Rect{};
}

void ModalKey(int key, const char* text) { KeyTo(Fl::modal(), key, 0, text); }

void ModalClose() {
    if (Fl_Window* w = Fl::modal()) Fl::handle(FL_CLOSE, w);
}

}  // namespace fltkhost::driver
