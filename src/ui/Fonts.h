// The framework's few uses of TFont, gathered so every control speaks to
// fonts the same way: applying a described font, reading its height and
// colour, and measuring text on the screen's context.
#pragma once

#include <cstdint>
#include <string_view>

#include "graphics/Font.h"
#include "platform/Types.h"
#include "ui/FormDescription.h"

namespace qmk {

void ApplyFontDescription(TFont& font, const TFontDescription& description);
std::int32_t FontHeight(const TFont& font);
void SetFontHeight(TFont& font, std::int32_t height);
TColor FontColor(const TFont& font);
void CopyFont(TFont& target, const TFont& source);
// The font's platform handle (made once and shared through the cache).
platform::ObjectHandle FontHandle(const TFont& font);

// Size of the text in the font, measured with GetTextExtentPoint on dc
// (the screen's context when dc is 0). {0, 0} when the call fails.
platform::Size TextExtent(const TFont& font, std::string_view text, platform::DcHandle dc = 0);
// Cell height of the font (text metrics), for line spacing.
std::int32_t LineHeight(const TFont& font, platform::DcHandle dc);

}  // namespace qmk
