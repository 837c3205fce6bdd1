// The classic 3-D look in one place: the bevels of buttons, panels and
// sunken edit edges, flat fills and the dotted focus rectangle. Every
// control paints its frame through these, so the look stays consistent.
#pragma once

#include <cstdint>

#include "graphics/Color.h"
#include "platform/Types.h"

namespace qmk {

enum class TBevel {
    Raised,        // 1 pixel: highlight top/left, shadow bottom/right (panel)
    Sunken,        // 1 pixel: shadow top/left, highlight bottom/right
    Button,        // 2 pixels: highlight and light inside, dark shadow and shadow outside
    ButtonPressed, // 1 pixel of shadow all round
    ClientEdge,    // 2 pixels: shadow and dark shadow top/left, highlight and light bottom/right
};

namespace StylePainter {

void FillSolid(platform::DcHandle dc, const platform::Rect& rect, TColor color);
// Draws a 1-pixel frame of one colour just inside rect.
void FrameSolid(platform::DcHandle dc, const platform::Rect& rect, TColor color);
// Draws the bevel inside rect and returns the rectangle inside it.
platform::Rect PaintBevel(platform::DcHandle dc, const platform::Rect& rect, TBevel bevel);
void PaintFocusRect(platform::DcHandle dc, const platform::Rect& rect);
platform::Rect Inflate(const platform::Rect& rect, std::int32_t by);

}  // namespace StylePainter

}  // namespace qmk
