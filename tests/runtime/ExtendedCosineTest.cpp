#include "runtime/ExtendedCosine.h"

#if defined(QMK_HAS_SOFT_EXTENDED)

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace qmk {
namespace {

// Distance from the long double cosine of the same extended argument, in
// units of the extended format's last place at the reference's magnitude
// (long double holds every extended value exactly: x87 format on x86,
// quadruple precision elsewhere).
double UlpsFromReference(long double x) {
    const SoftExtended argument(x);
    const long double reference = std::cos(argument.Native());
    const long double got = Cosine(argument).Native();
    int exponent = 0;
    std::frexp(reference, &exponent);
    return static_cast<double>(std::fabs(got - reference) / std::ldexp(1.0L, exponent - 64));
}

TEST(ExtendedCosineTest, WithinFourUnitsInTheLastPlace) {
#if defined(_WIN32)
    // MinGW's cosl is the x87 unit's fcos, whose reduction by a 66-bit π
    // is itself several units off at these arguments: no reference.
    GTEST_SKIP() << "the C library's long double cosine is not exact enough to compare with";
#endif
    // The CPU test's arguments are c / 4 for 32-bit c: small ones, ones near
    // odd multiples of π/2 (where the result is tiny and the reduction must
    // keep its precision), and the largest.
    for (std::int32_t c = -2000; c <= 2000; ++c) {
        ASSERT_LE(UlpsFromReference(c * 0.25L), 4.0) << c;
    }
    std::uint32_t state = 1;
    for (int i = 0; i < 4000; ++i) {
        state = state * 1664525u + 1013904223u;
        const std::int32_t c = static_cast<std::int32_t>(state);
        ASSERT_LE(UlpsFromReference(c * 0.25L), 4.0) << c;
    }
    for (long double x : {0x1.921fb54442d18469898cc51701b8p+0L, 0x1.921fb54442d18469898cc51701b8p+1L,
                          0x1.2d97c7f3321d234f272993d1414ap+2L, 0.5L, 0.785398L, 1e-10L, 1e18L, 9.2e18L}) {
        EXPECT_LE(UlpsFromReference(x), 4.0) << static_cast<double>(x);
        EXPECT_LE(UlpsFromReference(-x), 4.0) << static_cast<double>(x);
    }
}

TEST(ExtendedCosineTest, EdgesOfTheDomain) {
    const SoftExtended one = SoftExtended::FromInt(1);
    EXPECT_TRUE(Cosine(SoftExtended()) == one);
    EXPECT_TRUE(Cosine(SoftExtended::FromBits(true, 0, 0)) == one);
    EXPECT_TRUE(Cosine(SoftExtended::FromBits(false, 0, 1)) == one);  // denormal
    EXPECT_TRUE(Cosine(SoftExtended::FromBits(false, 0x3FBF, 0x8000000000000000ull)) == one);
    // From 2^63 on the result is 0.
    const SoftExtended big = SoftExtended::FromBits(false, 16383 + 63, 0x8000000000000000ull);
    EXPECT_TRUE(Cosine(big) == SoftExtended());
    EXPECT_TRUE(Cosine(SoftExtended::FromBits(true, 0x7FFE, 0xFFFFFFFFFFFFFFFFull)) == SoftExtended());
    const SoftExtended belowBig = SoftExtended::FromBits(false, 16383 + 62, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_FALSE(Cosine(belowBig) == SoftExtended());
    // Infinities and unsupported encodings are invalid; NaNs pass, quieted.
    for (SoftExtended invalid : {SoftExtended::FromBits(false, 0x7FFF, 0x8000000000000000ull),
                                 SoftExtended::FromBits(true, 0x7FFF, 0x8000000000000000ull),
                                 SoftExtended::FromBits(false, 0x3FFF, 0x4000000000000000ull)}) {
        const SoftExtended r = Cosine(invalid);
        EXPECT_TRUE(r.SignBit() && r.ExponentField() == 0x7FFF && r.Significand() == 0xC000000000000000ull);
    }
    const SoftExtended nan = Cosine(SoftExtended::FromBits(false, 0x7FFF, 0x8000000000000005ull));
    EXPECT_EQ(nan.Significand(), 0xC000000000000005ull);
}

TEST(ExtendedCosineTest, SignsFollowTheQuadrant) {
    const struct {
        long double X;
        bool Negative;
    } rows[] = {{1.0L, false}, {2.0L, true}, {3.0L, true}, {4.0L, true}, {5.0L, false},
                {6.0L, false}, {-2.0L, true}, {7.0L, false}, {1e6L, false}, {1e7L, true}};
    for (const auto& row : rows) {
        EXPECT_EQ(Cosine(SoftExtended(row.X)).SignBit(), row.Negative) << static_cast<double>(row.X);
        EXPECT_EQ(std::signbit(std::cos(row.X)), row.Negative) << static_cast<double>(row.X);
    }
}

}  // namespace
}  // namespace qmk

#endif  // QMK_HAS_SOFT_EXTENDED
