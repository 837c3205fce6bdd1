// One iteration of the CPU phase: eight passes of a pixel write, a pixel
// copy, an integer mix and a float mix on the off-screen bitmap. Nothing
// reads the results except the pixels; the work itself is what is measured.
#pragma once

#include <cmath>
#include <cstdint>

#include "runtime/Extended.h"
#if !defined(QMK_HAS_X87)
#include "runtime/ExtendedCosine.h"
#endif

namespace qmk {

class TBitmap;

// j is the meter's CurrentCount: the iterations already completed in the
// current second.
void CpuTest(TBitmap& workBitmap, std::int32_t j);

// --- The arithmetic of a pass ---------------------------------------------
// Inline here so that a bare comparison loop (bench/x11_scores.cpp) does
// exactly the same work as CpuTest.

// The optimiser must neither fold, hoist nor drop the mix, although nothing
// reads its results. These barriers emit no instruction: OpaqueValue makes
// the compiler forget what it knows of a value (so a step cannot reuse the
// previous step's j × j), KeepValue makes it produce a value it would
// otherwise throw away.
template <class T>
inline T OpaqueValue(T value) {
    asm volatile("" : "+r"(value));
    return value;
}
inline void KeepValue(std::int32_t value) { asm volatile("" : : "r"(value)); }
#if defined(QMK_HAS_X87)
inline void KeepValue(long double value) { asm volatile("" : : "m"(value)); }
#else
inline void KeepValue(SoftExtended value) { asm volatile("" : : "m"(value)); }
#endif

// 32-bit two's complement without overflow checks: done in unsigned
// arithmetic, where wrapping is defined, and converted back.
inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

struct IntegerMix {
    std::int32_t A = 0;
    std::int32_t B = 0;
    std::int32_t C = 0;
    friend bool operator==(const IntegerMix&, const IntegerMix&) = default;
};

// One step of the integer mix (pass r, step k). The divisors (2, 5 and r)
// are never 0 and never -1, so every division is defined and truncates
// toward zero.
inline IntegerMix MixStepInline(std::int32_t j, std::int32_t r, std::int32_t k) {
    IntegerMix m;
    m.A = WrapSub(WrapMul(WrapAdd(j, r), 54), r / 2) & ((j ^ k) | r);
    // A real division, as the reference machine made it, not the reciprocal
    // multiplication a compiler substitutes for a constant divisor.
    const std::int32_t five = OpaqueValue(5);
    m.B = WrapAdd(WrapAdd(WrapAdd(WrapSub(WrapSub(WrapAdd(m.A / five, WrapMul(WrapAdd(k, m.A), 25)), r),
                                          m.A),
                                  j),
                          r),
                  k);
    // Compared and thrown away: the comparisons are part of the work.
    if (m.B > 100) asm volatile("" : : "r"(m.B > k));
    m.C = WrapAdd(WrapAdd(WrapAdd(WrapMul(j, j), r) / r, j), k) / r;
    return m;
}

// u = c × 0.25 in double.
inline double FloatMixArgument(std::int32_t c) { return static_cast<double>(c) * 0.25; }

// v = cos(u) + 1.23 × u in extended precision.
#if defined(QMK_HAS_X87)
// The x87 unit's own arithmetic, whichever Extended the build uses.
inline long double FloatMix(double u) {
    return std::cos(static_cast<long double>(u)) + 1.23L * static_cast<long double>(u);
}
#else
// Without an x87 unit the same work in the integer arithmetic: one cosine,
// one product, one sum. (long double is no stand-in: as quadruple precision
// in software its cosine costs many times the x87's.)
inline SoftExtended FloatMix(double u) {
    constexpr SoftExtended OnePointTwoThree(0x9d70a3d70a3d70a4p-63L);  // nearest to 1.23, as 1.23L on x86
    const SoftExtended x = SoftExtended::FromDouble(u);
    return Cosine(x) + OnePointTwoThree * x;
}
#endif

// The arithmetic of pass r: twelve steps of the integer mix, then the float
// mix of the last step's c; every result is kept.
inline void MixPass(std::int32_t j, std::int32_t r) {
    IntegerMix m;
    for (std::int32_t k = 1; k <= 12; ++k) {
        m = MixStepInline(OpaqueValue(j), OpaqueValue(r), OpaqueValue(k));
        KeepValue(m.A);
        KeepValue(m.B);
        KeepValue(m.C);
    }
    KeepValue(FloatMix(FloatMixArgument(m.C)));
}

// MixStepInline out of line, for tests.
IntegerMix MixStep(std::int32_t j, std::int32_t r, std::int32_t k);

}  // namespace qmk
