// The software extended arithmetic against the x87 unit, operation by
// operation and through the clock and the number text: every result must
// have the same bits.
#include "runtime/Extended.h"

#if defined(QMK_HAS_X87)

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/Clock.h"
#include "runtime/NumberText.h"

namespace qmk {
namespace {

struct Pattern {
    bool Negative;
    std::uint16_t Field;
    std::uint64_t Significand;
};

std::string Hex(const Pattern& p) {
    char text[40];
    std::snprintf(text, sizeof text, "%c%04X:%016llX", p.Negative ? '-' : '+', static_cast<unsigned>(p.Field),
                  static_cast<unsigned long long>(p.Significand));
    return text;
}

void PrintTo(const Pattern& p, std::ostream* os) { *os << Hex(p); }

template <class X>
Pattern Of(X value) {
    return {value.SignBit(), value.ExponentField(), value.Significand()};
}

template <class X>
X Make(const Pattern& p) {
    return X::FromBits(p.Negative, p.Field, p.Significand);
}

bool operator==(const Pattern& a, const Pattern& b) {
    return a.Negative == b.Negative && a.Field == b.Field && a.Significand == b.Significand;
}

// Operands that sit on the edges: zeros, denormals, pseudo-denormals, the
// ends of the normal range, infinities, NaNs of both kinds and signs, the
// encodings the x87 rejects, ties, and the program's own constants.
std::vector<Pattern> Catalogue() {
    const Pattern base[] = {
        {false, 0, 0},
        {false, 0, 1},
        {false, 0, 0x7FFFFFFFFFFFFFFFull},
        {false, 0, 0x4000000000000000ull},
        {false, 0, 0x8000000000000000ull},  // pseudo-denormals
        {false, 0, 0xC000000000000001ull},
        {false, 1, 0x8000000000000000ull},
        {false, 1, 0xFFFFFFFFFFFFFFFFull},
        {false, 2, 0x8000000000000001ull},
        {false, 0x3FBE, 0x8000000000000000ull},
        {false, 0x3FBF, 0xC000000000000000ull},
        {false, 0x3FFE, 0x8000000000000000ull},
        {false, 0x3FFE, 0xFFFFFFFFFFFFFFFFull},
        {false, 0x3FFF, 0x8000000000000000ull},
        {false, 0x3FFF, 0x8000000000000001ull},
        {false, 0x3FFF, 0xC000000000000000ull},
        {false, 0x3FFF, 0xFFFFFFFFFFFFFFFFull},
        {false, 0x4000, 0xC000000000000000ull},
        {false, 0x4002, 0xA000000000000000ull},
        {false, 0x403D, 0xFFFFFFFFFFFFFFFFull},
        {false, 0x403E, 0x8000000000000000ull},
        {false, 0x403E, 0x8000000000000001ull},
        {false, 0x43FE, 0xFFFFFFFFFFFFFC00ull},
        {false, 0x3C00, 0xFFFFFFFFFFFFFFFFull},
        {false, 0x3BCC, 0x8000000000000000ull},
        {false, 0x7FFD, 0x8000000000000000ull},
        {false, 0x7FFE, 0xFFFFFFFFFFFFFFFFull},
        {false, 0x7FFF, 0x8000000000000000ull},  // infinity
        {false, 0x7FFF, 0xC000000000000000ull},  // quiet NaNs
        {false, 0x7FFF, 0xC000000000000001ull},
        {false, 0x7FFF, 0xFFFFFFFFFFFFFFFFull},
        {false, 0x7FFF, 0x8000000000000001ull},  // signalling NaNs
        {false, 0x7FFF, 0xBFFFFFFFFFFFFFFFull},
        {false, 0x7FFF, 0},                      // pseudo-infinity
        {false, 0x7FFF, 0x4000000000000000ull},  // pseudo-NaN
        {false, 0x3FFF, 0x4000000000000000ull},  // unnormals
        {false, 0x0001, 0},
        {false, 0x3FE4, 0xC6D750EBFA67B90Dull},  // 1/86,400,000
        {false, 0x4012, 0xA95A000000000000ull},  // 693594
        {false, 0x4019, 0xA4CB800000000000ull},  // 86,400,000
        {false, 0x3FF4, 0x839930523FBE3368ull},  // 1/1992
        {false, 0x3FF4, 0xDD37F3E6F0A95ED7ull},  // 1/2370
        {false, 0x4005, 0xC800000000000000ull},  // 100
        {false, 0x403A, 0xDE0B6B3A76400000ull},  // 10^18
        {false, 0x4D4B, 0x8AE3511626ED559Full},
    };
    std::vector<Pattern> all;
    for (const Pattern& p : base) {
        all.push_back(p);
        all.push_back({true, p.Field, p.Significand});
    }
    return all;
}

// A deterministic stream of bit patterns that favours the interesting
// places: exponents near each other, near the ends of the range and near
// 1; significands with few bits (ties) or without the integer bit.
class PatternStream {
public:
    explicit PatternStream(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }

