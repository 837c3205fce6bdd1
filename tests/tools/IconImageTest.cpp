// The icon files made at build time: PNG files that a decoder reads back
// to the same pixels, nearest-neighbour scaling that keeps the pixel art's
// hard edges, and the XPM of the menu systems.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "app/AppIcon.h"
#include "tools/icons/IconImage.h"

namespace qmk::test {
namespace {

using icons::RgbaImage;

std::uint32_t BigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

struct Chunk {
    std::string Type;
    std::vector<std::uint8_t> Data;
};

// Splits a PNG file into its chunks, checking the signature and each CRC.
std::vector<Chunk> ReadChunks(const std::vector<std::uint8_t>& png) {
    const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
    std::vector<Chunk> chunks;
    std::size_t at = signature.size();
    while (at + 12 <= png.size()) {
        const std::uint32_t length = BigEndian(png, at);
        if (at + 12 + length > png.size()) break;
        Chunk chunk;
        chunk.Type.assign(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                          png.begin() + static_cast<std::ptrdiff_t>(at + 8));
        chunk.Data.assign(png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), png.data() + at + 4, 4 + length);
        EXPECT_EQ(BigEndian(png, at + 8 + length), crc) << chunk.Type;
        chunks.push_back(chunk);
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size()) << "bytes after the last chunk";
    return chunks;
}

// Decodes what EncodePng writes (8-bit RGBA, filter None on every row).
RgbaImage DecodePng(const std::vector<std::uint8_t>& png) {
    const std::vector<Chunk> chunks = ReadChunks(png);
    RgbaImage image;
    if (chunks.size() != 3 || chunks[0].Type != "IHDR" || chunks[1].Type != "IDAT" ||
        chunks[2].Type != "IEND") {
        ADD_FAILURE() << "unexpected chunks";
        return image;
    }
    const std::vector<std::uint8_t>& header = chunks[0].Data;
    EXPECT_EQ(header.size(), 13u);
    EXPECT_EQ(std::vector<std::uint8_t>(header.begin() + 8, header.end()),
              (std::vector<std::uint8_t>{8, 6, 0, 0, 0}));
    image.Width = static_cast<std::int32_t>(BigEndian(header, 0));
    image.Height = static_cast<std::int32_t>(BigEndian(header, 4));
    const std::size_t rowBytes = static_cast<std::size_t>(image.Width) * 4;
    std::vector<std::uint8_t> raw((rowBytes + 1) * static_cast<std::size_t>(image.Height) + 1);
    uLongf rawSize = raw.size();
    EXPECT_EQ(uncompress(raw.data(), &rawSize, chunks[1].Data.data(), chunks[1].Data.size()), Z_OK);
    EXPECT_EQ(rawSize, raw.size() - 1);
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.Height); ++y) {
        const auto row = raw.begin() + static_cast<std::ptrdiff_t>(y * (rowBytes + 1));
        EXPECT_EQ(*row, 0) << "filter of row " << y;
        image.Pixels.insert(image.Pixels.end(), row + 1, row + 1 + static_cast<std::ptrdiff_t>(rowBytes));
    }
    return image;
}

// A width × height image whose pixel (x, y) is (x, y, x + y, 255 - x).
RgbaImage Gradient(std::int32_t width, std::int32_t height) {
    RgbaImage image{width, height, {}};
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            image.Pixels.insert(image.Pixels.end(),
                                {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                 static_cast<std::uint8_t>(x + y), static_cast<std::uint8_t>(255 - x)});
        }
    }
    return image;
}

std::vector<std::uint8_t> Pixel(const RgbaImage& image, std::int32_t x, std::int32_t y) {
    const auto at = image.Pixels.begin() + (static_cast<std::ptrdiff_t>(y) * image.Width + x) * 4;
    return {at, at + 4};
}

TEST(IconImageTest, PngReadsBackToTheSamePixels) {
    for (const RgbaImage& image : {Gradient(1, 1), Gradient(3, 2), Gradient(256, 256)}) {
        SCOPED_TRACE(std::to_string(image.Width) + "x" + std::to_string(image.Height));
        const std::vector<std::uint8_t> png = icons::EncodePng(image);
        const RgbaImage decoded = DecodePng(png);
        EXPECT_EQ(decoded.Width, image.Width);
        EXPECT_EQ(decoded.Height, image.Height);
        EXPECT_EQ(decoded.Pixels, image.Pixels);
        EXPECT_EQ(icons::EncodePng(image), png) << "the same image gives the same bytes";
    }
}

TEST(IconImageTest, EmptyOrInconsistentImagesAreRefused) {
    RgbaImage shortPixels = Gradient(4, 4);
    shortPixels.Pixels.pop_back();
    for (const RgbaImage& image : {RgbaImage{}, RgbaImage{0, 3, {}}, shortPixels}) {
        EXPECT_THROW(icons::EncodePng(image), std::runtime_error);
        EXPECT_THROW(icons::EncodeXpm(image, "x"), std::runtime_error);
        EXPECT_TRUE(icons::ScaleNearest(image, 8, 8).Pixels.empty());
    }
    EXPECT_TRUE(icons::ScaleNearest(Gradient(4, 4), 0, 8).Pixels.empty());
}

