// Acts on the FLTK host's windows as a user would, through FLTK's own event dispatch: keys, typing,
// clicks, the close button. For the host's tests, which run on a real (virtual) X display.
// Controls are named by dialog template and control id, as the host built them.
#pragma once

#include <functional>
#include <string>

namespace fltkhost::driver {

// Key codes (X keysyms, as FLTK uses them) and modifier bits of FLTK.
enum Key : int {
    kEscape = 0xff1b,
    kEnter = 0xff0d,
    kTab = 0xff09,
    kUp = 0xff52,
    kDown = 0xff54,
    kSpace = ' ',
};
enum Modifier : int {
    kShift = 0x00010000,
    kCtrl = 0x00040000,
    kAlt = 0x00080000,
};

struct Rect {
    int x, y, w, h;
};

// Runs `action` from the event loop after `seconds`, e.g. inside a modal loop the test started.
void After(double seconds, std::function<void()> action);
// Lets the event loop run for `seconds`.
void Pump(double seconds);

// The dialog window of template `dialogId` that was shown last; false when none is shown.
bool IsShown(int dialogId);
Rect WindowRect(int dialogId);
Rect ControlRect(int dialogId, int controlId);
// The size in pixels of the font a control's text is shown in.
int ControlFontSize(int dialogId, int controlId);
// The id of the control that has the keyboard focus; 0 when none of this dialog's has it.
int FocusedControl(int dialogId);

// A key pressed while dialog `dialogId` has the input focus. `text` is what the key types.
void Key(int dialogId, int key, int modifiers = 0, const char* text = "");
// Types `text` into the focused control, one key a character.
void Type(int dialogId, const std::string& text);
// A click with `button` (1 left, 3 right) at a point of the dialog, or at a point of a control
// given as fractions of its size.
void Click(int dialogId, int x, int y, int button = 1);
void ClickControl(int dialogId, int controlId, double fx = 0.5, double fy = 0.5, int button = 1);
// The window manager's close button.
void Close(int dialogId);

// Painting: brings the screen up to date, then tells what waits to be painted.
void Flush();
bool ControlNeedsPaint(int dialogId, int controlId);
bool WindowNeedsOwnPaint(int dialogId);  // the dialog's own surface, not only a control on it

// The modal window on top (a message box or a modal dialog): its title, "" when there is none.
std::string ModalTitle();
Rect ModalRect();
void ModalKey(int key, const char* text = "");
void ModalClose();

}  // namespace fltkhost::driver
