// Time values as text in the locale's time format. The benchmark compares
// the texts of successive clock readings to find second boundaries, so
// TimeText is on the measured path: it reads no locale, decodes the value
// once, builds in a stack buffer and allocates only its result.
#pragma once

#include <string_view>

#include "runtime/Clock.h"
#include "runtime/Text.h"

namespace qmk {

// Expands a pattern (h/H, n, m after h, s, AM/PM, a/p, AMPM, t, tt, ':',
// quoted literals, date tokens y, m, d, c, g, e, '/', aaa, aaaa). Output
// longer than 256 bytes is cut; patterns nest one level deep.
Text ExpandPattern(std::string_view pattern, TimeValue value);

// ExpandPattern of TimePatternLong.
Text TimeText(TimeValue value);

}  // namespace qmk