TEST(IconImageTest, WholeFactorsRepeatEachPixelAsABlock) {
    const RgbaImage source = Gradient(32, 32);
    for (const std::int32_t factor : {2, 4, 8}) {
        const RgbaImage scaled = icons::ScaleNearest(source, 32 * factor, 32 * factor);
        ASSERT_EQ(scaled.Width, 32 * factor);
        ASSERT_EQ(scaled.Height, 32 * factor);
        for (std::int32_t y = 0; y < scaled.Height; ++y) {
            for (std::int32_t x = 0; x < scaled.Width; ++x) {
                ASSERT_EQ(Pixel(scaled, x, y), Pixel(source, x / factor, y / factor))
                    << "factor " << factor << " at " << x << "," << y;
            }
        }
    }
}

TEST(IconImageTest, OtherSizesSampleThePixelCentres) {
    const RgbaImage source = Gradient(32, 32);
    // 16: every second pixel, the right-hand one of each pair (centre 2x + 1).
    const RgbaImage half = icons::ScaleNearest(source, 16, 16);
    EXPECT_EQ(Pixel(half, 0, 0), Pixel(source, 1, 1));
    EXPECT_EQ(Pixel(half, 15, 7), Pixel(source, 31, 15));
    // 48: one and a half; source columns 0 1 1 2 3 3 ...
    const RgbaImage wider = icons::ScaleNearest(source, 48, 48);
    const std::vector<std::int32_t> columns = {0, 1, 1, 2, 3, 3};
    for (std::int32_t x = 0; x < 6; ++x) EXPECT_EQ(Pixel(wider, x, 47), Pixel(source, columns[x], 31)) << x;
    // Not square: each axis on its own.
    const RgbaImage strip = icons::ScaleNearest(Gradient(2, 4), 4, 2);
    EXPECT_EQ(Pixel(strip, 3, 0), Pixel(Gradient(2, 4), 1, 1));
    EXPECT_EQ(Pixel(strip, 0, 1), Pixel(Gradient(2, 4), 0, 3));
}

TEST(IconImageTest, TheProgramsIconKeepsItsColoursAndTransparency) {
    const RgbaImage icon = icons::FromIcon(MainIcon());
    ASSERT_EQ(icon.Width, 32);
    ASSERT_EQ(icon.Height, 32);
    EXPECT_EQ(Pixel(icon, 0, 0)[3], 0) << "the corner is transparent";
    EXPECT_EQ(Pixel(icon, 2, 2), (std::vector<std::uint8_t>{0, 0, 0, 255}));        // black frame
    EXPECT_EQ(Pixel(icon, 3, 3), (std::vector<std::uint8_t>{255, 255, 255, 255}));  // white edge
    EXPECT_EQ(Pixel(icon, 22, 8), (std::vector<std::uint8_t>{255, 0, 0, 255}));     // red bar
    EXPECT_EQ(Pixel(icon, 6, 6), (std::vector<std::uint8_t>{0, 0, 128, 255}));      // navy screen

    // Scaling adds no colour, so the large icons stay as crisp as the small.
    const RgbaImage large = icons::ScaleNearest(icon, 48, 48);
    for (std::size_t i = 0; i < large.Pixels.size(); i += 4) {
        bool found = false;
        for (std::size_t j = 0; j < icon.Pixels.size() && !found; j += 4) {
            found = std::equal(icon.Pixels.begin() + static_cast<std::ptrdiff_t>(j),
                               icon.Pixels.begin() + static_cast<std::ptrdiff_t>(j + 4),
                               large.Pixels.begin() + static_cast<std::ptrdiff_t>(i));
        }
        ASSERT_TRUE(found) << "pixel " << i / 4;
    }
}

TEST(IconImageTest, XpmNamesEachColourOnceAndLeavesTransparencyBlank) {
    RgbaImage image{3, 2, {}};
    image.Pixels = {0, 0, 0, 0,        255, 0, 0, 255,   255, 0, 0, 255,
                    0, 0, 128, 255,    9, 9, 9, 0,       255, 0, 0, 255};
    EXPECT_EQ(icons::EncodeXpm(image, "qmk_icon"),
              "/* XPM */\n"
              "static char *qmk_icon[] = {\n"
              "\"3 2 3 1\",\n"
              "\"  c None\",\n"
              "\". c #FF0000\",\n"
              "\"# c #000080\",\n"
              "\" ..\",\n"
              "\"# .\"\n"
              "};\n");

    RgbaImage many = Gradient(200, 1);
    EXPECT_THROW(icons::EncodeXpm(many, "x"), std::runtime_error);
}

}  // namespace
}  // namespace qmk::test
