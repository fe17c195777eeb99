// The FLTK host's state, shared by its parts: the open dialogs with their controls, timers and
// system-menu entries, the icons loaded, and the queue of posted messages. Internal to the host.
#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl_RGB_Image.H>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/fltk/fltk_host.h"
#include "platform/fltk/layout.h"

class Fl_Widget;

namespace fltkhost {

// The dialog font: a sans face with Arial's metrics where fontconfig has one (Arial, Liberation Sans),
// the closest to 8-point MS Sans Serif; any other sans face otherwise.
constexpr Fl_Font kFont = FL_FREE_FONT;
constexpr double kMinTimerSeconds = 0.010;  // as the system's shortest window timer

struct Dialog;
class DialogWin;

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

    // The controls by id, in template order among equal ids: the refresh looks up two dozen
    // controls 20 times a second, and a search over a short array stays in the cache.
    std::vector<std::pair<int, Control*>> byId;

    HWND Handle() { return reinterpret_cast<HWND>(this); }
    Control* Find(int id) {
        auto it = std::lower_bound(byId.begin(), byId.end(), id, [](const auto& e, int v) { return e.first < v; });
        return it != byId.end() && it->first == id ? it->second : nullptr;
    }
    Control* FindWidget(const Fl_Widget* w) {
        for (auto& c : controls)
            if (c->widget == w) return c.get();
        return nullptr;
    }
};

struct FltkHost::Impl {
    std::vector<Dialog*> open;
    std::vector<Control*> controls;  // of every open dialog, by address: a control's handle is its address
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
    int fontSize = 0;  // the dialog font's size in pixels, 0 until measured

    void EnsureDisplay();
    // The dialog font's size, measured at the first call (which opens fonts, and with the first one
    // loads fontconfig's configuration).
    int FontSize();
    Dialog* DialogOf(HWND hwnd) const {
        for (Dialog* d : open)
            if (d->Handle() == hwnd) return d;
        return nullptr;
    }
    Control* ControlOf(HWND hwnd) const {
        auto* c = reinterpret_cast<Control*>(hwnd);
        auto it = std::lower_bound(controls.begin(), controls.end(), c, std::less<>());
        return it != controls.end() && *it == c ? c : nullptr;
    }
    bool IsOpen(const Dialog* d) const { return std::find(open.begin(), open.end(), d) != open.end(); }

    LRESULT Dispatch(Dialog& d, UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = 0;
        if (d.proc->HostMessage(d.Handle(), message, wParam, lParam, result)) return result;
        return DefaultProc(d, message, wParam, lParam);
    }
    void Notify(Control& c, UINT code) {
        Dispatch(*c.dialog, WM_COMMAND, MAKEWPARAM(c.tmpl->id, code), reinterpret_cast<LPARAM>(&c));
    }

    // The dialog manager's part (fltk_dialog.cpp): the window from its template, default handling,
    // the dialog keys, the system menu and up-down steps.
    void Build(Dialog& d);
    LRESULT DefaultProc(Dialog& d, UINT message, WPARAM wParam, LPARAM lParam);
    void PressEnter(Dialog& d);
    void PressEscape(Dialog& d);
    void ShowSystemMenu(Dialog& d, int x, int y);
    void Spin(Control& spin, int delta);

    // The loop's part (fltk_host.cpp): posted messages, timers, icons.
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

}  // namespace fltkhost
