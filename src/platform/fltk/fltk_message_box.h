// The FLTK host's message box: an exclamation sign, the text, OK or Yes and No, and the keys of a
// Windows message box. A question cannot be dismissed without an answer.
#pragma once

#include <functional>

#include "platform/compat/wintypes.h"
#include "platform/fltk/layout.h"

class Fl_Window;

namespace fltkhost {

// The dialog font's size for a box: `size()` measures it (opening fonts), `predicted`, when above 0,
// is what Arial's metrics give before any font is open.
struct BoxFont {
    std::function<int()> size;
    int predicted = 0;
};

// Shows a modal box of `type` (MB_OK or MB_YESNO) in the dialog font at `scale`, centred on `owner`
// when that is shown and on the screen otherwise, and runs the event loop, timers and posted messages
// included, until it is answered. Returns IDOK, IDYES or IDNO. With a predicted size, the box is laid
// out from Arial's metrics and mapped before any font opens, then measured in the real font and laid
// out again where that differs.
int RunMessageBox(const char* text, const char* caption, UINT type, double scale, const BoxFont& font,
                  Fl_Window* owner);

// `text` as FLTK measures it in the dialog font of `fontSize` (see ArialTextExtent).
TextExtent MeasureInFont(const char* text, int fontSize, int maxWidth);

}  // namespace fltkhost
