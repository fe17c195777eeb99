// Whether the program has a display to show its windows on, asked before any window is made.
#pragma once

namespace fltkhost {

// Opens the X display (DISPLAY) for FLTK and tells whether it opened. Without one FLTK ends the program
// at the first window with a bare "Can't open display"; asked first, the program can say what is wrong.
bool DisplayOpens();

}  // namespace fltkhost
