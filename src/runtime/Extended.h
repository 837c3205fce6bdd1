// The 80-bit extended value (64-bit significand with explicit integer bit,
// 15-bit exponent, sign) in which the clock and the percentages compute.
// Every operation rounds once to a 64-bit significand, ties to even. On
// x86 the x87 `long double` is exactly that format, so this type is a thin
// shell around it; a processor without it gets a software implementation
// behind the same interface.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#if !(defined(__x86_64__) || defined(__i386__))
#error "Extended needs a software implementation on this processor"
#endif

static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 80-bit extended format");

namespace qmk {

class Extended {
public:
    constexpr Extended() = default;
    // Constants are written as hex-float literals with all 64 significand
    // bits, so no decimal-to-binary conversion of the compiler is involved.
    constexpr explicit Extended(long double value) : value_(value) {}

    static constexpr Extended FromInt(std::int64_t value) {
        return Extended(static_cast<long double>(value));
    }
    static constexpr Extended FromDouble(double value) {
        return Extended(static_cast<long double>(value));
    }
    // Builds a value from its fields (sign, biased exponent, significand);
    // any bit pattern is accepted, including the ones arithmetic never makes.
    static Extended FromBits(bool negative, std::uint16_t exponentField,
                             std::uint64_t significand) {
        unsigned char bytes[sizeof(long double)] = {};
        std::uint16_t top = static_cast<std::uint16_t>((exponentField & 0x7FFFu) |
                                                       (negative ? 0x8000u : 0u));
        std::memcpy(bytes, &significand, 8);
        std::memcpy(bytes + 8, &top, 2);
        long double value;
        std::memcpy(&value, bytes, sizeof value);
        return Extended(value);
    }

    bool SignBit() const { return (TopBits() & 0x8000u) != 0; }
    std::uint16_t ExponentField() const { return TopBits() & 0x7FFFu; }
    std::uint64_t Significand() const {
        std::uint64_t significand;
        std::memcpy(&significand, &value_, 8);
        return significand;
    }

    constexpr long double Native() const { return value_; }
    // Rounds to the nearest double, ties to even.
    double ToDouble() const { return static_cast<double>(value_); }

    // Nearest integer, ties to even (the rounding mode set at start-up).
    Extended RoundToInteger() const { return Extended(rintl(value_)); }
    // Nearest integer, ties to even, as a signed 64-bit integer; values
    // outside that range (and NaN) give the integer indefinite 0x8000...0.
    std::int64_t RoundToInt64() const { return llrintl(value_); }

    Extended Abs() const { return Extended(fabsl(value_)); }

    friend constexpr Extended operator+(Extended a, Extended b) { return Extended(a.value_ + b.value_); }
    friend constexpr Extended operator-(Extended a, Extended b) { return Extended(a.value_ - b.value_); }
    friend constexpr Extended operator*(Extended a, Extended b) { return Extended(a.value_ * b.value_); }
    friend constexpr Extended operator/(Extended a, Extended b) { return Extended(a.value_ / b.value_); }
    friend constexpr bool operator==(Extended a, Extended b) { return a.value_ == b.value_; }
    friend constexpr bool operator<(Extended a, Extended b) { return a.value_ < b.value_; }
    friend constexpr bool operator>=(Extended a, Extended b) { return a.value_ >= b.value_; }

private:
    std::uint16_t TopBits() const {
        std::uint16_t top;
        std::memcpy(&top, reinterpret_cast<const unsigned char*>(&value_) + 8, 2);
        return top;
    }

    long double value_ = 0.0L;
};

// Start-up: sets the x87 unit to 64-bit precision and rounding to nearest.
// The exception masks are left as they are (all masked): unmasking invalid,
// division by zero and overflow as the original control word did would
// trap inside system libraries that rely on masked exceptions (libm,
// font rendering), so faults show up as NaN and infinity instead, which
// the number text prints as NAN and INF.
void SetExtendedPrecision();

// The current x87 control word (for tests and diagnostics).
std::uint16_t FpuControlWord();

}  // namespace qmk
