// Number text of the result lines: a score as decimal digits and a
// percentage, an extended value, in fixed-point form. Digits first (the
// decimal form), layout second.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/Extended.h"

namespace qmk {

// value = 0.DigitText × 10^PointPos. PointPos 32767 marks infinity,
// -32768 NaN; DigitText holds at most 18 digits, no trailing '0', and is
// empty for zero and for values whose digits are all rounded away.
struct DecimalForm {
    std::int16_t PointPos = 0;
    std::uint8_t IsNegative = 0;
    char DigitText[21] = {};
};

inline constexpr std::int16_t PointPosInfinity = 32767;
inline constexpr std::int16_t PointPosNaN = -32768;

std::string IntegerText(std::int32_t value);

// Fixed layout with `digits` decimals (at most 18) and at most `precision`
// significant digits (clamped to 2..18); a value with more integer digits
// than that comes out in scientific form (1.2345679E8). Uses
// DecimalSeparatorChar.
std::string FixedText(Extended value, std::int32_t precision, std::int32_t digits);

// Rounds to 18 significant digits (binary, ties to even), then to
// min(digits before the point + decimals, precision) digits, half away from
// zero.
DecimalForm ToDecimalForm(Extended value, std::int32_t precision, std::int32_t decimals);

// x × 10^n (x ÷ 10^-n) with at most three table factors, each step rounded
// to extended. |n| is meant to stay below 5120; larger magnitudes are
// treated as 5119.
Extended ScaleByPowerOfTen(Extended x, std::int32_t n);

// The extended value nearest to 1 / reference (table constants for the two
// reference scores of the result lines).
Extended ReciprocalOf(std::int32_t reference);

// score × (1 / reference) × 100 with each step rounded to extended: the
// percentage of a result line.
Extended ScorePercentage(std::int32_t score, std::int32_t reference);

// The same steps in a given arithmetic (Extended, and on x86 each of its
// two implementations, which the tests hold against each other).
template <class X>
X ScaleByPowerOfTenIn(X x, std::int32_t n);
template <class X>
DecimalForm ToDecimalFormIn(X value, std::int32_t precision, std::int32_t decimals);
template <class X>
X ReciprocalOfIn(std::int32_t reference);
template <class X>
X ScorePercentageIn(std::int32_t score, std::int32_t reference);

}  // namespace qmk
