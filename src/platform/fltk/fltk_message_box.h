// The FLTK host's message box: an exclamation sign, the text, OK or Yes and No, and the keys of a
// Windows message box. A question cannot be dismissed without an answer.
#pragma once

#include "platform/compat/wintypes.h"

class Fl_Window;

namespace fltkhost {

// Shows a modal box of `type` (MB_OK or MB_YESNO) in the dialog font of `fontSize` at `scale`,
// centred on `owner` when that is shown and on the screen otherwise, and runs the event loop, timers
// and posted messages included, until it is answered. Returns IDOK, IDYES or IDNO.
int RunMessageBox(const char* text, const char* caption, UINT type, double scale, int fontSize,
                  Fl_Window* owner);

}  // namespace fltkhost
