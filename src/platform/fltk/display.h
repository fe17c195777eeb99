// Whether the program has a display to show its windows on, asked before any window is made.
#pragma once

namespace fltkhost {

// Whether the X display (DISPLAY) opens. Without one FLTK ends the program at the first window with
// a bare "Can't open display"; asked first, the program can say what is wrong.
bool DisplayOpens();

}  // namespace fltkhost
