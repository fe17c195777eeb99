// Opening the display ahead of FLTK, so that a missing one can be told to the user in words. The
// connection opened is handed to FLTK, set up as FLTK sets up its own (locale, input method, error
// handlers), so that start-up makes one connection, not two.
#include "platform/fltk/display.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <clocale>
#include <cstdio>

namespace fltkhost {

namespace {

// As FLTK's own: a protocol error is reported and the program goes on; a lost connection ends it.
int ReportXError(Display* display, XErrorEvent* event) {
    char text[128] = "";
    XGetErrorText(display, event->error_code, text, sizeof(text));
    std::fprintf(stderr, "padwright: X error %s (request %d)\n", text, event->request_code);
    return 0;
}

int ConnectionLost(Display*) {
    Fl::fatal("X I/O error");
    return 0;
}

}  // namespace

bool DisplayOpens() {
    if (fl_display != nullptr) return true;
    std::setlocale(LC_CTYPE, "");
    XSetLocaleModifiers("@im=");
    XSetIOErrorHandler(ConnectionLost);
    XSetErrorHandler(ReportXError);
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    fl_open_display(display);
    return true;
}

}  // namespace fltkhost
