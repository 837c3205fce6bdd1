// The classic system colour scheme as 0x00BBGGRR values, indexed by
// syscolor::. Backends that have no desktop scheme of their own (the X11
// and recording ones) answer GetSysColor from this one table, so both draw
// the same button faces, bevels and text.
#pragma once

#include <array>

#include "platform/Types.h"

namespace qmk::platform {

inline constexpr std::array<ColorRef, syscolor::Count> ClassicSystemColors = {
    0x00C0C0C0u,  // ScrollBar
    0x00808000u,  // Background (teal desktop)
    0x00800000u,  // ActiveCaption (navy)
    0x00808080u,  // InactiveCaption
    0x00C0C0C0u,  // Menu
    0x00FFFFFFu,  // Window
    0x00000000u,  // WindowFrame
    0x00000000u,  // MenuText
    0x00000000u,  // WindowText
    0x00FFFFFFu,  // CaptionText
    0x00C0C0C0u,  // ActiveBorder
    0x00C0C0C0u,  // InactiveBorder
    0x00808080u,  // AppWorkspace
    0x00800000u,  // Highlight (navy)
    0x00FFFFFFu,  // HighlightText
    0x00C0C0C0u,  // BtnFace
    0x00808080u,  // BtnShadow
    0x00808080u,  // GrayText
    0x00000000u,  // BtnText
    0x00C0C0C0u,  // InactiveCaptionText
    0x00FFFFFFu,  // BtnHighlight
    0x00000000u,  // DkShadow3D
    0x00C0C0C0u,  // Light3D
    0x00000000u,  // InfoText
    0x00E1FFFFu,  // InfoBk (pale yellow)
};

}  // namespace qmk::platform
