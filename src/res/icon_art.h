// Icon 128, the application icon, as one drawing of plain shapes: every size every host shows, the
// Windows icon file, the desktop's PNGs and its scalable SVG are all made from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace res {

// An image as 32-bit pixels, row by row from the top: 0xAARRGGBB, not premultiplied.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};

inline constexpr int kLargestIcon = 256;

// Whether icon `id` exists.
bool HasIcon(int id);

// Icon `id` drawn at size x size pixels, its edges smoothed; empty (0 x 0) for an unknown icon or a
// size outside 1..kLargestIcon.
Pixels DrawIcon(int id, int size);

// Icon `id` as an SVG document, the same shapes at any size; empty for an unknown icon.
std::string IconSvg(int id);

}  // namespace res
