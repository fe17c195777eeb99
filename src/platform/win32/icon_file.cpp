// XPM reading and .ico writing for the application icon.
#include "platform/win32/icon_file.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

namespace win32 {
namespace {

void PutWord(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutDword(std::vector<uint8_t>& out, uint32_t value) {
    PutWord(out, value & 0xFFFF);
    PutWord(out, value >> 16);
}

// BITMAPINFOHEADER, then the colour pixels bottom-up, then the 1-bit AND mask (rows padded to 32 bits).
std::vector<uint8_t> IconImageData(const Pixels& image) {
    std::vector<uint8_t> out;
    const int maskStride = ((image.width + 31) / 32) * 4;
    PutDword(out, 40);
    PutDword(out, static_cast<uint32_t>(image.width));
    PutDword(out, static_cast<uint32_t>(image.height * 2));  // colour and mask together
    PutWord(out, 1);                                         // planes
    PutWord(out, 32);                                        // bits per pixel
    PutDword(out, 0);                                        // BI_RGB
    PutDword(out, static_cast<uint32_t>(image.width * image.height * 4 + maskStride * image.height));
    for (int i = 0; i < 4; ++i) PutDword(out, 0);  // resolution and palette: unused
    for (int y = image.height - 1; y >= 0; --y)
        for (int x = 0; x < image.width; ++x) PutDword(out, image.argb[static_cast<size_t>(y * image.width + x)]);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < image.width; ++x)
            if ((image.argb[static_cast<size_t>(y * image.width + x)] >> 24) == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

std::optional<Pixels> ReadXpm(const char* const* xpm) {
    if (!xpm || !xpm[0]) return std::nullopt;
    std::istringstream header(xpm[0]);
    int width = 0, height = 0, colours = 0, perPixel = 0;
    if (!(header >> width >> height >> colours >> perPixel)) return std::nullopt;
    if (width <= 0 || height <= 0 || width > 256 || height > 256 || colours <= 0 || perPixel <= 0 || perPixel > 4)
        return std::nullopt;

    std::map<std::string, uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        if (!xpm[i]) return std::nullopt;
        const std::string line = xpm[i];
        if (line.size() < static_cast<size_t>(perPixel)) return std::nullopt;
        std::istringstream rest(line.substr(static_cast<size_t>(perPixel)));
        std::string key, value;
        if (!(rest >> key >> value) || key != "c") return std::nullopt;
        uint32_t argb = 0;
        if (value == "None" || value == "none") {
            argb = 0;
        } else if (value.size() == 7 && value[0] == '#') {
            char* end = nullptr;
            const unsigned long rgb = std::strtoul(value.c_str() + 1, &end, 16);
            if (*end != '\0') return std::nullopt;
            argb = 0xFF000000u | static_cast<uint32_t>(rgb);
        } else {
            return std::nullopt;
        }
        palette[line.substr(0, static_cast<size_t>(perPixel))] = argb;
    }

    Pixels image;
    image.width = width;
    image.height = height;
    image.argb.reserve(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        const char* row = xpm[1 + colours + y];
        if (!row || std::strlen(row) != static_cast<size_t>(width * perPixel)) return std::nullopt;
        for (int x = 0; x < width; ++x) {
            const auto found = palette.find(std::string(row + x * perPixel, static_cast<size_t>(perPixel)));
            if (found == palette.end()) return std::nullopt;
            image.argb.push_back(found->second);
        }
    }
    return image;
}

std::vector<uint8_t> MakeIconFile(std::span<const res::IconImage> images) {
    std::vector<std::vector<uint8_t>> data;
    std::vector<Pixels> pixels;
    for (const res::IconImage& image : images) {
        std::optional<Pixels> read = ReadXpm(image.xpm);
        if (!read || read->width != image.size || read->height != image.size) return {};
        data.push_back(IconImageData(*read));
        pixels.push_back(std::move(*read));
    }
    std::vector<uint8_t> out;
    PutWord(out, 0);  // reserved
    PutWord(out, 1);  // type: icon
    PutWord(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(pixels[i].width >= 256 ? 0 : pixels[i].width));
        out.push_back(static_cast<uint8_t>(pixels[i].height >= 256 ? 0 : pixels[i].height));
        out.push_back(0);  // no palette
        out.push_back(0);  // reserved
        PutWord(out, 1);   // planes
        PutWord(out, 32);  // bits per pixel
        PutDword(out, static_cast<uint32_t>(data[i].size()));
        PutDword(out, offset);
        offset += static_cast<uint32_t>(data[i].size());
    }
    for (const auto& d : data) out.insert(out.end(), d.begin(), d.end());
    return out;
}

}  // namespace win32
