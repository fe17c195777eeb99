// The parts of the FLTK host that need no window system: dialog units to pixels, the link markup
// of feedback texts and its word wrapping, up-down steps, "&" mnemonics and message-box keys.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/compat/wintypes.h"
#include "res/link_markup.h"

namespace fltkhost {

using res::IsOpenableHref;
using res::LinkText;
using res::ParseLinkMarkup;

// Base units of the dialog font: 8-point MS Sans Serif is 6 x 13 pixels at 96 dpi. Dialog units
// are a quarter of the average character width and an eighth of the character height.
struct BaseUnits {
    double x = 6.0;
    double y = 13.0;
};

// The scale of a screen against 96 dpi, in quarter steps, never below 1 and never above 4.
// Unknown or implausible resolutions (0, negative, far beyond any screen) give 1.
double ScaleForDpi(double dpi);
BaseUnits BaseUnitsForScale(double scale);
// A large icon (32 pixels at 96 dpi) at that scale: the About box draws its icon at this size.
int IconSizeForScale(double scale);

// The dialog font's size in pixels: the largest of 6..64 whose average character, `averageWidth(size)`,
// is no wider than the base unit `baseX` (so that texts fit the rectangles laid out for them); 6 when
// none is. Each size measured opens a font, so the search measures one reference size, predicts from
// it and walks from the prediction to where the rule changes: two sizes for Arial's metrics, a few
// for other faces, not 59. Widths grow with the size in every face the host uses, which makes the
// walk's answer the rule's.
int DialogFontSize(double baseX, const std::function<double(int)>& averageWidth);

struct PixelRect {
    int x, y, w, h;
};

// As Windows maps a dialog template: every edge is converted on its own, rounding down, so that
// controls that touch in dialog units touch in pixels.
int DialogUnitsToPixelsX(int units, BaseUnits base);
int DialogUnitsToPixelsY(int units, BaseUnits base);
PixelRect DialogRectToPixels(int x, int y, int cx, int cy, BaseUnits base);


// One line of wrapped text: [begin, end) of the source text, and its width in pixels.
struct TextLine {
    size_t begin, end;
    int width;
};
// Wraps at blanks to `width` pixels and at every "\n"; a word wider than the line stands alone.
// `measure` gives the width of a piece of text. Blanks where a line breaks are not part of a line.
std::vector<TextLine> WrapText(std::string_view text, int width, const std::function<int(std::string_view)>& measure);

// An up-down step on the buddy's text, as the common control does with a buddy integer: the text is
// read as a decimal (what does not parse counts from 0), moved by `delta` within the range and
// written back as a plain integer. An inverted range (lower above upper) steps the other way.
// Nothing when the text already shows the value the step gives.
std::optional<std::string> SpinStep(std::string_view buddyText, int lower, int upper, int delta);

// A label as shown by a control that does not underline mnemonics: "&&" becomes "&", a single "&" goes.
std::string StripMnemonic(std::string_view label);

// The extent of a text in pixels.
struct TextExtent {
    int w = 0, h = 0;
    bool operator==(const TextExtent&) const = default;
};

// Where a message box puts its parts, in pixels: the icon at (margin, margin), the text at
// (textX, textY), the buttons side by side from (buttonsX, buttonY).
struct MessageBoxLayout {
    int width = 0, height = 0;
    int margin = 0, iconSize = 0;
    int textX = 0, textY = 0;
    TextExtent text;
    int buttonsX = 0, buttonY = 0, buttonW = 0, buttonH = 0, gap = 0;
    bool operator==(const MessageBoxLayout&) const = default;
};
// Lays out a box with one button ("OK") or two ("Yes", "No") at `scale`, with the text as
// `measure(maxWidth)` measures it (see ArialTextExtent): on one line per line break when it fits
// 560 dialog pixels, wrapped to them otherwise.
MessageBoxLayout LayoutMessageBox(int buttonCount, double scale, const std::function<TextExtent(int maxWidth)>& measure);

// Keys and actions a message box answers to.
enum class BoxKey { Enter, Escape, Close, Space, Char };
// The answer a message box of `type` (MB_OK or MB_YESNO) gives for a key: Enter and Space press
// the focused button (`focused`: IDOK, IDYES or IDNO); Escape and the close button answer an OK box
// and do nothing in a Yes/No box; "y" and "n" choose in a Yes/No box. 0: the key does nothing.
int MessageBoxAnswer(UINT type, BoxKey key, int focused, char ch = 0);

}  // namespace fltkhost
