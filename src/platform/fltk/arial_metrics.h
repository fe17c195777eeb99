// Arial's metrics as Xft gives them, known without opening a font: the host lays its first window out
// with them, so that the window maps before fontconfig has read its configuration (which opening any
// font does first), and corrects the layout afterwards where the face the system gives differs.
#pragma once

#include <string_view>

#include "platform/fltk/layout.h"

namespace fltkhost {

// True when every character of `text` is printable ASCII or a line break: the metrics cover those.
bool ArialKnows(std::string_view text);
// Width in pixels of one line of `text` at `pixelSize`, as Xft measures it (each glyph's advance in
// whole pixels, no kerning). Only for text ArialKnows.
int ArialTextWidth(std::string_view text, int pixelSize);
// The line height (ascent plus descent) in pixels.
int ArialLineHeight(int pixelSize);
// The average width of the 52 letters, as the dialog font's size is chosen from.
double ArialAverageWidth(int pixelSize);
// What FLTK's fl_measure gives for `text`: with `maxWidth` 0, one line per line break and the widest
// line's width; otherwise each paragraph also wrapped at blanks to `maxWidth`.
TextExtent ArialTextExtent(std::string_view text, int pixelSize, int maxWidth);

}  // namespace fltkhost
