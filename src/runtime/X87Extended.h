// The 80-bit extended value as the x87 unit's own `long double`: a thin
// shell, so every operation is one instruction of the unit running at
// 64-bit precision with rounding to nearest (set at start-up).
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 80-bit extended format");

namespace qmk {

class X87Extended {
public:
    constexpr X87Extended() = default;
    // Constants are written as hex-float literals with all 64 significand
    // bits, so no decimal-to-binary conversion of the compiler is involved.
    constexpr explicit X87Extended(long double value) : value_(value) {}

    static constexpr X87Extended FromInt(std::int64_t value) {
        return X87Extended(static_cast<long double>(value));
    }
    static constexpr X87Extended FromDouble(double value) {
        return X87Extended(static_cast<long double>(value));
    }
    // Builds a value from its fields (sign, biased exponent, significand);
    // any bit pattern is accepted, including the ones arithmetic never makes.
    static X87Extended FromBits(bool negative, std::uint16_t exponentField, std::uint64_t significand) {
        unsigned char bytes[sizeof(long double)] = {};
        std::uint16_t top = static_cast<std::uint16_t>((exponentField & 0x7FFFu) |
                                                       (negative ? 0x8000u : 0u));
        std::memcpy(bytes, &significand, 8);
        std::memcpy(bytes + 8, &top, 2);
        long double value;
        std::memcpy(&value, bytes, sizeof value);
        return X87Extended(value);
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
    X87Extended RoundToInteger() const { return X87Extended(rintl(value_)); }
    // Nearest integer, ties to even, as a signed 64-bit integer; values
    // outside that range (and NaN) give the integer indefinite 0x8000...0.
    std::int64_t RoundToInt64() const { return llrintl(value_); }

    X87Extended Abs() const { return X87Extended(fabsl(value_)); }

    friend constexpr X87Extended operator+(X87Extended a, X87Extended b) {
        return X87Extended(a.value_ + b.value_);
    }
    friend constexpr X87Extended operator-(X87Extended a, X87Extended b) {
        return X87Extended(a.value_ - b.value_);
    }
    friend constexpr X87Extended operator*(X87Extended a, X87Extended b) {
        return X87Extended(a.value_ * b.value_);
    }
    friend constexpr X87Extended operator/(X87Extended a, X87Extended b) {
        return X87Extended(a.value_ / b.value_);
    }
    friend constexpr bool operator==(X87Extended a, X87Extended b) { return a.value_ == b.value_; }
    friend constexpr bool operator<(X87Extended a, X87Extended b) { return a.value_ < b.value_; }
    friend constexpr bool operator>=(X87Extended a, X87Extended b) { return a.value_ >= b.value_; }

private:
    std::uint16_t TopBits() const {
        std::uint16_t top;
        std::memcpy(&top, reinterpret_cast<const unsigned char*>(&value_) + 8, 2);
        return top;
    }

    long double value_ = 0.0L;
};

}  // namespace qmk
