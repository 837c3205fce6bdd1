// cos(x) in extended precision on integer arithmetic, for the CPU test's
// float mix on processors without the x87 unit's cosine. The value is
// within a few units in the last place of the exact cosine; the cost is a
// fixed amount of 64-bit multiplications, like one fcos.
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
