#include "runtime/ExtendedCosine.h"

#if defined(QMK_HAS_SOFT_EXTENDED)

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(QMK_HAVE_QUADMATH)
#include <quadmath.h>
#endif

namespace qmk {
namespace {

// The bound README.md and the header state (the worst measured over the
// whole range by tools/cosine is 1.54 units in the last place).
constexpr double Bound = 1.6;

// Units in the last place of the extended format at the magnitude of the
// exact value, which is ±(high:low) × 2^(exponent − 127) with the top bit
// of high set.
double UnitsOff(SoftExtended got, bool negative, std::uint64_t high, std::uint64_t low, int exponent) {
    using soft_extended::Uint128;
    if (got.SignBit() != negative) return 1e9;
    // Both in units of 2^(exponent − 128): the exact value has 127 bits
    // there and a last place of 2^63.
    const int field = got.ExponentField() == 0 ? 1 : got.ExponentField();
    const int shift = 63 + field - 16383 - exponent;
    if (shift < 0 || shift > 64) return 1e9;
    const Uint128 mine = static_cast<Uint128>(got.Significand()) << shift;
    const Uint128 exact = ((static_cast<Uint128>(high) << 64) | low) >> 1;
    const Uint128 apart = mine > exact ? mine - exact : exact - mine;
    return static_cast<double>(apart) / 0x1p63;
}

// The argument of each binade that comes nearest an odd multiple of π/2
// (where the result is tiny and everything rests on the reduction), the
// worst two of a sweep, and cos x to 128 bits (tools/cosine/
// hard_arguments.py; the note: how far x is from the multiple, in
// quadrants). When the reduction kept 128 bits, x ≈ 564.9 (359 π/2) was
// 6.86 units off and x ≈ 5.5e14 13.8.
const struct HardArgument {
    std::uint64_t Significand;  // x = Significand × 2^Exponent
    int Exponent;
    bool Negative;
    std::uint64_t High, Low;
    int CosineExponent;
} HardArguments[] = {
    {0xC90FDAA22168C235ull, -63, true, 0xECE675D1FC8F8CBBull, 0x5BF6C7DDD660CE30ull, -66},  // 2^-65.8
    {0xFB53D14AA9C2F2C2ull, -61, true, 0xA0804D19EECDBFA8ull, 0xCBD1E7552FE406F0ull, -66},  // 2^-66.3
    {0xAFEDDF4DDD3BA9EEull, -60, true, 0xB0B658E8430264DCull, 0x0F88111DE46B4B95ull, -63},  // 2^-63.2
    {0xD5A0D84C437F4E58ull, -59, false, 0x889645A1C74EF4F1ull, 0xDC939748987249DAull, -63},  // 2^-63.6
    {0xE87A54CB76A1208Dull, -58, false, 0xE1587C533FA05475ull, 0xDAAA8E7802011988ull, -65},  // 2^-64.8
    {0xB3121EB865C14CF7ull, -57, true, 0xBF503BC13BF655B7ull, 0x79F28064BB8DE8AEull, -66},  // 2^-66.1
    {0xCDC639C1EE3136C2ull, -56, true, 0xB1846D62F0A2BF07ull, 0xFC2DEE5ED31D9F5Dull, -64},  // 2^-64.2
    {0xFF41208FD469FE8Dull, -55, true, 0x8C0939395A23DA9Dull, 0xBC04BBCA128E5C2Dull, -62},  // 2^-62.5
    {0x8CFA9DCCAE6CF42Cull, -54, false, 0xDCBCE5E4B5396AF7ull, 0xDC49205E87049512ull, -68},  // 2^-67.9
    {0xD377ECB305A36E42ull, -53, true, 0xA58DAC6B87EB1039ull, 0xE536D846E5436FCEull, -66},  // 2^-66.3
    {0xB039453FDA083137ull, -52, false, 0x89F60FAEF143E2DAull, 0xE9ADB43B1462DD2Bull, -65},  // 2^-65.5
    {0xF54A2769EB621D6Dull, -51, false, 0x9E8C31A1490FCFD6ull, 0xAF3FA596B3833A83ull, -61},  // 2^-61.3
    {0xF6005DC80E50645Dull, -50, true, 0x8667887C453D8823ull, 0x9327A60C5CBEBA39ull, -61},  // 2^-61.6
    {0xF65B78F71FC787D5ull, -49, true, 0xAC3C6C647B31F17Aull, 0xB5EF4DEF5E6B7344ull, -62},  // 2^-62.2
    {0xF689068EA8831991ull, -48, false, 0xA746E61D1B0260F1ull, 0x5685731ABDC47946ull, -65},  // 2^-65.3
    {0x8CE3D700EA0F2B4Eull, -47, false, 0x98302C79A15D4DB8ull, 0x43C5ECF5F2F368DAull, -63},  // 2^-63.4
    {0xB0171B0E337B83EAull, -46, true, 0xF16B9A379A513391ull, 0x2BF8624CAD1106B5ull, -67},  // 2^-66.7
    {0xC1B0BD14D831B038ull, -45, false, 0x818E16046AE5B0E2ull, 0xA7A6A3BEC2B9D038ull, -62},  // 2^-62.6
    {0xB8E3EC1185D69A11ull, -44, true, 0xE4EEB8C1E2813B53ull, 0x29CE3B33EFD17F9Bull, -63},  // 2^-62.8
    {0xE0834A536987EFF8ull, -43, false, 0x8A665EED08A2C7FCull, 0xB95116572EEB1D18ull, -63},  // 2^-63.5
    {0xC84D32B0CE81B9F1ull, -42, false, 0x8D848E89DBD171A1ull, 0x1AA72986C314CDF2ull, -66},  // 2^-66.5
    {0x902C601BF41FBDF3ull, -41, true, 0xCE0A7695235CD728ull, 0xE54E97EAFC4BD338ull, -64},  // 2^-64.0
    {0xAC3CC9666150BBF2ull, -40, false, 0x87482F5035741E58ull, 0x57FB03279AC16C3Full, -64},  // 2^-64.6
    {0xE64AC4CF24C81BECull, -39, false, 0xEFDC826930B9DEBEull, 0xFB4D58B4E2FC2E40ull, -62},  // 2^-61.7
    {0xE5543065303D69EEull, -38, true, 0xF59EE1B9D172EF8Dull, 0xA5456CD2943551B6ull, -65},  // 2^-64.7
    {0xC8C87CE5C8C712F0ull, -37, true, 0xA5FC0B876FA27C4Aull, 0x0CA3B0C1ED481673ull, -62},  // 2^-62.3
    {0xF39A0A24E3F8956Dull, -36, true, 0x91D8EE1F6B9DBB01ull, 0x7A8306E00EFF3691ull, -65},  // 2^-65.5
    {0xB322112BBE0BA532ull, -35, false, 0x9F45AC64C3A0E687ull, 0x314378214DDA767Full, -63},  // 2^-63.3
    {0x9A09018F04F2C2D4ull, -34, false, 0xD6CBE4558032B85Bull, 0x6C071413EDB3FEDEull, -67},  // 2^-66.9
    {0xE70D8256876C243Eull, -33, true, 0xA118EB4020260A44ull, 0x91054F0EF246FF27ull, -65},  // 2^-65.3
    {0xC08B41F2C62F7389ull, -32, false, 0x863F6EB5701FB339ull, 0x23846C8C74907F4Bull, -64},  // 2^-64.6
    {0xDA12A60BD514047Bull, -31, true, 0x81110048BD99C49Aull, 0x5612794E806D26A3ull, -61},  // 2^-61.6
    {0xF3D134630EDE6CB7ull, -30, false, 0xA428CCAC131D588Cull, 0xACE1D9D448DB8DCCull, -62},  // 2^-62.3
    {0xDA2E3B2AEA86F020ull, -29, false, 0xEF4AEFB517ED2A9Cull, 0x4AEB6A3EA258741Dull, -65},  // 2^-64.7
    {0x93995DF9368028C5ull, -28, true, 0x9AF928683A376DB4ull, 0x594C3984451DE1D7ull, -63},  // 2^-63.4
    {0xA3A2AC602FE53418ull, -27, true, 0xB37833C7D1F1DFF5ull, 0x38308FAEF9C25715ull, -63},  // 2^-63.2
    {0x885CE4FAD2945614ull, -26, false, 0x958ED5D12EF43AA1ull, 0xAED3226725774890ull, -62},  // 2^-62.4
    {0x95FFC8AD813CC516ull, -25, true, 0xA48384CC80730D4Bull, 0x7381D90B0F9CCFC9ull, -61},  // 2^-61.3
    {0x818B73217B401E93ull, -24, true, 0x8E147E538634D14Cull, 0xCC7BC715306484D4ull, -60},  // 2^-60.5
    {0xD5924CE4197E8637ull, -23, true, 0xD6936C1B71BF341Cull, 0xA6B4BA128E9BBA1Eull, -66},  // 2^-65.9
    {0x82A634EABE66055Full, -22, true, 0xCAACF65D99618BA7ull, 0xDC585726399887B4ull, -61},  // 2^-61.0
    {0x9E795D34BD49D6C9ull, -21, true, 0xC81CC064D69E48D8ull, 0xE3F97AE646A69FD9ull, -63},  // 2^-63.0
    {0xF11EC4BBC798DDEEull, -20, false, 0xF380C388A8010AA4ull, 0x2C2B386B1E85EEA6ull, -64},  // 2^-63.7
    {0x941BDA3591E6C6AEull, -19, false, 0xFF96CBA79DF3610Cull, 0x2CA27E11BDBA3909ull, -65},  // 2^-64.7
    {0xC29D4F78ACBFD24Eull, -18, false, 0xB39B109EC0843261ull, 0x210298E6AF176064ull, -63},  // 2^-63.2
    {0xAB5C94D71F534C7Eull, -17, true, 0xCF3EAB2BC62A076Cull, 0x2AC5677740E90F7Full, -65},  // 2^-65.0
    {0x9FBC3786589D0996ull, -16, false, 0xCBC720DCAC68DF31ull, 0x21F12433ED7FF528ull, -63},  // 2^-63.0
    {0xFB3AB09A4BA1D149ull, -15, true, 0xDDE293C6704A0EC2ull, 0x3510D0D4DA469573ull, -69},  // 2^-68.9
    {0xA8747D82EDA5BBC4ull, -14, false, 0xD62DBFC9F9AC57E2ull, 0x3C6DEDFDE7BB442Bull, -64},  // 2^-63.9
    {0xA70071D8D4CEF367ull, -13, false, 0xBA716D512BA31609ull, 0xF5CBD3E34C72717Cull, -64},  // 2^-64.1
    {0xD11D913990386258ull, -12, false, 0x9EB51AD85D99D431ull, 0xAF29B9C8B1299ECEull, -64},  // 2^-64.3
    {0x92ABE7FD8385A01Dull, -11, false, 0x86D3325DCADF6DC9ull, 0x64D911198F2674C4ull, -63},  // 2^-63.6
    {0xC6F34C4BE793B8B3ull, -10, false, 0xBE4BD74F66F1F179ull, 0xF21D454EC5B81A20ull, -63},  // 2^-63.1
    {0xE116FE73199AC4FEull, -9, false, 0x969E90994F8B7C6Dull, 0x8652D6DC996DB26Bull, -62},  // 2^-62.4
    {0xA4D2E387F0DB7B15ull, -8, true, 0x8168A3F0E0E57C42ull, 0x8D6E2EC17BBEC60Full, -66},  // 2^-66.6
    {0xEA2A7C385045B27Aull, -7, false, 0xDC5BBABC12878B31ull, 0x7440D08045842911ull, -64},  // 2^-63.9
    {0xD49088F3B9941CEDull, -6, false, 0xEF96814EEA2941DBull, 0x478E97019E80DA95ull, -63},  // 2^-62.7
    {0x8CF410D20C7F2A29ull, -5, false, 0xB5E62D9663441DDDull, 0xCDA5437D938AC605ull, -65},  // 2^-65.1
    {0x98E37A2CFEAD529Full, -4, true, 0xA7DE31169028E996ull, 0x3409BBC42DB8291Bull, -64},  // 2^-64.3
    {0x92EBC57F85963E64ull, -3, true, 0xE07FC7FD31B34479ull, 0x99B87B965D29CE97ull, -68},  // 2^-67.8
    {0xDC61A83F48615D96ull, -2, false, 0xA85FD5FDE546735Bull, 0x334A5CB0C5DF5AF1ull, -66},  // 2^-66.3
    {0xB7A6B6DF66FBCDFDull, -1, true, 0x8C4FDCFE3F100ACCull, 0x00134D3DFA3A211Eull, -65},  // 2^-65.5
    {0x9080C23D54E00377ull, -36, true, 0xB315717C529AAB08ull, 0x8ACE08CE98630FEDull, -1},  // the worst two of
    {0x827B42C005E19729ull, -24, false, 0xB3257D3D9071EB93ull, 0x88DC725E9795EF32ull, -1},  // a random sweep
};

TEST(ExtendedCosineTest, NearOddMultiplesOfHalfPiWithinTheBound) {
    for (const HardArgument& row : HardArguments) {
        const auto field = static_cast<std::uint16_t>(row.Exponent + 16383 + 63);
        for (bool negative : {false, true}) {  // cos is even
            const SoftExtended x = SoftExtended::FromBits(negative, field, row.Significand);
            EXPECT_LE(UnitsOff(Cosine(x), row.Negative, row.High, row.Low, row.CosineExponent), Bound)
                << (negative ? "-" : "") << std::hex << row.Significand << std::dec << " × 2^" << row.Exponent;
        }
    }
}

// Against a cosine of 113 bits: libquadmath's on x86-64, long double's
// where it is quadruple precision (arm64).
#if defined(QMK_HAVE_QUADMATH)
using Quad = __float128;
Quad QuadCosine(Quad x) { return cosq(x); }
Quad QuadScale(Quad x, int e) { return ldexpq(x, e); }
#define QMK_HAVE_QUAD 1
#elif LDBL_MANT_DIG == 113
using Quad = long double;
Quad QuadCosine(Quad x) { return std::cos(x); }
Quad QuadScale(Quad x, int e) { return std::ldexp(x, e); }
#define QMK_HAVE_QUAD 1
#endif

#if defined(QMK_HAVE_QUAD)
double UnitsFromQuad(SoftExtended x) {
    const int field = x.ExponentField() == 0 ? 1 : x.ExponentField();
    const Quad exact = QuadCosine(QuadScale(static_cast<Quad>(x.Significand()), field - 16383 - 63) *
                                  (x.SignBit() ? -1 : 1));
    const SoftExtended got = Cosine(x);
    const int gotField = got.ExponentField() == 0 ? 1 : got.ExponentField();
    const Quad mine = QuadScale(static_cast<Quad>(got.Significand()), gotField - 16383 - 63) * (got.SignBit() ? -1 : 1);
    int exponent = 0;
    std::frexp(static_cast<double>(exact), &exponent);  // exact is far from double's range limits
    const Quad apart = mine > exact ? mine - exact : exact - mine;
    return static_cast<double>(QuadScale(apart, 64 - exponent));
}
#endif

TEST(ExtendedCosineTest, SweepWithinTheBound) {
#if !defined(QMK_HAVE_QUAD)
    GTEST_SKIP() << "no cosine of more than 64 bits to compare with";
#else
    // The CPU test's arguments are c / 4 for 32-bit c: small ones, ones near
    // odd multiples of π/2, and the largest.
    for (std::int32_t c = -2000; c <= 2000; ++c) {
        ASSERT_LE(UnitsFromQuad(SoftExtended(c * 0.25L)), Bound) << c;
    }
    std::uint32_t state = 1;
    for (int i = 0; i < 4000; ++i) {
        state = state * 1664525u + 1013904223u;
        const std::int32_t c = static_cast<std::int32_t>(state);
        ASSERT_LE(UnitsFromQuad(SoftExtended(c * 0.25L)), Bound) << c;
    }
    // Random significands in every binade the cosine computes in.
    std::uint64_t bits = 0x9E3779B97F4A7C15ull;
    for (int field = 16383 - 70; field < 16383 + 63; ++field) {
        for (int i = 0; i < 300; ++i) {
            bits ^= bits << 13;
            bits ^= bits >> 7;
            bits ^= bits << 17;
            const SoftExtended x =
                SoftExtended::FromBits((bits & 1) != 0, static_cast<std::uint16_t>(field), bits | (1ull << 63));
            ASSERT_LE(UnitsFromQuad(x), Bound) << std::hex << x.Significand() << std::dec << " field " << field;
        }
    }
#endif
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
