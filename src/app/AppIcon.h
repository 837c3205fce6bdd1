// The program's icon (MAINICON): a small monitor showing a bar chart. It is
// kept in the classic icon form, 32 × 32 pixels at 4 bits per pixel in the
// standard 16-colour palette with a 1-bit transparency mask, and converted
// to the window manager's ARGB form when a window takes it.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/Icon.h"

namespace qmk {

struct TIndexedIcon {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // Rows top to bottom. Colour: two pixels a byte, the left one in the
    // high nibble. Mask: eight pixels a byte, the left one in the high bit,
    // a set bit where the icon is transparent. Rows follow each other
    // without padding (a 32-pixel row fills whole 32-bit words anyway).
    std::vector<std::uint8_t> Colors;
    std::vector<std::uint8_t> Mask;
};

// The icon in its stored form (built once).
const TIndexedIcon& MainIconBits();

// The icon as windows take it.
TIconData MainIcon();

// Unpacks the stored form into one palette index and one mask byte a pixel.
TIconData IconFromIndexed(const TIndexedIcon& icon);

}  // namespace qmk