    Pattern Near(std::uint16_t field) {
        std::uint64_t r = Next();
        Pattern p;
        p.Negative = (r & 1) != 0;
        const int spread = static_cast<int>((r >> 1) % 141) - 70;
        p.Field = static_cast<std::uint16_t>(std::clamp(field + spread, 0, 0x7FFF));
        p.Significand = Significand(r >> 16);
        return p;
    }

    Pattern Any() {
        std::uint64_t r = Next();
        switch (r % 8) {
        case 0: return Near(0);
        case 1: return Near(0x7FFF);
        case 2: {
            Pattern p = Near(0x3FFF);
            p.Field = static_cast<std::uint16_t>(Next() & 0x7FFF);
            return p;
        }
        default: return Near(0x3FFF);
        }
    }

private:
    std::uint64_t Significand(std::uint64_t r) {
        std::uint64_t s = Next();
        switch (r % 8) {
        case 0: return s;                                     // integer bit at random
        case 1: return (s | 0x8000000000000000ull) & ~0xFFFFull;  // short: exact ties
        case 2: return 0x8000000000000000ull | (s >> (r % 64));
        default: return s | 0x8000000000000000ull;
        }
    }

    std::uint64_t state_;
};

class ExtendedDifferentialTest : public ::testing::Test {
protected:
    void SetUp() override { SetExtendedPrecision(); }

    // Every operation on one pair of operands; returns false (and reports)
    // at the first difference.
    bool SameResults(const Pattern& pa, const Pattern& pb) {
        const SoftExtended sa = Make<SoftExtended>(pa);
        const SoftExtended sb = Make<SoftExtended>(pb);
        const X87Extended xa = Make<X87Extended>(pa);
        const X87Extended xb = Make<X87Extended>(pb);
        const struct {
            const char* Name;
            Pattern Soft, X87;
        } results[] = {
            {"*", Of(sa * sb), Of(xa * xb)},
            {"/", Of(sa / sb), Of(xa / xb)},
            {"+", Of(sa + sb), Of(xa + xb)},
            {"-", Of(sa - sb), Of(xa - xb)},
        };
        for (const auto& r : results) {
            if (!(r.Soft == r.X87)) {
                ADD_FAILURE() << Hex(pa) << " " << r.Name << " " << Hex(pb) << ": " << Hex(r.Soft) << " against "
                              << Hex(r.X87);
                return false;
            }
        }
        if ((sa == sb) != (xa == xb) || (sa < sb) != (xa < xb) || (sa >= sb) != (xa >= xb)) {
            ADD_FAILURE() << "comparison of " << Hex(pa) << " and " << Hex(pb);
            return false;
        }
        return SameUnary(pa);
    }

