// The icon's two file formats: the Windows icon file (.ico) padwright.rc embeds, and PNG, which the
// .ico holds its largest image in and the desktop's icon theme takes. Both are written from the pixels
// res::DrawIcon makes, byte for byte the same every time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "res/icon_art.h"

namespace win32 {

// The sizes padwright.exe's icon holds: the small and large icons from 100 to 150 % and Explorer's
// largest views; Windows scales the nearest for any other.
inline constexpr int kIconFileSizes[] = {16, 20, 24, 32, 48, 256};

// An 8-bit RGBA PNG, deflate-compressed; empty for an image with no pixels or a wrong pixel count.
std::vector<uint8_t> MakePng(const res::Pixels& image);

// The .ico file holding every image in the order given: those under 256 pixels as 32-bit DIBs with
// their AND masks, a 256-pixel one as PNG (as Windows keeps its large icons). Empty when an image is
// not square, larger than 256 or has the wrong pixel count.
std::vector<uint8_t> MakeIconFile(std::span<const res::Pixels> images);

// Icon `id` drawn at each of kIconFileSizes, as a .ico file; empty for an unknown icon.
std::vector<uint8_t> MakeIconFile(int id);

}  // namespace win32
