// padwright-make-icon FILE.ico: writes icon 128 as a Windows icon file (the one padwright.rc includes).
// padwright-make-icon --png SIZE FILE.png: writes icon 128's SIZE x SIZE image as a PNG file, for the
// desktop's icon theme (the Linux package installs one a size).
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/icon_file.h"
#include "res/resource.h"

namespace {

void Put32(std::vector<uint8_t>* out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutChunk(std::vector<uint8_t>* png, const char* type, const std::vector<uint8_t>& data) {
    Put32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), data.begin(), data.end());
    Put32(png, Crc32(png->data() + start, png->size() - start));
}

// An 8-bit RGBA PNG; the image data is a zlib stream of stored (uncompressed) blocks, which every
// reader takes and which is small enough at icon sizes.
std::vector<uint8_t> MakePng(const win32::Pixels& image) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < image.width; ++x) {
            const uint32_t argb = image.argb[static_cast<size_t>(y * image.width + x)];
            for (int shift : {16, 8, 0, 24}) raw.push_back(static_cast<uint8_t>(argb >> shift));
        }
    }
    std::vector<uint8_t> zlib{0x78, 0x01};
    for (size_t at = 0; at == 0 || at < raw.size(); at += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        zlib.push_back(at + length == raw.size() ? 1 : 0);
        for (size_t half : {length, ~length}) {
            zlib.push_back(static_cast<uint8_t>(half));
            zlib.push_back(static_cast<uint8_t>(half >> 8));
        }
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Put32(&zlib, (b << 16) | a);

    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(&header, static_cast<uint32_t>(image.width));
    Put32(&header, static_cast<uint32_t>(image.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a channel, RGBA, deflate, no filter, no interlace
    PutChunk(&png, "IHDR", header);
    PutChunk(&png, "IDAT", zlib);
    PutChunk(&png, "IEND", {});
    return png;
}

// The image of icon 128 that is size x size, as a PNG file; empty when there is none.
std::vector<uint8_t> MakePngOfSize(int size) {
    for (const res::IconImage& image : res::FindIcon(IDR_MAINFRAME)) {
        if (image.size != size) continue;
        const std::optional<win32::Pixels> pixels = win32::ReadXpm(image.xpm);
        if (pixels) return MakePng(*pixels);
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const bool png = argc == 4 && std::string(argv[1]) == "--png";
    if (argc != 2 && !png) {
        std::fprintf(stderr, "usage: padwright-make-icon OUTPUT.ico | --png SIZE OUTPUT.png\n");
        return 2;
    }
    const std::vector<uint8_t> data =
        png ? MakePngOfSize(std::atoi(argv[2])) : win32::MakeIconFile(res::FindIcon(IDR_MAINFRAME));
    if (data.empty()) {
        std::fprintf(stderr, "padwright-make-icon: icon %d has no such image or is malformed\n", IDR_MAINFRAME);
        return 1;
    }
    const char* path = argv[argc - 1];
    std::FILE* out = std::fopen(path, "wb");
    if (!out) {
        std::perror(path);
        return 1;
    }
    const bool written = std::fwrite(data.data(), 1, data.size(), out) == data.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(path);
        return 1;
    }
    return 0;
}
