// The application icon: drawn at every size from one set of shapes, written as PNG (checked by
// inflating it with zlib) and as the .ico padwright.rc embeds, laid out as the system reads .ico
// files; and the committed file kept in step with the drawing.
#include "platform/win32/icon_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>

#include "res/resource.h"

namespace {

using namespace win32;

uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Word(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t BigEndian(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

TEST(IconArt, EverySizeIsDrawnWithTransparentCornersAndTheRedBallOnTop) {
    for (int size : {1, 16, 20, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE("icon of " + std::to_string(size));
        const res::Pixels image = res::DrawIcon(IDR_MAINFRAME, size);
        ASSERT_EQ(image.width, size);
        ASSERT_EQ(image.height, size);
        ASSERT_EQ(image.argb.size(), static_cast<size_t>(size * size));
        if (size == 1) continue;
        EXPECT_EQ(image.argb.front(), 0u) << "top-left is transparent";
        EXPECT_EQ(image.argb.back(), 0u) << "bottom-right is transparent";
        // The ball's lower right, away from its shine: opaque red.
        const uint32_t ball = image.argb[static_cast<size_t>(size * 9 / 32 * size + size * 18 / 32)];
        EXPECT_EQ(ball, 0xFFD02020u);
    }
    for (int size : {0, -1, res::kLargestIcon + 1}) EXPECT_TRUE(res::DrawIcon(IDR_MAINFRAME, size).argb.empty());
    EXPECT_TRUE(res::DrawIcon(IDR_MAINFRAME + 1, 32).argb.empty());
    EXPECT_FALSE(res::HasIcon(IDR_MAINFRAME + 1));

    const std::string svg = res::IconSvg(IDR_MAINFRAME);
    EXPECT_NE(svg.find("viewBox=\"0 0 32 32\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("<ellipse cx=\"16\" cy=\"7.2\" rx=\"5.6\" ry=\"5.6\" fill=\"#D02020\"/>"), std::string::npos)
        << svg;
    EXPECT_TRUE(res::IconSvg(IDR_MAINFRAME + 1).empty());
}

TEST(Png, ChunksCarryTheImageAsAZlibStreamOfItsRows) {
    for (int size : {16, 256}) {
        SCOPED_TRACE("icon of " + std::to_string(size));
        const res::Pixels image = res::DrawIcon(IDR_MAINFRAME, size);
        const std::vector<uint8_t> png = MakePng(image);
        ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
        EXPECT_EQ(BigEndian(png, 8), 13u);
        EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
        EXPECT_EQ(BigEndian(png, 16), static_cast<uint32_t>(size));
        EXPECT_EQ(BigEndian(png, 20), static_cast<uint32_t>(size));
        const size_t idat = 8 + 25;
        ASSERT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
        const uint32_t length = BigEndian(png, idat);
        ASSERT_EQ(png.size(), idat + 12 + length + 12) << "IDAT, then IEND";
        EXPECT_EQ(BigEndian(png, idat + 8 + length),
                  crc32(0, png.data() + idat + 4, static_cast<uInt>(length + 4)));

        // Each row: filter 0, then R, G, B, A.
        std::vector<uint8_t> rows(static_cast<size_t>(size * (1 + size * 4)));
        uLongf rowsLength = rows.size();
        ASSERT_EQ(uncompress(rows.data(), &rowsLength, png.data() + idat + 8, length), Z_OK);
        ASSERT_EQ(rowsLength, rows.size());
        for (int y = 0; y < size; ++y) {
            const uint8_t* row = &rows[static_cast<size_t>(y * (1 + size * 4))];
            ASSERT_EQ(row[0], 0);
            for (int x = 0; x < size; ++x) {
                const uint32_t argb = image.argb[static_cast<size_t>(y * size + x)];
                const uint32_t read = static_cast<uint32_t>(row[1 + 4 * x + 3]) << 24 | row[1 + 4 * x] << 16 |
                                      row[1 + 4 * x + 1] << 8 | row[1 + 4 * x + 2];
                ASSERT_EQ(read, argb) << "pixel " << x << "," << y;
            }
        }
        EXPECT_LT(length, rows.size() / 2) << "the stream is compressed";
    }
    EXPECT_TRUE(MakePng({}).empty());
}

TEST(IconFile, DirectoryAndImagesAreLaidOutAsTheSystemReadsThem) {
    const std::vector<uint8_t> ico = MakeIconFile(IDR_MAINFRAME);
    constexpr size_t kCount = std::size(kIconFileSizes);
    ASSERT_GE(ico.size(), 6u + 16u * kCount);
    EXPECT_EQ(Word(ico, 0), 0);
    EXPECT_EQ(Word(ico, 2), 1) << "type icon";
    ASSERT_EQ(Word(ico, 4), kCount);

    size_t expectedOffset = 6 + 16 * kCount;
    for (size_t i = 0; i < kCount; ++i) {
        const int size = kIconFileSizes[i];
        SCOPED_TRACE("directory entry " + std::to_string(i) + ", size " + std::to_string(size));
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(ico[entry], size % 256) << "256 is written as 0";
        EXPECT_EQ(ico[entry + 1], size % 256);
        EXPECT_EQ(Word(ico, entry + 6), 32) << "bits per pixel";
        const uint32_t bytes = Dword(ico, entry + 8);
        const uint32_t offset = Dword(ico, entry + 12);
        EXPECT_EQ(offset, expectedOffset) << "images follow each other";
        ASSERT_LE(offset + bytes, ico.size());
        expectedOffset = offset + bytes;
        const res::Pixels pixels = res::DrawIcon(IDR_MAINFRAME, size);
        if (size == 256) {
            const std::vector<uint8_t> png = MakePng(pixels);
            EXPECT_TRUE(std::equal(png.begin(), png.end(), ico.begin() + offset, ico.begin() + offset + bytes))
                << "the largest image is kept as PNG";
            continue;
        }
        const size_t maskStride = ((size + 31) / 32) * 4;
        EXPECT_EQ(bytes, 40 + size * size * 4 + maskStride * size);
        EXPECT_EQ(Dword(ico, offset), 40u) << "BITMAPINFOHEADER";
        EXPECT_EQ(Dword(ico, offset + 4), static_cast<uint32_t>(size));
        EXPECT_EQ(Dword(ico, offset + 8), static_cast<uint32_t>(2 * size)) << "colour and mask heights together";

        // Rows are stored bottom-up: the last stored row is the image's top row.
        const size_t colour = offset + 40;
        const size_t lastRow = colour + static_cast<size_t>((size - 1) * size * 4);
        for (int x = 0; x < size; ++x) {
            EXPECT_EQ(Dword(ico, lastRow + 4 * x), pixels.argb[static_cast<size_t>(x)]);
            EXPECT_EQ(Dword(ico, colour + 4 * x), pixels.argb[static_cast<size_t>((size - 1) * size + x)]);
        }
        // The AND mask marks transparent pixels: the stored first mask row is the image's bottom row.
        const size_t mask = colour + static_cast<size_t>(size * size * 4);
        for (int x = 0; x < size; ++x) {
            const bool transparent = (pixels.argb[static_cast<size_t>((size - 1) * size + x)] >> 24) == 0;
            EXPECT_EQ((ico[mask + x / 8] & (0x80 >> (x % 8))) != 0, transparent) << "mask bit " << x;
        }
    }
    EXPECT_EQ(expectedOffset, ico.size());
}

TEST(IconFile, ImagesItCannotHoldGiveNoFile) {
    const res::Pixels notSquare{2, 1, {0, 0}};
    const res::Pixels wrongCount{2, 2, {0, 0, 0}};
    const res::Pixels tooLarge{300, 300, std::vector<uint32_t>(300 * 300)};
    for (const res::Pixels& image : {notSquare, wrongCount, tooLarge}) {
        const res::Pixels images[] = {res::DrawIcon(IDR_MAINFRAME, 16), image};
        EXPECT_TRUE(MakeIconFile(images).empty());
    }
    EXPECT_TRUE(MakeIconFile(IDR_MAINFRAME + 1).empty());
}

TEST(IconFile, CommittedIconMatchesTheDrawing) {
    std::ifstream in(PADWRIGHT_ICON_FILE, std::ios::binary);
    ASSERT_TRUE(in) << PADWRIGHT_ICON_FILE;
    const std::vector<uint8_t> committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(committed == MakeIconFile(IDR_MAINFRAME))
        << "regenerate it: padwright-make-icon " << PADWRIGHT_ICON_FILE;
}

}  // namespace
