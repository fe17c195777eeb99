// PNG and .ico writing for the application icon: a small deflate of our own keeps the bytes the same
// on every machine, whatever zlib it has.
#include "platform/win32/icon_file.h"

#include <algorithm>
#include <array>
#include <cstddef>

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
std::vector<uint8_t> IconImageData(const res::Pixels& image) {
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

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// Bits in the order deflate packs them: from each byte's least significant bit up.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : m_out(out) {}
    void Put(uint32_t value, int bits) {
        for (int i = 0; i < bits; ++i) PutBit((value >> i) & 1u);
    }
    // Huffman codes go most significant bit first.
    void PutCode(uint32_t code, int bits) {
        for (int i = bits - 1; i >= 0; --i) PutBit((code >> i) & 1u);
    }
    void Flush() {
        if (m_count) m_out.push_back(m_byte);
        m_byte = 0;
        m_count = 0;
    }

private:
    void PutBit(uint32_t bit) {
        m_byte = static_cast<uint8_t>(m_byte | bit << m_count);
        if (++m_count == 8) Flush();
    }
    std::vector<uint8_t>& m_out;
    uint8_t m_byte = 0;
    int m_count = 0;
};

// A literal/length symbol in deflate's fixed Huffman code (RFC 1951, 3.2.6).
void PutSymbol(BitWriter& bits, int symbol) {
    if (symbol < 144) bits.PutCode(0x30u + static_cast<uint32_t>(symbol), 8);
    else if (symbol < 256) bits.PutCode(0x190u + static_cast<uint32_t>(symbol - 144), 9);
    else if (symbol < 280) bits.PutCode(static_cast<uint32_t>(symbol - 256), 7);
    else bits.PutCode(0xC0u + static_cast<uint32_t>(symbol - 280), 8);
}

// A match of `length` bytes `distance` back: its length and distance codes with their extra bits.
void PutMatch(BitWriter& bits, int length, int distance) {
    static constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr std::array<int, 30> kDistanceBase = {
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    int code = 28;
    while (kLengthBase[static_cast<size_t>(code)] > length) --code;
    PutSymbol(bits, 257 + code);
    const int lengthExtra = code < 8 || code == 28 ? 0 : code / 4 - 1;
    bits.Put(static_cast<uint32_t>(length - kLengthBase[static_cast<size_t>(code)]), lengthExtra);
    code = 29;
    while (kDistanceBase[static_cast<size_t>(code)] > distance) --code;
    bits.PutCode(static_cast<uint32_t>(code), 5);
    bits.Put(static_cast<uint32_t>(distance - kDistanceBase[static_cast<size_t>(code)]), code < 4 ? 0 : code / 2 - 1);
}

// A zlib stream of one fixed-Huffman deflate block: greedy matches found through a table of where
// each three-byte sequence last began.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out{0x78, 0x01};
    BitWriter bits(out);
    bits.Put(1, 1);  // the last block
    bits.Put(1, 2);  // fixed codes
    constexpr size_t kWindow = 32768, kMaxMatch = 258;
    std::vector<size_t> last(1 << 15, SIZE_MAX);
    const auto hash = [&raw](size_t at) { return ((raw[at] << 10) ^ (raw[at + 1] << 5) ^ raw[at + 2]) & 0x7FFF; };
    for (size_t at = 0; at < raw.size();) {
        size_t length = 0, distance = 0;
        if (at + 3 <= raw.size()) {
            const size_t candidate = last[static_cast<size_t>(hash(at))];
            if (candidate != SIZE_MAX && at - candidate <= kWindow) {
                const size_t most = std::min(kMaxMatch, raw.size() - at);
                while (length < most && raw[candidate + length] == raw[at + length]) ++length;
                distance = at - candidate;
            }
        }
        const size_t step = length >= 3 ? length : 1;
        if (length >= 3) PutMatch(bits, static_cast<int>(length), static_cast<int>(distance));
        else PutSymbol(bits, raw[at]);
        for (size_t i = at; i < at + step && i + 3 <= raw.size(); ++i) last[static_cast<size_t>(hash(i))] = i;
        at += step;
    }
    PutSymbol(bits, 256);  // end of block
    bits.Flush();
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian32(out, (b << 16) | a);
    return out;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    PutBigEndian32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBigEndian32(png, Crc32(png.data() + start, png.size() - start));
}

}  // namespace

std::vector<uint8_t> MakePng(const res::Pixels& image) {
    if (image.width < 1 || image.height < 1 || image.argb.size() != static_cast<size_t>(image.width * image.height))
        return {};
    std::vector<uint8_t> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < image.width; ++x) {
            const uint32_t argb = image.argb[static_cast<size_t>(y * image.width + x)];
            for (int shift : {16, 8, 0, 24}) raw.push_back(static_cast<uint8_t>(argb >> shift));
        }
    }
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian32(header, static_cast<uint32_t>(image.width));
    PutBigEndian32(header, static_cast<uint32_t>(image.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a channel, RGBA, deflate, no filter, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", Deflate(raw));
    PutChunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> MakeIconFile(std::span<const res::Pixels> images) {
    std::vector<std::vector<uint8_t>> data;
    for (const res::Pixels& image : images) {
        if (image.width != image.height || image.width < 1 || image.width > 256 ||
            image.argb.size() != static_cast<size_t>(image.width * image.height))
            return {};
        data.push_back(image.width == 256 ? MakePng(image) : IconImageData(image));
    }
    std::vector<uint8_t> out;
    PutWord(out, 0);  // reserved
    PutWord(out, 1);  // type: icon
    PutWord(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(images[i].width));  // 256 is written as 0
        out.push_back(static_cast<uint8_t>(images[i].height));
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

std::vector<uint8_t> MakeIconFile(int id) {
    if (!res::HasIcon(id)) return {};
    std::vector<res::Pixels> images;
    for (int size : kIconFileSizes) images.push_back(res::DrawIcon(id, size));
    return MakeIconFile(images);
}

}  // namespace win32
