// Icon 128: a joystick on its base, as ellipses and rectangles on a 32 x 32 grid. Raster sizes are
// drawn with several samples a pixel in integer arithmetic, so that every build and every machine makes
// the same pixels (the committed Windows icon file is checked against them).
#include "res/icon_art.h"

#include <cstdio>

#include "res/resource.h"

namespace res {
namespace {

// Coordinates in tenths of a grid unit: the icon spans 0..320 both ways.
constexpr int kGrid = 320;

struct Shape {
    enum Kind { Ellipse, Rect } kind;
    int a, b, c, d;  // ellipse: centre x, y and radii x, y; rectangle: left, top, right, bottom
    uint32_t rgb;
};

// Back to front.
constexpr Shape kJoystick[] = {
    {Shape::Ellipse, 160, 266, 140, 46, 0x202020},  // the base's dark underside
    {Shape::Ellipse, 160, 256, 132, 38, 0x505860},  // its top
    {Shape::Ellipse, 242, 254, 22, 11, 0xD02020},   // the fire button
    {Shape::Ellipse, 160, 250, 26, 11, 0x202020},   // where the stick enters the base
    {Shape::Rect, 144, 110, 176, 250, 0x303030},    // the stick
    {Shape::Rect, 154, 110, 164, 246, 0x909090},    // its shine
    {Shape::Ellipse, 160, 72, 56, 56, 0xD02020},    // the ball
    {Shape::Ellipse, 143, 54, 17, 21, 0xFFA0A0},    // its shine
};

// Whether the point (x, y) / scale, in tenths, lies in the shape.
bool Covers(const Shape& s, int64_t x, int64_t y, int64_t scale) {
    if (s.kind == Shape::Rect) return x >= s.a * scale && x < s.c * scale && y >= s.b * scale && y < s.d * scale;
    const int64_t dx = (x - s.a * scale) * s.d, dy = (y - s.b * scale) * s.c;
    const int64_t r = static_cast<int64_t>(s.c) * s.d * scale;
    return dx * dx + dy * dy <= r * r;
}

std::string Tenths(int value) {
    char text[16];
    std::snprintf(text, sizeof text, value % 10 ? "%d.%d" : "%d", value / 10, value % 10);
    return text;
}

}  // namespace

bool HasIcon(int id) { return id == IDR_MAINFRAME; }

Pixels DrawIcon(int id, int size) {
    Pixels image;
    if (!HasIcon(id) || size < 1 || size > kLargestIcon) return image;
    const int samples = size > 64 ? 4 : 8;  // a side: 64 samples a pixel, 16 where pixels are small
    // A sample's centre in tenths is (2 * sample + 1) * kGrid / (2 * size * samples); both sides of
    // each test are multiplied by that denominator.
    const int64_t scale = 2LL * size * samples;
    image.width = image.height = size;
    image.argb.reserve(static_cast<size_t>(size * size));
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            uint32_t covered = 0, red = 0, green = 0, blue = 0;
            for (int sy = 0; sy < samples; ++sy) {
                const int64_t y = (2LL * (py * samples + sy) + 1) * kGrid;
                for (int sx = 0; sx < samples; ++sx) {
                    const int64_t x = (2LL * (px * samples + sx) + 1) * kGrid;
                    for (auto s = std::end(kJoystick); s != std::begin(kJoystick);) {
                        if (!Covers(*--s, x, y, scale)) continue;
                        ++covered;
                        red += (s->rgb >> 16) & 0xFF;
                        green += (s->rgb >> 8) & 0xFF;
                        blue += s->rgb & 0xFF;
                        break;
                    }
                }
            }
            if (covered == 0) {
                image.argb.push_back(0);
                continue;
            }
            const uint32_t all = static_cast<uint32_t>(samples * samples);
            const auto mean = [covered](uint32_t sum) { return (sum + covered / 2) / covered; };
            image.argb.push_back(((covered * 255 + all / 2) / all) << 24 | mean(red) << 16 | mean(green) << 8 |
                                 mean(blue));
        }
    }
    return image;
}

std::string IconSvg(int id) {
    if (!HasIcon(id)) return {};
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n";
    for (const Shape& s : kJoystick) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(s.rgb));
        if (s.kind == Shape::Ellipse)
            svg += "  <ellipse cx=\"" + Tenths(s.a) + "\" cy=\"" + Tenths(s.b) + "\" rx=\"" + Tenths(s.c) +
                   "\" ry=\"" + Tenths(s.d) + "\" fill=\"" + colour + "\"/>\n";
        else
            svg += "  <rect x=\"" + Tenths(s.a) + "\" y=\"" + Tenths(s.b) + "\" width=\"" + Tenths(s.c - s.a) +
                   "\" height=\"" + Tenths(s.d - s.b) + "\" fill=\"" + colour + "\"/>\n";
    }
    return svg + "</svg>\n";
}

}  // namespace res
