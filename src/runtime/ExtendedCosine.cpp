#include "runtime/ExtendedCosine.h"

#if defined(QMK_HAS_SOFT_EXTENDED)

#include <bit>
#include <cstdint>

namespace qmk {

namespace {

using soft_extended::Uint128;

// 2/π to 256 bits (after the binary point), most significant part first:
// enough that the reduction keeps 120 bits of the argument's distance from
// the nearest multiple of π/2 for every argument below 2^63, the nearest of
// which come within 2^-69 quadrants (tools/cosine/hard_arguments.py).
constexpr std::uint64_t TwoOverPi[4] = {0xA2F9836E4E441529ull, 0xFC2757D1F534DDC0ull, 0xDB6295993C439041ull,
                                        0xFE5163ABDEBBC561ull};
// π/2 × 2^127, rounded, most significant part first.
constexpr std::uint64_t HalfPi[2] = {0xC90FDAA22168C234ull, 0xC4C6628B80DC1CD1ull};
// 1/(2k)! for k = 1..10 and 1/(2k+1)! for k = 1..9, × 2^64, rounded.
constexpr std::uint64_t CosineTerms[10] = {
    0x8000000000000000ull, 0x0AAAAAAAAAAAAAABull, 0x005B05B05B05B05Bull, 0x0001A01A01A01A02ull,
    0x0000049F93EDDE28ull, 0x00000008F76C77FCull, 0x000000000C9CBA54ull, 0x00000000000D73FAull,
    0x0000000000000B41ull, 0x0000000000000008ull};
constexpr std::uint64_t SineTerms[9] = {
    0x2AAAAAAAAAAAAAABull, 0x0222222222222222ull, 0x000D00D00D00D00Dull, 0x00002E3BC74AAD8Eull,
    0x0000006B99159FD5ull, 0x00000000B092309Dull, 0x0000000000D73F9Full, 0x000000000000CA96ull,
    0x0000000000000098ull};

// The top half of a product, rounded to nearest.
constexpr std::uint64_t MulHigh(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint64_t>((static_cast<Uint128>(a) * b + (static_cast<Uint128>(1) << 63)) >> 64);
}

// The top 128 bits of a 128 × 128-bit product, short of the carries from
// the low halves' product (at most 2 units low).
constexpr Uint128 MulHigh128(Uint128 a, Uint128 b) {
    const std::uint64_t ah = static_cast<std::uint64_t>(a >> 64), al = static_cast<std::uint64_t>(a);
    const std::uint64_t bh = static_cast<std::uint64_t>(b >> 64), bl = static_cast<std::uint64_t>(b);
    return static_cast<Uint128>(ah) * bh + ((static_cast<Uint128>(ah) * bl) >> 64) +
           ((static_cast<Uint128>(al) * bh) >> 64);
}

// 1 − z·P(z) in 2^-64 units, by Horner's rule on alternating series
// whose partial sums stay positive (z < 1); 0 stands for exactly 1.
template <std::size_t N>
constexpr std::uint64_t OneMinusSeries(std::uint64_t z, const std::uint64_t (&terms)[N]) {
    std::uint64_t sum = terms[N - 1];
    for (std::size_t i = N - 1; i-- > 0;) sum = terms[i] - MulHigh(z, sum);
    return 0 - MulHigh(z, sum);
}

// A 128-bit value rounded to its top 64 bits (top bit at 126 or 127);
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

// 64 bits of a 320-bit number (five words, least significant first) from
// bit `at` up; bits past the top read as 0.
constexpr std::uint64_t BitsAt(const std::uint64_t (&words)[5], int at) {
    const int word = at / 64, bit = at % 64;
    const std::uint64_t low = word < 5 ? words[word] >> bit : 0;
    const std::uint64_t high = bit != 0 && word + 1 < 5 ? words[word + 1] << (64 - bit) : 0;
    return low | high;
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

    // Reduce: |x| = (q + f) × π/2 with |f| ≤ 1/2; r = |f| × π/2 = R × 2^rExp
    // with R's top bit set (R = 0: r = 0), 128 bits of which some 120 are
    // exact wherever x lies.
    std::uint32_t quadrant = 0;
    bool negative = false;
    Uint128 r = static_cast<Uint128>(m) << 64;
    std::int32_t rExp = e - 64;
    if (e >= -64) {  // |x| ≥ 1/2
        // m × 2/π as a 320-bit product; its point is at bit 256 − e (in
        // 257..320).
        std::uint64_t product[5];
        Uint128 carry = 0;
        for (int i = 0; i < 4; ++i) {
            const Uint128 part = static_cast<Uint128>(m) * TwoOverPi[3 - i];
            carry += static_cast<std::uint64_t>(part);
            product[i] = static_cast<std::uint64_t>(carry);
            carry = (carry >> 64) + (part >> 64);
        }
        product[4] = static_cast<std::uint64_t>(carry);
        const int point = 256 - e;
        quadrant = static_cast<std::uint32_t>(BitsAt(product, point)) & 3;
        // The 192 bits below the point, most significant word first.
        std::uint64_t f[3] = {BitsAt(product, point - 64), BitsAt(product, point - 128), BitsAt(product, point - 192)};
        if ((f[0] >> 63) != 0) {  // f ≥ 1/2: the next quadrant, from below
            ++quadrant;
            negative = true;
            f[2] = 0 - f[2];
            f[1] = ~f[1] + (f[2] == 0 ? 1 : 0);
            f[0] = ~f[0] + (f[2] == 0 && f[1] == 0 ? 1 : 0);
        }
        int lead = 0;
        while (f[0] == 0 && lead < 192) {
            f[0] = f[1];
            f[1] = f[2];
            f[2] = 0;
            lead += 64;
        }
        if (lead == 192) {
            r = 0;
        } else {
            const int bits = std::countl_zero(f[0]);
            if (bits != 0) {
                f[0] = (f[0] << bits) | (f[1] >> (64 - bits));
                f[1] = (f[1] << bits) | (f[2] >> (64 - bits));
            }
            lead += bits;
            // |f| = F × 2^(-128-lead), π/2 = HalfPi × 2^-127.
            r = MulHigh128((static_cast<Uint128>(f[0]) << 64) | f[1],
                           (static_cast<Uint128>(HalfPi[0]) << 64) | HalfPi[1]);
            rExp = -127 - lead;
            if ((r >> 127) == 0) {
                r <<= 1;
                --rExp;
            }
        }
    }

    // z = r² with 64 bits after the point, rounded (r < π/4 < 1, so the
    // square's top half is 2^-64 units from bit 64 down).
    std::uint64_t z = 0;
    if (r != 0) {
        const std::int32_t down = -(2 * rExp + 192);  // ≥ 64
        const Uint128 square = MulHigh128(r, r);
        if (down < 128) {
            z = static_cast<std::uint64_t>(square >> down) + static_cast<std::uint64_t>((square >> (down - 1)) & 1);
        }
    }

    const bool useSine = (quadrant & 1) != 0;
    const bool resultNegative = ((quadrant + 1) & 2) != 0 ? !(useSine && negative) : (useSine && negative);
    if (!useSine) {
        const std::uint64_t value = OneMinusSeries(z, CosineTerms);
        if (value == 0) return SoftExtended::FromBits(resultNegative, 16383, 0x8000000000000000ull);
        return SoftExtended::FromBits(resultNegative, 16382, value);
    }
    if (r == 0) return SoftExtended::FromBits(resultNegative, 0, 0);
    // sin r = r × s, s = 1 − z·S(z) in 2^-64 units, rounded once.
    const std::uint64_t series = OneMinusSeries(z, SineTerms);
    const Uint128 sine = series == 0 ? r
                                     : static_cast<Uint128>(static_cast<std::uint64_t>(r >> 64)) * series +
                                           ((static_cast<Uint128>(static_cast<std::uint64_t>(r)) * series) >> 64);
    int shift = 0;
    const std::uint64_t kept = Top64(sine, shift);
    return SoftExtended::FromBits(resultNegative, static_cast<std::uint16_t>(rExp + shift + 16383 + 63), kept);
}

}  // namespace qmk

#endif  // QMK_HAS_SOFT_EXTENDED
