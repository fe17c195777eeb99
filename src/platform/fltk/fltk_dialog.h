// A dialog's window on FLTK: the keys the Windows dialog manager handles (Escape, Enter, Alt+Space),
// the context menu that stands for the system menu, and WM_PAINT for the dialog's own surface.
#pragma once

#include <FL/Fl_Double_Window.H>

#include "platform/fltk/fltk_host_impl.h"

namespace fltkhost {

class DialogWin : public Fl_Double_Window {
public:
    DialogWin(Dialog& d, int w, int h) : Fl_Double_Window(w, h), m_d(d) {}

    int handle(int event) override;
    // The dialog hears WM_PAINT when its own surface needs painting, not when only a control
    // changed: that is what a Windows dialog sees.
    void draw() override;
    // The window's own painting, for the default handling of WM_PAINT; at most once a paint.
    void DefaultDraw();

private:
    Dialog& m_d;
    bool m_defaultDrawn = false;
};

}  // namespace fltkhost
