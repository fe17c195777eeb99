// Writes the Windows icon file (.ico) for icon 128 from its XPM images, so that the PE resource and
// the pixels every other host draws come from one source.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "res/templates.h"

namespace win32 {

// An image as 32-bit pixels, row by row from the top: 0xAARRGGBB, alpha 0 or 255.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};

// Reads an XPM image (colours given as #RRGGBB or None); nothing when it is malformed.
std::optional<Pixels> ReadXpm(const char* const* xpm);

// The .ico file holding every image, as 32-bit DIBs with their AND masks, in the order given;
// empty when an image is malformed.
std::vector<uint8_t> MakeIconFile(std::span<const res::IconImage> images);

}  // namespace win32
