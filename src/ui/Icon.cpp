#include "ui/Icon.h"

namespace qmk {

const std::uint32_t StandardPalette16[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

TIconData TIconData::FromIndexed16(std::int32_t width, std::int32_t height,
                                   const std::vector<std::uint8_t>& pixels,
                                   const std::vector<std::uint8_t>& mask) {
    TIconData icon;
    if (width <= 0 || height <= 0) return icon;
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels.size() < count) return icon;
    icon.Width = width;
    icon.Height = height;
    icon.Argb.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const bool transparent = i < mask.size() && mask[i] != 0;
        icon.Argb[i] = transparent ? 0u : 0xFF000000u | StandardPalette16[pixels[i] & 0x0F];
    }
    return icon;
}

}  // namespace qmk
