// cos(x) in extended precision on integer arithmetic, for the CPU test's
// float mix on processors without the x87 unit's cosine. The value is
// within 1.6 units in the last place of the exact cosine for arguments
// below 2^63. The worst measured is 1.54 (tools/cosine): among 200,000
// random arguments in every binade, where cos x is near ±0.7, from the
// series' rounding; the argument nearest an odd multiple of π/2 in every
// binade, where the result is tiny and rests on the reduction (which keeps
// 120 bits), is within 0.5. The cost is a fixed amount of 64-bit
// multiplications, like one fcos.
#pragma once

#include "runtime/SoftExtended.h"

#if defined(QMK_HAS_SOFT_EXTENDED)

namespace qmk {

// |x| ≥ 2^63, outside the x87 cosine's direct range, gives 0, the value
// the program's cosine takes there;
// infinities and unsupported encodings give the default NaN, NaNs come
// back quieted.
SoftExtended Cosine(SoftExtended x);

}  // namespace qmk

#endif  // QMK_HAS_SOFT_EXTENDED
