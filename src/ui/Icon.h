// Window icons as the window manager takes them: 32-bit ARGB pixels. A
// classic 16-colour icon (4 bits per pixel in the standard palette with a
// 1-bit transparency mask) is converted once when the form is read.
#pragma once

#include <cstdint>
#include <vector>

namespace qmk {

struct TIconData {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::uint32_t> Argb;  // rows top to bottom

    bool Empty() const { return Width <= 0 || Height <= 0 || Argb.empty(); }

    // pixels: Width × Height palette indices (0..15, one per byte, rows top
    // to bottom); mask: one byte per pixel, non-zero where the icon is
    // transparent.
    static TIconData FromIndexed16(std::int32_t width, std::int32_t height,
                                   const std::vector<std::uint8_t>& pixels,
                                   const std::vector<std::uint8_t>& mask);
};

// The standard 16-colour palette as 0x00RRGGBB.
extern const std::uint32_t StandardPalette16[16];

}  // namespace qmk
