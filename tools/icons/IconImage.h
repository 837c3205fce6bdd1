// The program's icon as files for the desktop: PNG images for the icon
// theme and an XPM for the old menu systems. The program itself only ever
// needs the 32 × 32 form, so these are made at build time from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Icon.h"

namespace qmk::icons {

// Straight (not premultiplied) RGBA, 8 bits a channel, rows top to bottom.
struct RgbaImage {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::uint8_t> Pixels;  // Width * Height * 4 bytes
};

RgbaImage FromIcon(const TIconData& icon);

// Nearest-neighbour, sampling each target pixel's centre, so pixel art
// keeps hard edges at every size: integer factors repeat each source pixel
// as a whole block, and no colour appears that the source does not have.
RgbaImage ScaleNearest(const RgbaImage& image, std::int32_t width, std::int32_t height);

// A complete PNG file: 8-bit RGBA, no interlace, one IDAT chunk. The same
// image always gives the same bytes (no time stamp), so a rebuild changes
// no installed file. Throws std::runtime_error if the image is empty or
// zlib fails.
std::vector<std::uint8_t> EncodePng(const RgbaImage& image);

// An XPM 3 text with one character a colour and "None" for transparent
// pixels. Throws std::runtime_error for an empty image or one with more
// colours than printable characters.
std::string EncodeXpm(const RgbaImage& image, std::string_view name);

}  // namespace qmk::icons
