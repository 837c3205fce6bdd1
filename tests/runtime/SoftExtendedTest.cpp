#include "runtime/SoftExtended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace qmk {
namespace {

// Expected results were recorded on the x87 unit (64-bit precision,
// rounding to nearest, exceptions masked); on x86 the differential tests
// also hold the two implementations against each other live.

struct Bits {
    std::uint16_t Top;  // sign and exponent field
    std::uint64_t Significand;
};

SoftExtended Make(Bits bits) {
    return SoftExtended::FromBits((bits.Top & 0x8000u) != 0, bits.Top & 0x7FFFu, bits.Significand);
}

Bits Of(SoftExtended value) {
    return {static_cast<std::uint16_t>(value.ExponentField() | (value.SignBit() ? 0x8000u : 0u)), value.Significand()};
}

std::string Hex(Bits bits) {
    char text[32];
    std::snprintf(text, sizeof text, "%04X:%016llX", static_cast<unsigned>(bits.Top),
                  static_cast<unsigned long long>(bits.Significand));
    return text;
}

::testing::AssertionResult SameBits(Bits expected, SoftExtended actual) {
    Bits got = Of(actual);
    if (got.Top == expected.Top && got.Significand == expected.Significand) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << Hex(got) << ", expected " << Hex(expected);
}

struct BinaryRow {
    const char* Name;
    char Op;
    Bits A, B, Result;
};

TEST(SoftExtendedTest, ArithmeticRoundsOnceLikeTheX87) {
    const BinaryRow rows[] = {
        {"ties to even, down", '*', {0x3FFF, 0x8000000000000001ull}, {0x3FFF, 0xC000000000000000ull}, {0x3FFF, 0xC000000000000002ull}},
        {"ties to even, up", '*', {0x3FFF, 0x8000000000000003ull}, {0x3FFF, 0xC000000000000000ull}, {0x3FFF, 0xC000000000000004ull}},
        {"above a tie", '*', {0x3FFF, 0x8000000000000001ull}, {0x3FFF, 0xFFFFFFFFFFFFFFFFull}, {0x4000, 0x8000000000000000ull}},
        {"rounds up into the next binade", '*', {0x3FFF, 0xFFFFFFFFFFFFFFFFull}, {0x3FFF, 0xFFFFFFFFFFFFFFFFull}, {0x4000, 0xFFFFFFFFFFFFFFFEull}},
        {"overflow", '*', {0x7FFE, 0xFFFFFFFFFFFFFFFFull}, {0x4000, 0xC000000000000000ull}, {0x7FFF, 0x8000000000000000ull}},
        {"underflow to a rounded denormal", '*', {0x0001, 0xC000000000000001ull}, {0x3FBF, 0xC000000000000001ull}, {0x0000, 0x0000000000000001ull}},
        {"underflow to zero keeps the sign", '*', {0x0000, 0x0000000000000001ull}, {0xBFFD, 0x8000000000000000ull}, {0x8000, 0x0000000000000000ull}},
        {"denormal rounds up to the smallest normal", '*', {0x0000, 0x7FFFFFFFFFFFFFFFull}, {0x3FFF, 0x8000000000000002ull}, {0x0001, 0x8000000000000001ull}},
        {"denormal times normal", '*', {0x0000, 0x0000000000000001ull}, {0x403E, 0x8000000000000000ull}, {0x0001, 0x8000000000000000ull}},
        {"pseudo-denormal operand", '*', {0x0000, 0x8000000000000001ull}, {0x3FFF, 0x8000000000000000ull}, {0x0001, 0x8000000000000001ull}},
        {"zero times infinity", '*', {0x0000, 0x0000000000000000ull}, {0x7FFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"infinity times negative", '*', {0x7FFF, 0x8000000000000000ull}, {0xC000, 0xC000000000000000ull}, {0xFFFF, 0x8000000000000000ull}},
        {"negative zero", '*', {0x8000, 0x0000000000000000ull}, {0x4000, 0xC000000000000000ull}, {0x8000, 0x0000000000000000ull}},
        {"unnormal operand", '*', {0x3FFF, 0x4000000000000000ull}, {0x3FFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"unnormal before a NaN", '*', {0x7FFF, 0xC000000000000001ull}, {0x3FFF, 0x4000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"pseudo-infinity", '*', {0x7FFF, 0x0000000000000000ull}, {0x3FFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"pseudo-NaN", '*', {0x7FFF, 0x4000000000000000ull}, {0x7FFF, 0xC000000000000001ull}, {0xFFFF, 0xC000000000000000ull}},
        {"quiet NaN before signalling", '*', {0x7FFF, 0x8000000000000005ull}, {0xFFFF, 0xC000000000000001ull}, {0xFFFF, 0xC000000000000001ull}},
        {"larger significand", '*', {0x7FFF, 0xC000000000000001ull}, {0xFFFF, 0xC000000000000002ull}, {0xFFFF, 0xC000000000000002ull}},
        {"equal significands: the positive one", '*', {0xFFFF, 0xC000000000000001ull}, {0x7FFF, 0xC000000000000001ull}, {0x7FFF, 0xC000000000000001ull}},
        {"signalling NaN is quieted", '*', {0x7FFF, 0x8000000000000005ull}, {0x3FFF, 0x8000000000000000ull}, {0x7FFF, 0xC000000000000005ull}},
        {"clock constant", '*', {0x4018, 0xA4CB800000000000ull}, {0x3FE4, 0xC6D750EBFA67B90Dull}, {0x3FFE, 0x8000000000000000ull}},
        {"percentage", '*', {0x400B, 0xF9C0000000000000ull}, {0x3FF4, 0x839930523FBE3368ull}, {0x4001, 0x8062B2E43DAFCEA7ull}},
        {"percentage times 100", '*', {0x3FFE, 0xFFFFFFFFFFFFFFFFull}, {0x4005, 0xC800000000000000ull}, {0x4005, 0xC7FFFFFFFFFFFFFFull}},
        {"one third", '/', {0x3FFF, 0x8000000000000000ull}, {0x4000, 0xC000000000000000ull}, {0x3FFD, 0xAAAAAAAAAAAAAAABull}},
        {"exact", '/', {0x4002, 0xA000000000000000ull}, {0x4001, 0xA000000000000000ull}, {0x4000, 0x8000000000000000ull}},
        {"ties impossible, sticky decides", '/', {0x3FFF, 0xFFFFFFFFFFFFFFFFull}, {0x3FFF, 0x8000000000000001ull}, {0x3FFF, 0xFFFFFFFFFFFFFFFDull}},
        {"quotient rounds up", '/', {0x3FFF, 0xAAAAAAAAAAAAAAABull}, {0x4000, 0xC000000000000000ull}, {0x3FFD, 0xE38E38E38E38E38Full}},
        {"denormal quotient", '/', {0x0001, 0x8000000000000000ull}, {0x4000, 0xC000000000000000ull}, {0x0000, 0x2AAAAAAAAAAAAAABull}},
        {"denormal dividend", '/', {0x0000, 0x0000000000000001ull}, {0x3FFE, 0x8000000000000000ull}, {0x0000, 0x0000000000000002ull}},
        {"overflow", '/', {0x7FFE, 0xFFFFFFFFFFFFFFFFull}, {0x3FFE, 0x8000000000000000ull}, {0x7FFF, 0x8000000000000000ull}},
        {"by zero", '/', {0xC000, 0xC000000000000000ull}, {0x0000, 0x0000000000000000ull}, {0xFFFF, 0x8000000000000000ull}},
        {"zero by zero", '/', {0x0000, 0x0000000000000000ull}, {0x8000, 0x0000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"infinity by infinity", '/', {0x7FFF, 0x8000000000000000ull}, {0xFFFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"by infinity", '/', {0x4000, 0xC000000000000000ull}, {0xFFFF, 0x8000000000000000ull}, {0x8000, 0x0000000000000000ull}},
        {"NaN dividend", '/', {0x7FFF, 0xC000000000000001ull}, {0x0000, 0x0000000000000000ull}, {0x7FFF, 0xC000000000000001ull}},
        {"cancellation", '+', {0x3FFF, 0x8000000000000001ull}, {0xBFFF, 0x8000000000000000ull}, {0x3FC0, 0x8000000000000000ull}},
        {"equal magnitudes give +0", '+', {0x4000, 0xC000000000000000ull}, {0xC000, 0xC000000000000000ull}, {0x0000, 0x0000000000000000ull}},
        {"-0 + -0", '+', {0x8000, 0x0000000000000000ull}, {0x8000, 0x0000000000000000ull}, {0x8000, 0x0000000000000000ull}},
        {"+0 + -0", '+', {0x0000, 0x0000000000000000ull}, {0x8000, 0x0000000000000000ull}, {0x0000, 0x0000000000000000ull}},
        {"far smaller operand, tie broken by sticky", '+', {0x3FFF, 0x8000000000000000ull}, {0x3FBF, 0x8000000000000001ull}, {0x3FFF, 0x8000000000000001ull}},
        {"exact tie", '+', {0x3FFF, 0x8000000000000000ull}, {0x3FBF, 0x8000000000000000ull}, {0x3FFF, 0x8000000000000000ull}},
        {"tie to even up", '+', {0x3FFF, 0x8000000000000001ull}, {0x3FBF, 0x8000000000000000ull}, {0x3FFF, 0x8000000000000002ull}},
        {"subtracting a far operand", '+', {0x3FFF, 0x8000000000000000ull}, {0xBFBE, 0x8000000000000001ull}, {0x3FFE, 0xFFFFFFFFFFFFFFFFull}},
        {"carry out", '+', {0x3FFF, 0xFFFFFFFFFFFFFFFFull}, {0x3FC0, 0x8000000000000000ull}, {0x4000, 0x8000000000000000ull}},
        {"denormals add", '+', {0x0000, 0x7FFFFFFFFFFFFFFFull}, {0x0000, 0x0000000000000001ull}, {0x0001, 0x8000000000000000ull}},
        {"pseudo-denormal plus zero", '+', {0x0000, 0x8000000000000001ull}, {0x0000, 0x0000000000000000ull}, {0x0001, 0x8000000000000001ull}},
        {"denormal plus zero", '+', {0x0000, 0x0000000000000001ull}, {0x8000, 0x0000000000000000ull}, {0x0000, 0x0000000000000001ull}},
        {"overflow", '+', {0x7FFE, 0xFFFFFFFFFFFFFFFFull}, {0x7FFE, 0x8000000000000000ull}, {0x7FFF, 0x8000000000000000ull}},
        {"infinities of opposite sign", '+', {0x7FFF, 0x8000000000000000ull}, {0xFFFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"NaN and infinity", '+', {0xFFFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000001ull}, {0xFFFF, 0xC000000000000001ull}},
        {"unnormal plus zero", '+', {0x3FFF, 0x4000000000000000ull}, {0x0000, 0x0000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
        {"sub equal", '-', {0x4000, 0xC000000000000000ull}, {0x4000, 0xC000000000000000ull}, {0x0000, 0x0000000000000000ull}},
        {"sub -0 - +0", '-', {0x8000, 0x0000000000000000ull}, {0x0000, 0x0000000000000000ull}, {0x8000, 0x0000000000000000ull}},
        {"sub to denormal", '-', {0x0001, 0x8000000000000001ull}, {0x0001, 0x8000000000000000ull}, {0x0000, 0x0000000000000001ull}},
        {"sub NaN keeps its sign", '-', {0x3FFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000001ull}, {0xFFFF, 0xC000000000000001ull}},
        {"sub infinities", '-', {0x7FFF, 0x8000000000000000ull}, {0x7FFF, 0x8000000000000000ull}, {0xFFFF, 0xC000000000000000ull}},
    };
    for (const BinaryRow& row : rows) {
        SoftExtended a = Make(row.A);
        SoftExtended b = Make(row.B);
        SoftExtended result = row.Op == '*' ? a * b : row.Op == '/' ? a / b : row.Op == '+' ? a + b : a - b;
        EXPECT_TRUE(SameBits(row.Result, result)) << row.Op << " " << row.Name;
    }
}

struct RoundingRow {
    Bits Value, Integer;
    std::int64_t Int64;
};

constexpr std::int64_t Indefinite = std::numeric_limits<std::int64_t>::min();

TEST(SoftExtendedTest, RoundingToIntegersTiesToEven) {
    const RoundingRow rows[] = {
        {{0x3FFE, 0x8000000000000000ull}, {0x0000, 0x0000000000000000ull}, 0ll},
        {{0x3FFF, 0xC000000000000000ull}, {0x4000, 0x8000000000000000ull}, 2ll},
        {{0x4000, 0xA000000000000000ull}, {0x4000, 0x8000000000000000ull}, 2ll},
        {{0xBFFE, 0x8000000000000000ull}, {0x8000, 0x0000000000000000ull}, 0ll},
        {{0xBFFD, 0xFFFFFFFFFFFFFFFFull}, {0x8000, 0x0000000000000000ull}, 0ll},
        {{0x3FFE, 0x8000000000000001ull}, {0x3FFF, 0x8000000000000000ull}, 1ll},
        {{0x403D, 0xFFFFFFFFFFFFFFFFull}, {0x403E, 0x8000000000000000ull}, Indefinite},
        {{0x403E, 0x8000000000000000ull}, {0x403E, 0x8000000000000000ull}, Indefinite},
        {{0xC03E, 0x8000000000000000ull}, {0xC03E, 0x8000000000000000ull}, Indefinite},
        {{0x403D, 0x8000000000000001ull}, {0x403D, 0x8000000000000000ull}, 4611686018427387904ll},
        {{0x403C, 0xFFFFFFFFFFFFFFFFull}, {0x403D, 0x8000000000000000ull}, 4611686018427387904ll},
        {{0x4040, 0x8000000000000001ull}, {0x4040, 0x8000000000000001ull}, Indefinite},
        {{0x0000, 0x8000000000000001ull}, {0x0000, 0x0000000000000000ull}, 0ll},
        {{0x0000, 0x0000000000000001ull}, {0x0000, 0x0000000000000000ull}, 0ll},
        {{0x8000, 0x0000000000000000ull}, {0x8000, 0x0000000000000000ull}, 0ll},
        {{0xFFFF, 0x8000000000000000ull}, {0xFFFF, 0x8000000000000000ull}, Indefinite},
        {{0x7FFF, 0x8000000000000005ull}, {0x7FFF, 0xC000000000000005ull}, Indefinite},
        {{0x3FFF, 0x4000000000000000ull}, {0xFFFF, 0xC000000000000000ull}, Indefinite},
        {{0x3FFD, 0xFFFFFFFFFFFFFFFFull}, {0x0000, 0x0000000000000000ull}, 0ll},
        {{0x3FBD, 0x8000000000000000ull}, {0x0000, 0x0000000000000000ull}, 0ll},
    };
    for (const RoundingRow& row : rows) {
        SoftExtended value = Make(row.Value);
        EXPECT_TRUE(SameBits(row.Integer, value.RoundToInteger())) << Hex(row.Value);
        EXPECT_EQ(value.RoundToInt64(), row.Int64) << Hex(row.Value);
    }
}

TEST(SoftExtendedTest, ToDoubleRoundsToNearestWithDoubleDenormals) {
    const std::pair<Bits, std::uint64_t> rows[] = {
        {{0x3FFF, 0x8000000000000000ull}, 0x3FF0000000000000ull},
        {{0x3FFF, 0x8000000000000400ull}, 0x3FF0000000000000ull},
        {{0x3FFF, 0x8000000000000C00ull}, 0x3FF0000000000002ull},
        {{0x3FFF, 0x8000000000000401ull}, 0x3FF0000000000001ull},
        {{0x3FFF, 0xFFFFFFFFFFFFFC00ull}, 0x4000000000000000ull},
        {{0x43FE, 0xFFFFFFFFFFFFFBFFull}, 0x7FEFFFFFFFFFFFFFull},
        {{0x43FE, 0xFFFFFFFFFFFFFC00ull}, 0x7FF0000000000000ull},
        {{0x3C01, 0x8000000000000000ull}, 0x0010000000000000ull},
        {{0x3C00, 0xFFFFFFFFFFFFFFFFull}, 0x0010000000000000ull},
        {{0x3BCD, 0x8000000000000000ull}, 0x0000000000000001ull},
        {{0x3BCC, 0x8000000000000000ull}, 0x0000000000000000ull},
        {{0x3BCC, 0x8000000000000001ull}, 0x0000000000000001ull},
        {{0x3BF0, 0xC000000000000000ull}, 0x0000000C00000000ull},
        {{0x0000, 0x0000000000000001ull}, 0x0000000000000000ull},
        {{0x0000, 0x8000000000000001ull}, 0x0000000000000000ull},
        {{0x8000, 0x0000000000000000ull}, 0x8000000000000000ull},
        {{0xFFFF, 0x8000000000000000ull}, 0xFFF0000000000000ull},
        {{0x7FFF, 0x8000000000000005ull}, 0x7FF8000000000000ull},
        {{0xFFFF, 0xC000000000000002ull}, 0xFFF8000000000000ull},
        {{0x3FFF, 0x4000000000000000ull}, 0xFFF8000000000000ull},
        {{0x3FE4, 0xC6D750EBFA67B90Dull}, 0x3E48DAEA1D7F4CF7ull},
        {{0x3FFE, 0xC1D3C1C1B41C1B96ull}, 0x3FE83A7838368383ull},
    };
    for (const auto& [value, expected] : rows) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(Make(value).ToDouble()), expected)
            << Hex(value);
    }
}

TEST(SoftExtendedTest, ConversionsFromDoubleAndIntegerAreExact) {
    const std::pair<std::uint64_t, Bits> doubles[] = {
        {0x3FF0000000000000ull, {0x3FFF, 0x8000000000000000ull}},
        {0x8000000000000000ull, {0x8000, 0x0000000000000000ull}},
        {0x0000000000000001ull, {0x3BCD, 0x8000000000000000ull}},
        {0x800FFFFFFFFFFFFFull, {0xBC00, 0xFFFFFFFFFFFFF000ull}},
        {0x0010000000000000ull, {0x3C01, 0x8000000000000000ull}},
        {0x7FEFFFFFFFFFFFFFull, {0x43FE, 0xFFFFFFFFFFFFF800ull}},
        {0xFFF0000000000000ull, {0xFFFF, 0x8000000000000000ull}},
        {0x7FF0000000000001ull, {0x7FFF, 0xC000000000000800ull}},
        {0xFFF8000000000123ull, {0xFFFF, 0xC000000000091800ull}},
        {0x3FD83A2B9C2D9A08ull, {0x3FFD, 0xC1D15CE16CD04000ull}},
    };
    for (const auto& [bits, expected] : doubles) {
        EXPECT_TRUE(SameBits(expected, SoftExtended::FromDouble(std::bit_cast<double>(bits)))) << std::hex << bits;
    }
    const std::pair<std::int64_t, Bits> integers[] = {
        {0, {0x0000, 0}},
        {1, {0x3FFF, 0x8000000000000000ull}},
        {-3, {0xC000, 0xC000000000000000ull}},
        {86399999, {0x4019, 0xA4CB7FE000000000ull}},
        {std::numeric_limits<std::int64_t>::max(), {0x403D, 0xFFFFFFFFFFFFFFFEull}},
        {std::numeric_limits<std::int64_t>::min(), {0xC03E, 0x8000000000000000ull}},
    };
    for (const auto& [value, expected] : integers) {
        EXPECT_TRUE(SameBits(expected, SoftExtended::FromInt(value))) << value;
    }
}

}  // namespace
}  // namespace qmk
