// The yardstick of the start-up bench: the least an FLTK program does to show a window, a window
// with one labelled box, built as Padwright is (same FLTK, same flags).
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>

int main() {
    Fl_Window window(340, 180, "Bare FLTK window");
    Fl_Box box(20, 40, 300, 100, "Hello, World!");
    window.end();
    window.show();
    return Fl::run();
}
