// The icon file padwright.rc embeds: read from the XPM, laid out as the system reads .ico files, and
// the committed file kept in step with the XPM.
#include "platform/win32/icon_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "res/resource.h"

namespace {

using namespace win32;

uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Word(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

TEST(Xpm, ReadsBothSizesOfIcon128WithTransparentCorners) {
    const auto images = res::FindIcon(IDR_MAINFRAME);
    ASSERT_EQ(images.size(), 2u);
    for (const res::IconImage& image : images) {
        SCOPED_TRACE("icon of " + std::to_string(image.size));
        const std::optional<Pixels> pixels = ReadXpm(image.xpm);
        ASSERT_TRUE(pixels);
        EXPECT_EQ(pixels->width, image.size);
        EXPECT_EQ(pixels->height, image.size);
        EXPECT_EQ(pixels->argb.front(), 0u) << "top-left is transparent";
        EXPECT_EQ(pixels->argb.back(), 0u) << "bottom-right is transparent";
    }
}

TEST(Xpm, MapsColoursAndRejectsMalformedImages) {
    const char* const good[] = {"2 1 2 1", ". c None", "r c #D02020", ".r"};
    const std::optional<Pixels> pixels = ReadXpm(good);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->argb, (std::vector<uint32_t>{0x00000000u, 0xFFD02020u}));

    const char* const shortRow[] = {"2 1 1 1", "r c #D02020", "r"};
    const char* const unknownKey[] = {"2 1 1 1", "r c #D02020", "rx"};
    const char* const badColour[] = {"1 1 1 1", "r c red", "r"};
    const char* const badHeader[] = {"two by one", "r c #D02020", "rr"};
    const char* const missingRows[] = {"1 2 1 1", "r c #D02020", "r", nullptr};
    EXPECT_FALSE(ReadXpm(shortRow));
    EXPECT_FALSE(ReadXpm(unknownKey));
    EXPECT_FALSE(ReadXpm(badColour));
    EXPECT_FALSE(ReadXpm(badHeader));
    EXPECT_FALSE(ReadXpm(missingRows));
    EXPECT_FALSE(ReadXpm(nullptr));
}

TEST(IconFile, DirectoryAndImagesAreLaidOutAsTheSystemReadsThem) {
    const auto images = res::FindIcon(IDR_MAINFRAME);
    const std::vector<uint8_t> ico = MakeIconFile(images);
    ASSERT_GE(ico.size(), 6u + 16u * 2);
    EXPECT_EQ(Word(ico, 0), 0);
    EXPECT_EQ(Word(ico, 2), 1) << "type icon";
    ASSERT_EQ(Word(ico, 4), 2);

    size_t expectedOffset = 6 + 16 * 2;
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE("directory entry " + std::to_string(i));
        const size_t entry = 6 + 16 * i;
        const int size = images[i].size;
        EXPECT_EQ(ico[entry], size);
        EXPECT_EQ(ico[entry + 1], size);
        EXPECT_EQ(Word(ico, entry + 6), 32) << "bits per pixel";
        const uint32_t bytes = Dword(ico, entry + 8);
        const uint32_t offset = Dword(ico, entry + 12);
        EXPECT_EQ(offset, expectedOffset) << "images follow each other";
        const size_t maskStride = ((size + 31) / 32) * 4;
        EXPECT_EQ(bytes, 40 + size * size * 4 + maskStride * size);
        ASSERT_LE(offset + bytes, ico.size());

        EXPECT_EQ(Dword(ico, offset), 40u) << "BITMAPINFOHEADER";
        EXPECT_EQ(Dword(ico, offset + 4), static_cast<uint32_t>(size));
        EXPECT_EQ(Dword(ico, offset + 8), static_cast<uint32_t>(2 * size)) << "colour and mask heights together";

        // Rows are stored bottom-up: the last stored pixel is the image's top-right one.
        const Pixels pixels = *ReadXpm(images[i].xpm);
        const size_t colour = offset + 40;
        const size_t lastRow = colour + static_cast<size_t>((size - 1) * size * 4);
        EXPECT_EQ(Dword(ico, lastRow), pixels.argb[0]);
        EXPECT_EQ(Dword(ico, colour), pixels.argb[static_cast<size_t>((size - 1) * size)]);
        // The AND mask marks transparent pixels: the stored first mask row is the image's bottom row.
        const size_t mask = colour + static_cast<size_t>(size * size * 4);
        const bool bottomLeftTransparent = (pixels.argb[static_cast<size_t>((size - 1) * size)] >> 24) == 0;
        EXPECT_EQ((ico[mask] & 0x80) != 0, bottomLeftTransparent);
        expectedOffset = offset + bytes;
    }
    EXPECT_EQ(expectedOffset, ico.size());
}

TEST(IconFile, MalformedImageGivesNoFile) {
    const char* const broken[] = {"2 2 1 1", "r c #D02020", "rr", "r"};
    const res::IconImage images[] = {{2, broken}};
    EXPECT_TRUE(MakeIconFile(images).empty());
    const char* const good[] = {"2 1 1 1", "r c #D02020", "rr"};
    const res::IconImage wrongSize[] = {{16, good}};
    EXPECT_TRUE(MakeIconFile(wrongSize).empty());
}

TEST(IconFile, CommittedIconMatchesTheXpm) {
    std::ifstream in(PADWRIGHT_ICON_FILE, std::ios::binary);
    ASSERT_TRUE(in) << PADWRIGHT_ICON_FILE;
    const std::vector<uint8_t> committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(committed == MakeIconFile(res::FindIcon(IDR_MAINFRAME)))
        << "regenerate it: padwright-make-icon " << PADWRIGHT_ICON_FILE;
}

}  // namespace
