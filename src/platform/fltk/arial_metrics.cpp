// Arial's advance widths and vertical metrics, and text measured with them as Xft measures it.
#include "platform/fltk/arial_metrics.h"

#include <algorithm>
#include <cstdint>

namespace fltkhost {

namespace {

// Arial's metrics, which Liberation Sans shares by design: units per em, the hhea ascender and
// descender, and the advance width of each character from ' ' to '~' (the font's hmtx table, read
// from Liberation Sans 1.07.4 with FreeType's FT_LOAD_NO_SCALE).
constexpr int kUnitsPerEm = 2048, kAscender = 1854, kDescender = 434;
constexpr int16_t kAdvance[95] = {
    569,  569,  727,  1139, 1139, 1821, 1366, 391,  682,  682,  797,  1196, 569,  682,  569,  569,   // ' '../
    1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 569,  569,  1196, 1196, 1196, 1139,  // 0..?
    2079, 1366, 1366, 1479, 1479, 1366, 1251, 1593, 1479, 569,  1024, 1366, 1139, 1706, 1479, 1593,  // @..O
    1366, 1593, 1479, 1366, 1251, 1479, 1366, 1933, 1366, 1366, 1251, 569,  569,  569,  961,  1139,  // P.._
    682,  1139, 1139, 1024, 1139, 1139, 569,  1139, 1139, 455,  455,  1024, 455,  1706, 1139, 1139,  // `..o
    1139, 1139, 682,  1024, 569,  1139, 1024, 1479, 1024, 1024, 1024, 684,  532,  684,  1196,        // p..~
};

// Glyphs whose advance Xft gives a pixel wider than the rounded scaled one, by pixel size (6..64):
// measured through Xft with Liberation Sans 1.07.4 and Debian 12's default hinting (hintslight), every
// printable character at every size; everywhere else the rounding below holds.
struct Wider {
    int size;
    std::string_view glyphs;
};
constexpr Wider kWider[] = {
    {9, "CDFHMNRTUWZmw"}, {15, "Mm"}, {21, "Mm"}, {25, "|"}, {27, "CDFHNRTUZw"}, {33, "@"}, {45, "CDHNRUw"},
    {63, "CDHNRUw"},
};

// FreeType scales to 26.6 fixed point and Xft rounds the advance to whole pixels.
int Advance(char c, int size) {
    const int64_t scaled = static_cast<int64_t>(kAdvance[c - ' ']) * size * 64 / kUnitsPerEm;
    int pixels = static_cast<int>((scaled + 32) >> 6);
    for (const Wider& w : kWider)
        if (w.size == size && w.glyphs.find(c) != std::string_view::npos) ++pixels;
    return pixels;
}

// FreeType rounds the scaled ascender up and the descender down to whole pixels.
int CeilPixels(int units, int size) { return (units * size + kUnitsPerEm - 1) / kUnitsPerEm; }

}  // namespace

bool ArialKnows(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); });
}

int ArialTextWidth(std::string_view text, int pixelSize) {
    int width = 0;
    for (char c : text)
        if (c >= ' ' && c <= '~') width += Advance(c, pixelSize);
    return width;
}

int ArialLineHeight(int pixelSize) { return CeilPixels(kAscender, pixelSize) + CeilPixels(kDescender, pixelSize); }

double ArialAverageWidth(int pixelSize) {
    return ArialTextWidth("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", pixelSize) / 52.0;
}

TextExtent ArialTextExtent(std::string_view text, int pixelSize, int maxWidth) {
    if (text.empty()) return {};
    // fl_measure ends at the last line break: a text that ends with one has no empty line after it.
    if (text.back() == '\n') text.remove_suffix(1);
    int widest = 0, lines = 0;
    if (maxWidth > 0) {
        for (const TextLine& line : WrapText(text, maxWidth, [pixelSize](std::string_view piece) {
                 return ArialTextWidth(piece, pixelSize);
             })) {
            widest = std::max(widest, line.width);
            ++lines;
        }
    } else {
        for (size_t begin = 0;; ++lines) {
            const size_t end = std::min(text.find('\n', begin), text.size());
            widest = std::max(widest, ArialTextWidth(text.substr(begin, end - begin), pixelSize));
            if (end == text.size()) {
                ++lines;
                break;
            }
            begin = end + 1;
        }
    }
    return {widest, lines * ArialLineHeight(pixelSize)};
}

}  // namespace fltkhost