    bool SameUnary(const Pattern& p) {
        const SoftExtended s = Make<SoftExtended>(p);
        const X87Extended x = Make<X87Extended>(p);
        if (!(Of(s.RoundToInteger()) == Of(x.RoundToInteger())) || s.RoundToInt64() != x.RoundToInt64() ||
            std::bit_cast<std::uint64_t>(s.ToDouble()) != std::bit_cast<std::uint64_t>(x.ToDouble()) ||
            !(Of(s.Abs()) == Of(x.Abs()))) {
            ADD_FAILURE() << "rounding or conversion of " << Hex(p) << ": integer " << Hex(Of(s.RoundToInteger()))
                          << " against " << Hex(Of(x.RoundToInteger())) << ", int64 " << s.RoundToInt64()
                          << " against " << x.RoundToInt64() << ", double " << s.ToDouble() << " against "
                          << x.ToDouble();
            return false;
        }
        return true;
    }
};

TEST_F(ExtendedDifferentialTest, EveryPairOfEdgeOperands) {
    const std::vector<Pattern> all = Catalogue();
    for (const Pattern& a : all) {
        for (const Pattern& b : all) {
            if (!SameResults(a, b)) return;
        }
    }
}

TEST_F(ExtendedDifferentialTest, RandomPatterns) {
    PatternStream stream(0x9E3779B97F4A7C15ull);
    for (int i = 0; i < 1000000; ++i) {
        const Pattern a = stream.Any();
        // Half of the second operands lie near the first, where addition
        // aligns and cancels.
        const Pattern b = (i & 1) != 0 ? stream.Near(a.Field) : stream.Any();
        if (!SameResults(a, b)) return;
    }
}

TEST_F(ExtendedDifferentialTest, ConversionsFromDoubleAndInteger) {
    PatternStream stream(12345);
    std::vector<std::uint64_t> doubles = {0, 0x8000000000000000ull, 1, 0x000FFFFFFFFFFFFFull,
                                          0x0010000000000000ull, 0x7FEFFFFFFFFFFFFFull, 0x7FF0000000000000ull,
                                          0x7FF0000000000001ull, 0x7FF8000000000000ull, 0xFFF7FFFFFFFFFFFFull};
    std::vector<std::int64_t> integers = {0, 1, -1, 86399999, 693594, INT64_MAX, INT64_MIN, INT64_MIN + 1,
                                          (std::int64_t{1} << 53) + 1};
    for (int i = 0; i < 200000; ++i) {
        doubles.push_back(stream.Next());
        integers.push_back(static_cast<std::int64_t>(stream.Next() >> (stream.Next() % 64)));
    }
    for (std::uint64_t bits : doubles) {
        const double d = std::bit_cast<double>(bits);
        ASSERT_EQ(Of(SoftExtended::FromDouble(d)), Of(X87Extended::FromDouble(d))) << std::hex << bits;
    }
    for (std::int64_t value : integers) {
        ASSERT_EQ(Of(SoftExtended::FromInt(value)), Of(X87Extended::FromInt(value))) << value;
        const std::int64_t negated = static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(value));
        ASSERT_EQ(Of(SoftExtended::FromInt(negated)), Of(X87Extended::FromInt(negated))) << negated;
    }
}

TEST_F(ExtendedDifferentialTest, ConstantsFromLongDouble) {
    const long double values[] = {0x8000000000000000p-63L, 0xc6d750ebfa67b90dp-90L, 0xae3511626ed559f0p15244L,
                                  0x839930523fbe3368p-74L, 0x1p-16445L,             0x1.8p-16400L,
                                  -0xfffffffffffffffep-60L};
    for (long double value : values) {
        EXPECT_EQ(Of(SoftExtended(value)), Of(X87Extended(value)));
        EXPECT_EQ(SoftExtended(value).Native(), value);
    }
}

// The clock's two extended steps for every millisecond of a day: the same
// time values, and the same millisecond counts decoded from them (so the
// same time text).
TEST_F(ExtendedDifferentialTest, EveryMillisecondOfTheDay) {
    for (std::int32_t ms = 0; ms < 86400000; ++ms) {
        const TimeValue soft = TimeFromMillisecondsIn<SoftExtended>(ms);
        const TimeValue x87 = TimeFromMillisecondsIn<X87Extended>(ms);
        if (std::bit_cast<std::uint64_t>(soft) != std::bit_cast<std::uint64_t>(x87) ||
            MillisecondCountIn<SoftExtended>(soft) != MillisecondCountIn<X87Extended>(x87)) {
            FAIL() << "millisecond " << ms;
        }
    }
    for (double value : {-1.25, 1e300, -1e300, 2958465.99999999, -693594.0, 36526.75}) {
        EXPECT_EQ(MillisecondCountIn<SoftExtended>(value), MillisecondCountIn<X87Extended>(value)) << value;
    }
}

bool SameForm(const DecimalForm& a, const DecimalForm& b) {
    return a.PointPos == b.PointPos && a.IsNegative == b.IsNegative && std::strcmp(a.DigitText, b.DigitText) == 0;
}

// The percentages of the result lines and their decimal forms (from which
// the text is laid out) for every score of the sweep and the large ones.
TEST_F(ExtendedDifferentialTest, PercentagesAndTheirDigits) {
    std::vector<std::int32_t> scores;
    for (std::int32_t score = 0; score <= 300000; ++score) scores.push_back(score);
    for (std::int32_t score : {19919999, 19920000, 19920001, 199199999, 1991999990, 1991999991, 2147483647}) {
        scores.push_back(score);
    }
    for (std::int32_t reference : {1992, 2370, 7}) {
        for (std::int32_t score : scores) {
            const SoftExtended soft = ScorePercentageIn<SoftExtended>(score, reference);
            const X87Extended x87 = ScorePercentageIn<X87Extended>(score, reference);
            if (!(Of(soft) == Of(x87)) || !SameForm(ToDecimalFormIn(soft, 8, 2), ToDecimalFormIn(x87, 8, 2))) {
                FAIL() << "score " << score << " reference " << reference;
            }
        }
    }
}

TEST_F(ExtendedDifferentialTest, DecimalFormsOfEdgeValues) {
    PatternStream stream(777);
    std::vector<Pattern> values = Catalogue();
    for (int i = 0; i < 100000; ++i) values.push_back(stream.Any());
    for (const Pattern& p : values) {
        for (int precision : {2, 8, 18}) {
            for (int decimals : {0, 2, 18}) {
                const DecimalForm soft = ToDecimalFormIn(Make<SoftExtended>(p), precision, decimals);
                const DecimalForm x87 = ToDecimalFormIn(Make<X87Extended>(p), precision, decimals);
                ASSERT_TRUE(SameForm(soft, x87)) << Hex(p) << " " << precision << " " << decimals;
            }
        }
    }
    for (std::int32_t n : {-5119, -4951, -300, -19, -1, 0, 1, 18, 27, 28, 300, 4932, 5119}) {
        for (const Pattern& p : Catalogue()) {
            ASSERT_EQ(Of(ScaleByPowerOfTenIn(Make<SoftExtended>(p), n)), Of(ScaleByPowerOfTenIn(Make<X87Extended>(p), n)))
                << Hex(p) << " " << n;
        }
    }
}

}  // namespace
}  // namespace qmk

#endif
