// Trying the display ahead of FLTK, so that a missing one can be told to the user in words. FLTK
// opens its own connection later, with its locale and error handlers.
#include "platform/fltk/display.h"

#include <X11/Xlib.h>

namespace fltkhost {

bool DisplayOpens() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

}  // namespace fltkhost
