#include "runtime/NumberText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "KernelFixture.h"

namespace qmk {
namespace {

namespace li = platform::locale_item;
using NumberTextTest = KernelFixture;

Extended Decimal(const char* text) { return Extended(std::strtold(text, nullptr)); }

std::string Fixed(Extended value, int precision = 8, int digits = 2) {
    return FixedText(value, precision, digits);
}

TEST_F(NumberTextTest, IntegerText) {
    const std::pair<std::int32_t, const char*> rows[] = {
        {0, "0"}, {-1, "-1"}, {7, "7"}, {1992, "1992"}, {-10, "-10"},
        {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"},
    };
    for (const auto& [value, text] : rows) EXPECT_EQ(IntegerText(value), text);
}

struct ResultRow {
    std::int32_t Score;
    std::int32_t Reference;
    const char* Text;
};

TEST_F(NumberTextTest, WorkedResultLines) {
    const ResultRow rows[] = {
        {0, 1992, "0.00"},           {1, 1992, "0.05"},
        {996, 1992, "50.00"},        {1000, 1992, "50.20"},
        {1992, 1992, "100.00"},      {2000, 1992, "100.40"},
        {12345, 1992, "619.73"},     {250000, 1992, "12550.20"},
        {19919999, 1992, "999999.95"}, {19920001, 1992, "1000000.10"},
        {199199999, 1992, "9999999.90"}, {1991999990, 1992, "99999999.00"},
        {1991999991, 1992, "1E8"},   {2147483647, 1992, "1.078054E8"},
        {1, 2370, "0.04"},           {1185, 2370, "50.00"},
        {2370, 2370, "100.00"},      {100000, 2370, "4219.41"},
        {2147483647, 2370, "90611124.00"}, {4740, 2370, "200.00"},
        {19920, 1992, "1000.00"},
    };
    for (const ResultRow& row : rows) {
        EXPECT_EQ(Fixed(ScorePercentage(row.Score, row.Reference)), row.Text)
            << row.Score << " / " << row.Reference;
    }
    EXPECT_TRUE(ScorePercentage(996, 1992) == Extended::FromInt(50));
    EXPECT_TRUE(ScorePercentage(2370, 2370) == Extended::FromInt(100));
}

// score × 100 / reference rounded half up to hundredths, in integers.
std::string ExactPercentage(std::int64_t score, std::int64_t reference) {
    std::int64_t hundredths = (score * 20000 + reference) / (2 * reference);
    std::string text = std::to_string(hundredths / 100) + ".";
    std::int64_t cents = hundredths % 100;
    text += static_cast<char>('0' + cents / 10);
    text += static_cast<char>('0' + cents % 10);
    return text;
}

TEST_F(NumberTextTest, SweepAgreesWithExactRounding) {
    for (std::int32_t reference : {1992, 2370}) {
        for (std::int32_t score = 0; score <= 300000; ++score) {
            std::string text = Fixed(ScorePercentage(score, reference));
            if (text != ExactPercentage(score, reference)) {
                FAIL() << "score " << score << " reference " << reference << ": " << text
                       << " against " << ExactPercentage(score, reference);
            }
        }
    }
}

TEST_F(NumberTextTest, ReciprocalsAreNearestToTheExactValue) {
    for (std::int32_t reference : {1992, 2370}) {
        Extended r = ReciprocalOf(reference);
        EXPECT_TRUE(r == Extended::FromInt(1) / Extended::FromInt(reference)) << reference;
        // r = m × 2^-k with k = 63 + (16383 - exponent field); nearest means
        // |reference × m − 2^k| ≤ reference / 2.
        int k = 63 + (16383 - r.ExponentField());
        unsigned __int128 product = static_cast<unsigned __int128>(r.Significand()) * reference;
        unsigned __int128 power = static_cast<unsigned __int128>(1) << k;
        unsigned __int128 error = product > power ? product - power : power - product;
        EXPECT_LE(error, static_cast<unsigned __int128>(reference / 2)) << reference;
    }
}

TEST_F(NumberTextTest, PowerTablesHoldTheNearestValues) {
    // The small table and the first middle entry, against the exact integer
    // power (the compiler converts it with one correct rounding).
    unsigned __int128 power = 1;
    for (int k = 0; k <= 32; ++k) {
        EXPECT_TRUE(ScaleByPowerOfTen(Extended::FromInt(1), k) ==
                    Extended(static_cast<long double>(power)))
            << k;
        power *= 10;
    }
    // The C library's conversion is correctly rounded as well.
    for (int k : {32, 64, 96, 288, 480, 512, 1024, 2048, 4096, 4608}) {
        std::string text = "1e" + std::to_string(k);
        EXPECT_TRUE(ScaleByPowerOfTen(Extended::FromInt(1), k) == Decimal(text.c_str())) << k;
    }
    EXPECT_TRUE(ScaleByPowerOfTen(Extended::FromInt(1), -20) ==
                Extended::FromInt(1) / Decimal("1e20"));
    EXPECT_TRUE(ScaleByPowerOfTen(Decimal("2.5"), 0) == Decimal("2.5"));
}

struct FixedRow {
    const char* Value;
    const char* Text;
    int Precision = 8;
    int Digits = 2;
};

TEST_F(NumberTextTest, FixedTextEdgeCases) {
    ReadSettings({});
    const FixedRow rows[] = {
        {"0", "0.00"},
        {"-0", "0.00"},
        {"12.3", "12.30"},
        {"0.05", "0.05"},
        {"-12.34", "-12.34"},
        {"-0.005", "-0.01"},
        {"-0.004", "-0.00"},
        {"-0.0009", "0.00"},
        {"0.145", "0.15"},
        {"1.005", "1.01"},
        {"2.675", "2.68"},
        {"999999.994", "999999.99"},
        {"999999.995", "1000000.00"},
        {"1000000.0502", "1000000.10"},
        {"12345678.9", "12345679.00"},
        {"99999999.4", "99999999.00"},
        {"99999999.5", "1E8"},
        {"123456789", "1.2345679E8"},
        {"-1e9", "-1E9"},
        {"1e300", "1E300"},
        {"1e4000", "1E4000"},
        {"123.456", "1.2E2", 1},
        {"123.456", "1.2E2", 2},
        {"123.456", "123.456000", 30, 6},
        {"2.5", "3", 8, 0},
        {"3.5", "4", 8, 0},
        {"0.5", "1", 8, 0},
        {"0.4", "0", 8, 0},
        {"0.001", "0.0010000000", 8, 10},
        {"0.000123", "0.000123000000000000", 8, 40},
        {"1e-300", "0.00"},
        {"1.5e-4940", "0.00"},
        {"9.99", "9.99", 8, 2},
        {"9.995", "10.00", 8, 2},
    };
    for (const FixedRow& row : rows) {
        EXPECT_EQ(Fixed(Decimal(row.Value), row.Precision, row.Digits), row.Text)
            << row.Value << " " << row.Precision << " " << row.Digits;
    }
}

TEST_F(NumberTextTest, SpecialValues) {
    // Written as fields: long double is not the extended format everywhere.
    EXPECT_EQ(Fixed(Extended::FromBits(false, 0x7FFF, 0x8000000000000000ull)), "INF");
    EXPECT_EQ(Fixed(Extended::FromBits(true, 0x7FFF, 0x8000000000000000ull)), "INF");
    EXPECT_EQ(Fixed(Extended::FromBits(false, 0x7FFF, 0xC000000000000000ull)), "NAN");
    EXPECT_EQ(Fixed(Extended::FromBits(false, 0, 1)), "0.00");                           // smallest denormal
    EXPECT_EQ(Fixed(Extended::FromBits(false, 0x7FFE, ~0ull)), "1.1897315E4932");       // largest
    EXPECT_EQ(Fixed(Extended::FromBits(false, 1, 0x8000000000000000ull)), "0.00");      // smallest normal
    // Encodings arithmetic never makes: an unnormal (integer bit clear) and
    // a pseudo-infinity.
    EXPECT_EQ(Fixed(Extended::FromBits(false, 16383, 0x4000000000000000ull)), "NAN");
    EXPECT_EQ(Fixed(Extended::FromBits(false, 0x7FFF, 0)), "NAN");
    EXPECT_EQ(Fixed(Extended::FromBits(true, 0x7FFF, 0x8000000000000001ull)), "INF");
    EXPECT_EQ(Fixed(Extended::FromBits(true, 0, 0x8000000000000000ull)), "0.00");
}

TEST_F(NumberTextTest, DecimalSeparatorFollowsTheLocale) {
    ReadSettings({{li::DecimalSeparator, ","}});
    EXPECT_EQ(Fixed(ScorePercentage(12345, 1992)), "619,73");
    EXPECT_EQ(Fixed(Decimal("123456789")), "1,2345679E8");
    ReadSettings({{li::DecimalSeparator, ",,"}});
    EXPECT_EQ(Fixed(ScorePercentage(12345, 1992)), "619.73");
}

TEST_F(NumberTextTest, DecimalForm) {
    struct Row {
        const char* Value;
        int Precision, Decimals;
        int PointPos, Negative;
        const char* Digits;
    };
    const Row rows[] = {
        {"-0.004", 8, 2, -2, 1, ""},
        {"-0.0009", 8, 2, 0, 0, ""},
        {"0.145", 18, 18, 0, 0, "145"},
        {"1", 18, 18, 1, 0, "1"},
        {"999.96", 4, 1, 4, 0, "1"},
        {"0.999", 8, 2, 1, 0, "1"},
        {"123456789012345678901", 18, 0, 21, 0, "123456789012345679"},
        {"1e-5000", 8, 2, 0, 0, ""},
    };
    for (const Row& row : rows) {
        DecimalForm form = ToDecimalForm(Decimal(row.Value), row.Precision, row.Decimals);
        EXPECT_EQ(form.PointPos, row.PointPos) << row.Value;
        EXPECT_EQ(form.IsNegative, row.Negative) << row.Value;
        EXPECT_STREQ(form.DigitText, row.Digits) << row.Value;
    }
    // Arguments outside what FixedText passes stay inside the digit buffer.
    DecimalForm wide = ToDecimalForm(Decimal("123.456"), 1000, 2147483647);
    EXPECT_STREQ(wide.DigitText, "123456");
    DecimalForm narrow = ToDecimalForm(Decimal("123.456"), -5, -2147483647 - 1);
    EXPECT_STREQ(narrow.DigitText, "");
    DecimalForm none = ToDecimalForm(Decimal("723.456"), -5, 0);
    EXPECT_STREQ(none.DigitText, "1");
    EXPECT_EQ(none.PointPos, 4);

    DecimalForm inf = ToDecimalForm(Extended(-std::numeric_limits<long double>::infinity()), 8, 2);
    EXPECT_EQ(inf.PointPos, PointPosInfinity);
    EXPECT_EQ(inf.IsNegative, 1);
    DecimalForm nan = ToDecimalForm(Extended(-std::numeric_limits<long double>::quiet_NaN()), 8, 2);
    EXPECT_EQ(nan.PointPos, PointPosNaN);
    EXPECT_EQ(nan.IsNegative, 0);
}

#if defined(QMK_HAS_X87)
TEST_F(NumberTextTest, ExtendedPrecisionIsSet) {
    SetExtendedPrecision();
    std::uint16_t word = FpuControlWord();
    EXPECT_EQ(word & 0x0F00, 0x0300);  // 64-bit precision, rounding to nearest
    EXPECT_EQ(word & 0x003F, 0x003F);  // exceptions stay masked
}
#endif

}  // namespace
}  // namespace qmk
