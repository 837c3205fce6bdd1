#include "app/CpuTest.h"

#include <cmath>

#include "graphics/Bitmap.h"
#include "runtime/Generator.h"

namespace qmk {

namespace {

// The optimiser must neither fold, hoist nor drop the mix, although nothing
// reads its results. These barriers emit no instruction: Opaque makes the
// compiler forget what it knows of a value (so a step cannot reuse the
// previous step's j × j), Keep makes it produce a value it would otherwise
// throw away.
template <class T>
inline T Opaque(T value) {
    asm volatile("" : "+r"(value));
    return value;
}
inline void Keep(std::int32_t value) { asm volatile("" : : "r"(value)); }
inline void Keep(long double value) { asm volatile("" : : "m"(value)); }

// 32-bit two's complement without overflow checks: done in unsigned
// arithmetic, where wrapping is defined, and converted back.
inline std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t Sub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t Mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// One step of the integer mix. The divisors (2, 5 and r) are never 0 and
// never -1, so every division is defined and truncates toward zero.
inline IntegerMix Mix(std::int32_t j, std::int32_t r, std::int32_t k) {
    IntegerMix m;
    m.A = Sub(Mul(Add(j, r), 54), r / 2) & ((j ^ k) | r);
    // A real division, as the reference machine made it, not a reciprocal
    // multiplication the compiler would substitute for a constant divisor.
    const std::int32_t five = Opaque(5);
    m.B = Add(Add(Add(Sub(Sub(Add(m.A / five, Mul(Add(k, m.A), 25)), r), m.A), j), r), k);
    // Compared and thrown away: the comparisons are part of the work.
    if (m.B > 100) asm volatile("" : : "r"(m.B > k));
    m.C = Add(Add(Add(Mul(j, j), r) / r, j), k) / r;
    return m;
}

inline long double FloatMix(double u) {
    return std::cos(static_cast<long double>(u)) + 1.23L * static_cast<long double>(u);
}

}  // namespace

IntegerMix MixStep(std::int32_t j, std::int32_t r, std::int32_t k) { return Mix(j, r, k); }

double FloatMixArgument(std::int32_t c) { return static_cast<double>(c) * 0.25; }

void CpuTest(TBitmap& workBitmap, std::int32_t j) {
    // Width, height and canvas are asked for before every pixel operation,
    // never remembered across them.
    for (std::int32_t r = 1; r <= 8; ++r) {
        const TColor colour = RandomBelow(0x1000000);
        std::int32_t y = RandomBelow(workBitmap.GetHeight());
        std::int32_t x = RandomBelow(workBitmap.GetWidth());
        workBitmap.Canvas().WritePixel(x, y, colour);

        y = RandomBelow(workBitmap.GetHeight());
        x = RandomBelow(workBitmap.GetWidth());
        const TColor read = workBitmap.Canvas().ReadPixel(x, y);
        y = RandomBelow(workBitmap.GetHeight());
        x = RandomBelow(workBitmap.GetWidth());
        workBitmap.Canvas().WritePixel(x, y, read);

        IntegerMix m;
        for (std::int32_t k = 1; k <= 12; ++k) {
            m = Mix(Opaque(j), Opaque(r), Opaque(k));
            Keep(m.A);
            Keep(m.B);
            Keep(m.C);
        }
        Keep(FloatMix(FloatMixArgument(m.C)));
    }
}

}  // namespace qmk
