// One iteration of the CPU phase: eight passes of a pixel write, a pixel
// copy, an integer mix and a float mix on the off-screen bitmap. Nothing
// reads the results except the pixels; the work itself is what is measured.
#pragma once

#include <cstdint>

namespace qmk {

class TBitmap;

// j is the meter's CurrentCount: the iterations already completed in the
// current second.
void CpuTest(TBitmap& workBitmap, std::int32_t j);

// The integer mix of one step (pass r, step k) and its float mix, exposed
// so their arithmetic can be checked; CpuTest computes the same inline.
struct IntegerMix {
    std::int32_t A = 0;
    std::int32_t B = 0;
    std::int32_t C = 0;
    friend bool operator==(const IntegerMix&, const IntegerMix&) = default;
};
IntegerMix MixStep(std::int32_t j, std::int32_t r, std::int32_t k);
// u = c × 0.25 in double.
double FloatMixArgument(std::int32_t c);

}  // namespace qmk
