#include "runtime/ExtendedCosine.h"

#include <bit>
#include <cstdint>

namespace qmk {

namespace {

using soft_extended::Uint128;

// 2/π to 192 bits (after the binary point), most significant part first.
constexpr std::uint64_t TwoOverPi[3] = {0xA2F9836E4E441529ull, 0xFC2757D1F534DDC0ull, 0xDB6295993C439041ull};
// π/2 × 2^63, rounded.
constexpr std::uint64_t HalfPi = 0xC90FDAA22168C235ull;
// 1/(2k)! for k = 1..10 and 1/(2k+1)! for k = 1..9, × 2^64, rounded.
constexpr std::uint64_t CosineTerms[10] = {
    0x8000000000000000ull, 0x0AAAAAAAAAAAAAABull, 0x005B05B05B05B05Bull, 0x0001A01A01A01A02ull,
    0x0000049F93EDDE28ull, 0x00000008F76C77FCull, 0x000000000C9CBA54ull, 0x00000000000D73FAull,
    0x0000000000000B41ull, 0x0000000000000008ull};
constexpr std::uint64_t SineTerms[9] = {
    0x2AAAAAAAAAAAAAABull, 0x0222222222222222ull, 0x000D00D00D00D00Dull, 0x00002E3BC74AAD8Eull,
    0x0000006B99159FD5ull, 0x00000000B092309Dull, 0x0000000000D73F9Full, 0x000000000000CA96ull,
    0x0000000000000098ull};

constexpr std::uint64_t MulHigh(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint64_t>((static_cast<Uint128>(a) * b) >> 64);
}

// 1 − z·P(z) in 2^-64 units, by Horner's rule on alternating series
// whose partial sums stay positive (z < 1); 0 stands for exactly 1.
template <std::size_t N>
constexpr std::uint64_t OneMinusSeries(std::uint64_t z, const std::uint64_t (&terms)[N]) {
    std::uint64_t sum = terms[N - 1];
    for (std::size_t i = N - 1; i-- > 0;) sum = terms[i] - MulHigh(z, sum);
    return 0 - MulHigh(z, sum);
}

// A 128-bit product rounded to its top 64 bits (top bit at 126 or 127);
// returns the bits and how far they were shifted.
constexpr std::uint64_t Top64(Uint128 product, int& shift) {
    shift = static_cast<int>(product >> 127) != 0 ? 64 : 63;
    std::uint64_t kept = static_cast<std::uint64_t>(product >> shift);
    const Uint128 rest = product & ((static_cast<Uint128>(1) << shift) - 1);
    const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
    if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
    if (kept == 0) {  // rounded up to 2^64
        kept = 0x8000000000000000ull;
        ++shift;
    }
    return kept;
}

}  // namespace

SoftExtended Cosine(SoftExtended x) {
    const std::uint16_t field = x.ExponentField();
    const std::uint64_t significand = x.Significand();
    // Infinities, NaNs and unsupported encodings: what multiplying by zero
    // does to them (NaNs quieted, the rest the default NaN).
    if (field == 0x7FFF || (field != 0 && (significand & 0x8000000000000000ull) == 0)) {
        return x * SoftExtended();
    }
    if (field == 0 && significand == 0) return SoftExtended::FromInt(1);
    if (field >= 16383 + 63) return SoftExtended();

    // |x| = m × 2^e with m normalised (pseudo-denormals and denormals too).
    const int normalise = std::countl_zero(significand);
    const std::uint64_t m = significand << normalise;
    const std::int32_t e = (field == 0 ? 1 : field) - 16383 - 63 - normalise;

    // Reduce: |x| = (q + f) × π/2 with |f| ≤ 1/2; r = f × π/2 = rm × 2^re.
    std::uint32_t quadrant = 0;
    bool negative = false;
    std::uint64_t rm = m;
    std::int32_t re = e;
    if (e >= -64) {  // |x| ≥ 1/2
        // m × 2/π as a 256-bit product p3:p2:p1:p0; its point is at bit
        // 192 − e (in 193..256).
        const Uint128 a = static_cast<Uint128>(m) * TwoOverPi[2];
        const Uint128 b = static_cast<Uint128>(m) * TwoOverPi[1];
        const Uint128 c = static_cast<Uint128>(m) * TwoOverPi[0];
        const Uint128 low = a + (b << 64);
        const Uint128 high = c + (b >> 64) + (low < a ? 1 : 0);
        const int point = 192 - e;
        // The two bits above the point and the 128 below it.
        const int down = point - 128;  // 65..128
        const Uint128 fraction = down == 128 ? high : (high << (128 - down)) | (low >> down);
        quadrant = point >= 256 ? 0 : static_cast<std::uint32_t>(high >> (point - 128)) & 3;
        Uint128 magnitude = fraction;
        if ((fraction >> 127) != 0) {
            ++quadrant;
            negative = true;
            magnitude = 0 - fraction;
        }
        if (magnitude == 0) {
            rm = 0;
        } else {
            const bool high64 = (magnitude >> 64) != 0;
            const int lead = high64 ? std::countl_zero(static_cast<std::uint64_t>(magnitude >> 64))
                                    : 64 + std::countl_zero(static_cast<std::uint64_t>(magnitude));
            const std::uint64_t fm = static_cast<std::uint64_t>((magnitude << lead) >> 64);
            int shift = 0;
            rm = Top64(static_cast<Uint128>(fm) * HalfPi, shift);
            // f = fm × 2^(-64-lead), π/2 = HalfPi × 2^-63.
            re = shift - 127 - lead;
        }
    }

    // z = r² with 64 bits after the point (r < π/4 < 1).
    std::uint64_t z = 0;
    if (rm != 0) {
        const std::int32_t down = -(2 * re + 64);
        const Uint128 square = static_cast<Uint128>(rm) * rm;
        z = down >= 128 ? 0 : static_cast<std::uint64_t>(square >> down);
    }

    const bool useSine = (quadrant & 1) != 0;
    const bool resultNegative = ((quadrant + 1) & 2) != 0 ? !(useSine && negative) : (useSine && negative);
    if (!useSine) {
        const std::uint64_t value = OneMinusSeries(z, CosineTerms);
        if (value == 0) return SoftExtended::FromBits(resultNegative, 16383, 0x8000000000000000ull);
        return SoftExtended::FromBits(resultNegative, 16382, value);
    }
    if (rm == 0) return SoftExtended::FromBits(resultNegative, 0, 0);
    const std::uint64_t series = OneMinusSeries(z, SineTerms);
    if (series == 0) return SoftExtended::FromBits(resultNegative, static_cast<std::uint16_t>(re + 16383 + 63), rm);
    int shift = 0;
    const std::uint64_t sine = Top64(static_cast<Uint128>(rm) * series, shift);
    // r × s = rm × 2^re × series × 2^-64.
    return SoftExtended::FromBits(resultNegative, static_cast<std::uint16_t>(re + shift - 64 + 16383 + 63), sine);
}

}  // namespace qmk
