#include "app/AppIcon.h"

#include <cstddef>

namespace qmk {

namespace {

constexpr std::int32_t IconSize = 32;

// One character a pixel: a palette index in hex, or a space where the icon
// is transparent. 0 black, 1 maroon, 2 green, 3 olive, 4 navy, 6 teal,
// 7 silver, 8 grey, 9 red, A lime, B yellow, E aqua, F white.
constexpr const char* IconArt[IconSize] = {
    "                                ",
    "                                ",
    "  0000000000000000000000000000  ",
    "  0FFFFFFFFFFFFFFFFFFFFFFFFFF0  ",
    "  0F77777777777777777777777780  ",
    "  0F78888888888888888888888F80  ",
    "  0F78444444444444444444444F80  ",
    "  0F78444444444444444FFFF44F80  ",
    "  0F78444444444444444999144F80  ",
    "  0F78464646464646464999164F80  ",
    "  0F7844444444444FFF4999144F80  ",
    "  0F7844444444444BB34999144F80  ",
    "  0F7844444444444BB34999144F80  ",
    "  0F784646FFF6464BB34999164F80  ",
    "  0F784444AA24FFFBB34999144F80  ",
    "  0F784444AA24BB3BB34999144F80  ",
    "  0F784FFFAA24BB3BB34999144F80  ",
    "  0F784AA2AA26BB3BB34999164F80  ",
    "  0F784AA2AA24BB3BB34999144F80  ",
    "  0F78EEEEEEEEEEEEEEEEEEEEEF80  ",
    "  0F7FFFFFFFFFFFFFFFFFFFFFFF80  ",
    "  0F777777777777777777777AA780  ",
    "  0F88888888888888888888888880  ",
    "  0000000000000000000000000000  ",
    "            07888880            ",
    "            07888880            ",
    "       000000000000000000       ",
    "       0FFFFFFFFFFFFFFFF0       ",
    "       088888888888888880       ",
    "       000000000000000000       ",
    "                                ",
    "                                ",
};

std::uint8_t HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return 0;
}

TIndexedIcon PackArt() {
    TIndexedIcon icon;
    icon.Width = IconSize;
    icon.Height = IconSize;
    icon.Colors.assign(IconSize * IconSize / 2, 0);
    icon.Mask.assign(IconSize * IconSize / 8, 0);
    for (std::size_t y = 0; y < IconSize; ++y) {
        for (std::size_t x = 0; x < IconSize; ++x) {
            const char c = IconArt[y][x];
            const std::size_t i = y * IconSize + x;
            if (c == ' ') {
                // Transparent pixels are black in the colour bits, as the
                // classic form wants for the AND/XOR drawing.
                icon.Mask[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
                continue;
            }
            const std::uint8_t index = HexValue(c);
            icon.Colors[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? index << 4 : index);
        }
    }
    return icon;
}

}  // namespace

const TIndexedIcon& MainIconBits() {
    static const TIndexedIcon icon = PackArt();
    return icon;
}

TIconData IconFromIndexed(const TIndexedIcon& icon) {
    if (icon.Width <= 0 || icon.Height <= 0) return {};
    const auto count = static_cast<std::size_t>(icon.Width) * static_cast<std::size_t>(icon.Height);
    if (icon.Colors.size() * 2 < count || icon.Mask.size() * 8 < count) return {};
    std::vector<std::uint8_t> pixels(count);
    std::vector<std::uint8_t> mask(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t pair = icon.Colors[i / 2];
        pixels[i] = i % 2 == 0 ? pair >> 4 : pair & 0x0F;
        mask[i] = (icon.Mask[i / 8] & (0x80u >> (i % 8))) != 0 ? 1 : 0;
    }
    return TIconData::FromIndexed16(icon.Width, icon.Height, pixels, mask);
}

TIconData MainIcon() { return IconFromIndexed(MainIconBits()); }

}  // namespace qmk
