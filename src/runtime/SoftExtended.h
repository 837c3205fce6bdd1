// The 80-bit extended value in 64- and 128-bit integer arithmetic, for
// processors without the x87 format. Same fields, same interface and the
// same results as the x87 unit running at 64-bit precision with rounding to
// nearest and every exception masked: each operation forms the exact result
// and rounds it once to a 64-bit significand, ties to even, with gradual
// underflow, overflow to infinity, and the x87's rules for NaN operands and
// for the encodings it does not support (unnormals, pseudo-infinities and
// pseudo-NaNs become the default NaN; pseudo-denormals are read as the
// denormal exponent).
#pragma once

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qmk {

namespace soft_extended {

__extension__ typedef unsigned __int128 Uint128;

inline constexpr std::uint64_t IntegerBit = 0x8000000000000000ull;
inline constexpr std::uint64_t QuietBit = 0x4000000000000000ull;
inline constexpr std::int32_t Bias = 16383;
inline constexpr std::uint16_t MaxExponent = 0x7FFF;
// value = significand × 2^(exponent field − Bias − 63), with exponent field
// 0 read as 1.
inline constexpr std::int32_t ScaleOffset = Bias + 63;
inline constexpr std::int32_t MinScale = 1 - ScaleOffset;

constexpr int TopBit(Uint128 m) {
    const std::uint64_t high = static_cast<std::uint64_t>(m >> 64);
    return high != 0 ? 127 - std::countl_zero(high) : 63 - std::countl_zero(static_cast<std::uint64_t>(m));
}

}  // namespace soft_extended

class SoftExtended {
public:
    constexpr SoftExtended() = default;
    // Rounds the platform's long double to the nearest extended value; the
    // hex-float constants of the program are exact in both the x87 and the
    // quadruple format, so they come through unchanged.
    constexpr explicit SoftExtended(long double value) : SoftExtended(FromLongDouble(value)) {}

    static constexpr SoftExtended FromInt(std::int64_t value) {
        if (value == 0) return SoftExtended();
        const bool negative = value < 0;
        const std::uint64_t magnitude =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        const int shift = std::countl_zero(magnitude);
        return Pack(negative, static_cast<std::uint16_t>(soft_extended::Bias + 63 - shift), magnitude << shift);
    }

    static constexpr SoftExtended FromDouble(double value) {
        using namespace soft_extended;
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        const bool negative = (bits >> 63) != 0;
        const std::uint32_t field = static_cast<std::uint32_t>(bits >> 52) & 0x7FF;
        const std::uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
        if (field == 0x7FF) {
            // Loading a signalling NaN quiets it.
            return fraction == 0 ? Pack(negative, MaxExponent, IntegerBit)
                                 : Pack(negative, MaxExponent, IntegerBit | QuietBit | (fraction << 11));
        }
        if (field == 0) {
            if (fraction == 0) return Pack(negative, 0, 0);
            const int shift = std::countl_zero(fraction);
            return Pack(negative, static_cast<std::uint16_t>(Bias - 1074 + 63 - shift), fraction << shift);
        }
        return Pack(negative, static_cast<std::uint16_t>(field - 1023 + Bias), IntegerBit | (fraction << 11));
    }

    // Any bit pattern is kept as it is, including the ones arithmetic never
    // makes; the operations read them as the x87 does.
    static constexpr SoftExtended FromBits(bool negative, std::uint16_t exponentField,
                                           std::uint64_t significand) {
        return Pack(negative, exponentField & soft_extended::MaxExponent, significand);
    }

    constexpr bool SignBit() const { return (top_ & 0x8000u) != 0; }
    constexpr std::uint16_t ExponentField() const { return top_ & soft_extended::MaxExponent; }
    constexpr std::uint64_t Significand() const { return significand_; }

    // The platform's long double nearest to the value (exact wherever long
    // double has at least the extended range and precision).
    long double Native() const;

    // Nearest double, ties to even; NaNs keep their sign and the top of
    // their payload, unsupported encodings give the default NaN.
    constexpr double ToDouble() const {
        using namespace soft_extended;
        const std::uint16_t field = ExponentField();
        const std::uint64_t sign = static_cast<std::uint64_t>(SignBit()) << 63;
        if (field != 0 && field != MaxExponent && (significand_ & IntegerBit) != 0) {
            const std::int32_t exponent = field - Bias;  // of the integer bit
            if (exponent >= -1022) {
                // 11 bits go; the carry of a round-up runs into the exponent.
                const std::uint64_t kept = significand_ >> 11;
                const std::uint64_t rest = significand_ & 0x7FF;
                const std::uint64_t up = (rest > 0x400 || (rest == 0x400 && (kept & 1) != 0)) ? 1 : 0;
                if (exponent > 1023) return std::bit_cast<double>(sign | 0x7FF0000000000000ull);
                return std::bit_cast<double>(sign | ((static_cast<std::uint64_t>(exponent + 1022) << 52) + kept + up));
            }
        }
        return ToDoubleSlow();
    }

    // Nearest integer, ties to even, as the same type.
    constexpr SoftExtended RoundToInteger() const {
        using namespace soft_extended;
        switch (Classify()) {
        case Kind::Invalid: return DefaultNaN();
        case Kind::QuietNaN:
        case Kind::SignalingNaN: return Quieted();
        case Kind::Zero:
        case Kind::Infinity: return *this;
        case Kind::Finite: break;
        }
        const std::int32_t scale = Scale();
        if (scale >= 0) return *this;
        const std::uint64_t whole = RoundedMagnitude(-scale);
        return whole == 0 ? Pack(SignBit(), 0, 0) : FromMagnitude(SignBit(), whole);
    }

    // Nearest integer, ties to even; values outside the signed 64-bit range,
    // infinities and NaNs give the integer indefinite 0x8000...0.
    constexpr std::int64_t RoundToInt64() const {
        constexpr std::int64_t Indefinite = static_cast<std::int64_t>(soft_extended::IntegerBit);
        const Kind kind = Classify();
        if (kind == Kind::Zero) return 0;
        if (kind != Kind::Finite) return Indefinite;
        const std::int32_t scale = Scale();
        if (scale >= 0) return Indefinite;
        const std::uint64_t whole = RoundedMagnitude(-scale);
        if (whole >= soft_extended::IntegerBit) return Indefinite;
        const std::int64_t value = static_cast<std::int64_t>(whole);
        return SignBit() ? -value : value;
    }

    constexpr SoftExtended Abs() const { return Pack(false, ExponentField(), significand_); }

    friend constexpr SoftExtended operator*(SoftExtended a, SoftExtended b) {
        using namespace soft_extended;
        if (a.IsNormal() && b.IsNormal()) {
            const Uint128 product = static_cast<Uint128>(a.significand_) * b.significand_;
            // The product of two significands with the integer bit set has
            // its top bit at 126 or 127.
            const int carry = static_cast<int>(product >> 127);
            std::int32_t field = a.ExponentField() + b.ExponentField() - Bias + carry;
            if (field >= 1) {
                const int shift = 63 + carry;
                std::uint64_t kept = static_cast<std::uint64_t>(product >> shift);
                const Uint128 rest = product & ((static_cast<Uint128>(1) << shift) - 1);
                const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
                kept += (rest > half || (rest == half && (kept & 1) != 0)) ? 1 : 0;
                if (kept == 0) {  // rounded up to 2^64
                    kept = IntegerBit;
                    ++field;
                }
                if (field < MaxExponent) {
                    return Pack(a.SignBit() != b.SignBit(), static_cast<std::uint16_t>(field), kept);
                }
            }
        }
        return Multiply(a, b);
    }
    friend constexpr SoftExtended operator/(SoftExtended a, SoftExtended b) { return Divide(a, b); }
    friend constexpr SoftExtended operator+(SoftExtended a, SoftExtended b) { return Add(a, b, false); }
    friend constexpr SoftExtended operator-(SoftExtended a, SoftExtended b) { return Add(a, b, true); }

    // Ordered comparisons as the x87 makes them: NaNs and unsupported
    // encodings are unordered (every comparison false), zeros of either sign
    // are equal, a pseudo-denormal equals the normal value it stands for.
    friend constexpr bool operator==(SoftExtended a, SoftExtended b) {
        if (a.Unordered() || b.Unordered()) return false;
        const soft_extended::Uint128 ka = a.MagnitudeKey();
        const soft_extended::Uint128 kb = b.MagnitudeKey();
        return ka == kb && (ka == 0 || a.SignBit() == b.SignBit());
    }
    friend constexpr bool operator<(SoftExtended a, SoftExtended b) {
        if (a.Unordered() || b.Unordered()) return false;
        const soft_extended::Uint128 ka = a.MagnitudeKey();
        const soft_extended::Uint128 kb = b.MagnitudeKey();
        if (a.SignBit() != b.SignBit()) return a.SignBit() && (ka != 0 || kb != 0);
        return a.SignBit() ? kb < ka : ka < kb;
    }
    friend constexpr bool operator>=(SoftExtended a, SoftExtended b) {
        return !(a.Unordered() || b.Unordered()) && !(a < b);
    }

private:
    enum class Kind { Zero, Finite, Infinity, QuietNaN, SignalingNaN, Invalid };

    static constexpr SoftExtended Pack(bool negative, std::uint16_t field, std::uint64_t significand) {
        SoftExtended value;
        value.significand_ = significand;
        value.top_ = static_cast<std::uint16_t>(field | (negative ? 0x8000u : 0u));
        return value;
    }
    // The x87's "real indefinite", the result of every invalid operation.
    static constexpr SoftExtended DefaultNaN() {
        return Pack(true, soft_extended::MaxExponent, soft_extended::IntegerBit | soft_extended::QuietBit);
    }
    static constexpr SoftExtended Infinity(bool negative) {
        return Pack(negative, soft_extended::MaxExponent, soft_extended::IntegerBit);
    }

    constexpr Kind Classify() const {
        using namespace soft_extended;
        const std::uint16_t field = ExponentField();
        if (field == 0) return significand_ == 0 ? Kind::Zero : Kind::Finite;
        if ((significand_ & IntegerBit) == 0) return Kind::Invalid;
        if (field != MaxExponent) return Kind::Finite;
        if (significand_ == IntegerBit) return Kind::Infinity;
        return (significand_ & QuietBit) != 0 ? Kind::QuietNaN : Kind::SignalingNaN;
    }
    constexpr bool IsNormal() const {
        const std::uint16_t field = ExponentField();
        return field != 0 && field != soft_extended::MaxExponent && (significand_ & soft_extended::IntegerBit) != 0;
    }
    constexpr bool Unordered() const {
        const Kind kind = Classify();
        return kind == Kind::QuietNaN || kind == Kind::SignalingNaN || kind == Kind::Invalid;
    }
    // value = significand × 2^Scale() for finite values.
    constexpr std::int32_t Scale() const {
        const std::int32_t field = ExponentField();
        return (field == 0 ? 1 : field) - soft_extended::ScaleOffset;
    }
    constexpr SoftExtended Quieted() const { return Pack(SignBit(), ExponentField(), significand_ | soft_extended::QuietBit); }
    // Orders the magnitudes of ordered values; a pseudo-denormal gets the
    // key of the normal encoding of its value.
    constexpr soft_extended::Uint128 MagnitudeKey() const {
        std::uint64_t field = ExponentField();
        if (field == 0) field = significand_ >> 63;
        return (static_cast<soft_extended::Uint128>(field) << 64) | significand_;
    }

    // The significand divided by 2^shift (shift ≥ 1) and rounded to the
    // nearest integer, ties to even.
    constexpr std::uint64_t RoundedMagnitude(std::int32_t shift) const {
        if (shift > 64) return 0;  // below one half
        const std::uint64_t kept = shift == 64 ? 0 : significand_ >> shift;
        const std::uint64_t rest = shift == 64 ? significand_ : significand_ & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        return kept + ((rest > half || (rest == half && (kept & 1) != 0)) ? 1 : 0);
    }
    static constexpr SoftExtended FromMagnitude(bool negative, std::uint64_t magnitude) {
        const int shift = std::countl_zero(magnitude);
        return Pack(negative, static_cast<std::uint16_t>(soft_extended::Bias + 63 - shift), magnitude << shift);
    }

    // The value m × 2^scale (m ≠ 0) rounded once to extended, ties to even,
    // denormal when it is tiny, infinity when it is too large. When bits
    // below m were lost, the caller has or-ed a 1 into m's last bit and kept
    // at least two bits below the rounding position, so that this one bit
    // decides the rounding as all of them would.
    static constexpr SoftExtended RoundPack(bool negative, soft_extended::Uint128 m, std::int32_t scale) {
        using namespace soft_extended;
        const int top = TopBit(m);
        std::int32_t field = top + scale + Bias;
        std::int32_t shift = top - 63;
        if (field < 1) {
            field = 0;
            shift = MinScale - scale;
        }
        Uint128 kept = 0;
        if (shift <= 0) {
            kept = m << -shift;
        } else if (shift < 128) {
            kept = m >> shift;
            const Uint128 rest = m & ((static_cast<Uint128>(1) << shift) - 1);
            const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
            if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
        } else if (shift == 128 && m > (static_cast<Uint128>(1) << 127)) {
            kept = 1;
        }
        if ((kept >> 64) != 0) {
            kept >>= 1;
            ++field;
        } else if (field == 0 && (kept >> 63) != 0) {
            field = 1;  // a denormal that rounded up to the smallest normal
        }
        if (field >= MaxExponent) return Infinity(negative);
        return Pack(negative, static_cast<std::uint16_t>(field), static_cast<std::uint64_t>(kept));
    }

    // The NaN that an operation with a NaN operand returns: a quiet NaN
    // before a signalling one, then the larger significand, then the
    // positive sign; quieted.
    static constexpr SoftExtended PropagateNaN(SoftExtended a, SoftExtended b) {
        const Kind ka = a.Classify();
        const Kind kb = b.Classify();
        const bool aNaN = ka == Kind::QuietNaN || ka == Kind::SignalingNaN;
        const bool bNaN = kb == Kind::QuietNaN || kb == Kind::SignalingNaN;
        if (!bNaN) return a.Quieted();
        if (!aNaN) return b.Quieted();
        if (ka != kb) return (ka == Kind::QuietNaN ? a : b).Quieted();
        if (a.significand_ != b.significand_) return (a.significand_ > b.significand_ ? a : b).Quieted();
        return (a.SignBit() ? b : a).Quieted();
    }
    // Classifies both operands for the special cases; true when the result
    // is already decided (written to result).
    static constexpr bool Special(SoftExtended a, SoftExtended b, SoftExtended& result) {
        const Kind ka = a.Classify();
        const Kind kb = b.Classify();
        if (ka == Kind::Invalid || kb == Kind::Invalid) {
            result = DefaultNaN();
            return true;
        }
        if (ka == Kind::QuietNaN || ka == Kind::SignalingNaN || kb == Kind::QuietNaN || kb == Kind::SignalingNaN) {
            result = PropagateNaN(a, b);
            return true;
        }
        return false;
    }

    static constexpr SoftExtended Multiply(SoftExtended a, SoftExtended b) {
        SoftExtended result;
        if (Special(a, b, result)) return result;
        const bool negative = a.SignBit() != b.SignBit();
        const Kind ka = a.Classify();
        const Kind kb = b.Classify();
        if (ka == Kind::Infinity || kb == Kind::Infinity) {
            return (ka == Kind::Zero || kb == Kind::Zero) ? DefaultNaN() : Infinity(negative);
        }
        if (ka == Kind::Zero || kb == Kind::Zero) return Pack(negative, 0, 0);
        return RoundPack(negative, static_cast<soft_extended::Uint128>(a.significand_) * b.significand_,
                         a.Scale() + b.Scale());
    }

    static constexpr SoftExtended Divide(SoftExtended a, SoftExtended b) {
        using namespace soft_extended;
        SoftExtended result;
        if (Special(a, b, result)) return result;
        const bool negative = a.SignBit() != b.SignBit();
        const Kind ka = a.Classify();
        const Kind kb = b.Classify();
        if (ka == Kind::Infinity) return kb == Kind::Infinity ? DefaultNaN() : Infinity(negative);
        if (kb == Kind::Infinity) return Pack(negative, 0, 0);
        if (kb == Kind::Zero) return ka == Kind::Zero ? DefaultNaN() : Infinity(negative);
        if (ka == Kind::Zero) return Pack(negative, 0, 0);
        // Both significands with the integer bit set: the quotient of
        // a × 2^64 by b lies in (2^63, 2^65); two more quotient bits and the
        // remainder decide the rounding.
        const int shiftA = std::countl_zero(a.significand_);
        const int shiftB = std::countl_zero(b.significand_);
        const std::uint64_t sa = a.significand_ << shiftA;
        const std::uint64_t sb = b.significand_ << shiftB;
        const Uint128 dividend = static_cast<Uint128>(sa) << 64;
        const Uint128 quotient = dividend / sb;
        const Uint128 extended = (dividend % sb) << 2;
        const Uint128 low = extended / sb;
        const bool inexact = extended % sb != 0;
        const Uint128 m = (quotient << 2) | low | (inexact ? 1 : 0);
        return RoundPack(negative, m, (a.Scale() - shiftA) - (b.Scale() - shiftB) - 66);
    }

    static constexpr SoftExtended Add(SoftExtended a, SoftExtended b, bool subtract) {
        const bool signA = a.SignBit();
        const bool signB = b.SignBit() != subtract;
        if (a.IsNormal() && b.IsNormal()) return AddFinite(a, signA, b, signB);
        SoftExtended result;
        if (Special(a, b, result)) return result;
        const Kind ka = a.Classify();
        const Kind kb = b.Classify();
        if (ka == Kind::Infinity || kb == Kind::Infinity) {
            if (ka == Kind::Infinity && kb == Kind::Infinity) return signA == signB ? a : DefaultNaN();
            return ka == Kind::Infinity ? a : Infinity(signB);
        }
        if (ka == Kind::Zero && kb == Kind::Zero) return Pack(signA && signB, 0, 0);
        if (kb == Kind::Zero) return RoundPack(signA, a.significand_, a.Scale());
        if (ka == Kind::Zero) return RoundPack(signB, b.significand_, b.Scale());
        return AddFinite(a, signA, b, signB);
    }

    // Both finite and non-zero, with the signs they enter the sum with.
    static constexpr SoftExtended AddFinite(SoftExtended a, bool signA, SoftExtended b, bool signB) {
        using namespace soft_extended;
        // Line both up below two bits of headroom; the smaller one's bits
        // that fall off the end are kept as one sticky bit.
        const bool aLarger = a.Scale() >= b.Scale();
        const SoftExtended& large = aLarger ? a : b;
        const SoftExtended& small = aLarger ? b : a;
        const bool signLarge = aLarger ? signA : signB;
        const bool signSmall = aLarger ? signB : signA;
        const std::int32_t distance = large.Scale() - small.Scale();
        const Uint128 ml = static_cast<Uint128>(large.significand_) << 62;
        Uint128 ms = static_cast<Uint128>(small.significand_) << 62;
        if (distance >= 128) {
            ms = 1;
        } else if (distance > 0) {
            const bool lost = (ms & ((static_cast<Uint128>(1) << distance) - 1)) != 0;
            ms = (ms >> distance) | (lost ? 1 : 0);
        }
        const std::int32_t scale = large.Scale() - 62;
        if (signLarge == signSmall) return RoundPack(signLarge, ml + ms, scale);
        if (ml == ms) return Pack(false, 0, 0);
        return ml > ms ? RoundPack(signLarge, ml - ms, scale) : RoundPack(signSmall, ms - ml, scale);
    }

    constexpr double ToDoubleSlow() const {
        using namespace soft_extended;
        const std::uint64_t sign = static_cast<std::uint64_t>(SignBit()) << 63;
        switch (Classify()) {
        case Kind::Invalid: return std::bit_cast<double>(0xFFF8000000000000ull);
        case Kind::Zero: return std::bit_cast<double>(sign);
        case Kind::Infinity: return std::bit_cast<double>(sign | 0x7FF0000000000000ull);
        case Kind::QuietNaN:
        case Kind::SignalingNaN:
            return std::bit_cast<double>(sign | 0x7FF8000000000000ull | ((significand_ >> 11) & 0xFFFFFFFFFFFFFull));
        case Kind::Finite: break;
        }
        // Only values below the double's normal range come here: round at
        // the double's denormal position, 2^-1074.
        const std::int32_t shift = -1074 - Scale();
        std::uint64_t kept = 0;
        if (shift < 64) {
            kept = significand_ >> shift;
            const std::uint64_t rest = significand_ & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
        } else if (shift == 64 && significand_ > IntegerBit) {
            kept = 1;
        }
        // A round-up to 2^52 is the smallest normal double, as encoded.
        return std::bit_cast<double>(sign | kept);
    }

    static constexpr SoftExtended FromLongDouble(long double value);

    std::uint64_t significand_ = 0;
    std::uint16_t top_ = 0;
};

constexpr SoftExtended SoftExtended::FromLongDouble(long double value) {
    using namespace soft_extended;
    static_assert(LDBL_MANT_DIG >= 64 && LDBL_MAX_EXP >= 16384,
                  "the 64-bit constants need a long double of at least extended range and precision");
    if (!std::is_constant_evaluated()) {
        if constexpr (LDBL_MANT_DIG == 64) {
            // The x87 layout itself.
            unsigned char bytes[sizeof value];
            std::memcpy(bytes, &value, sizeof value);
            std::uint64_t significand = 0;
            std::uint16_t top = 0;
            std::memcpy(&significand, bytes, 8);
            std::memcpy(&top, bytes + 8, 2);
            return Pack((top & 0x8000u) != 0, top & MaxExponent, significand);
        } else if constexpr (LDBL_MANT_DIG == 113) {
            Uint128 bits = 0;
            std::memcpy(&bits, &value, 16);
            const bool negative = (bits >> 127) != 0;
            const std::uint32_t field = static_cast<std::uint32_t>(bits >> 112) & MaxExponent;
            const Uint128 fraction = bits & ((static_cast<Uint128>(1) << 112) - 1);
            if (field == MaxExponent) {
                if (fraction == 0) return Infinity(negative);
                return Pack(negative, MaxExponent, IntegerBit | QuietBit | static_cast<std::uint64_t>(fraction >> 49));
            }
            if (field == 0 && fraction == 0) return Pack(negative, 0, 0);
            const Uint128 m = field == 0 ? fraction : fraction | (static_cast<Uint128>(1) << 112);
            return RoundPack(negative, m, static_cast<std::int32_t>(field == 0 ? 1 : field) - Bias - 112);
        }
    }
    // At compile time, by exact scaling with powers of two.
    if (value != value) return Pack(false, MaxExponent, IntegerBit | QuietBit);
    if (value == 0) return SoftExtended();
    const bool negative = value < 0;
    long double magnitude = negative ? -value : value;
    if (magnitude > LDBL_MAX) return Infinity(negative);
    constexpr long double TwoTo64 = 18446744073709551616.0L;
    long double powers[14] = {2};  // 2^(2^k)
    for (int k = 1; k < 14; ++k) powers[k] = powers[k - 1] * powers[k - 1];
    std::int32_t scale = 0;
    for (int k = 13; k >= 0; --k) {
        while (magnitude >= TwoTo64 * powers[k]) {
            magnitude /= powers[k];
            scale += 1 << k;
        }
        while (magnitude * powers[k] < TwoTo64 / 2) {
            magnitude *= powers[k];
            scale -= 1 << k;
        }
    }
    while (magnitude >= TwoTo64) {
        magnitude /= 2;
        ++scale;
    }
    while (magnitude < TwoTo64 / 2) {
        magnitude *= 2;
        --scale;
    }
    // magnitude is now in [2^63, 2^64): its integer part and 64 more bits.
    const std::uint64_t high = static_cast<std::uint64_t>(magnitude);
    const long double fraction = (magnitude - static_cast<long double>(high)) * TwoTo64;
    const std::uint64_t low = static_cast<std::uint64_t>(fraction);
    const bool rest = fraction != static_cast<long double>(low);
    const Uint128 m = (static_cast<Uint128>(high) << 64) | low | (rest ? 1 : 0);
    return RoundPack(negative, m, scale - 64);
}

}  // namespace qmk
