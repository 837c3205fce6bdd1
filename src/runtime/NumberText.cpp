#include "runtime/NumberText.h"

#include <algorithm>
#include <cstring>

#include "runtime/LocaleSettings.h"

namespace qmk {

namespace {

// Each entry is the extended value nearest to the power, written bit-exact.
template <class X>
constexpr X SmallPowers[32] = {
    X(0x8000000000000000p-63L),  // 1e0
    X(0xa000000000000000p-60L),  // 1e1
    X(0xc800000000000000p-57L),  // 1e2
    X(0xfa00000000000000p-54L),  // 1e3
    X(0x9c40000000000000p-50L),  // 1e4
    X(0xc350000000000000p-47L),  // 1e5
    X(0xf424000000000000p-44L),  // 1e6
    X(0x9896800000000000p-40L),  // 1e7
    X(0xbebc200000000000p-37L),  // 1e8
    X(0xee6b280000000000p-34L),  // 1e9
    X(0x9502f90000000000p-30L),  // 1e10
    X(0xba43b74000000000p-27L),  // 1e11
    X(0xe8d4a51000000000p-24L),  // 1e12
    X(0x9184e72a00000000p-20L),  // 1e13
    X(0xb5e620f480000000p-17L),  // 1e14
    X(0xe35fa931a0000000p-14L),  // 1e15
    X(0x8e1bc9bf04000000p-10L),  // 1e16
    X(0xb1a2bc2ec5000000p-7L),   // 1e17
    X(0xde0b6b3a76400000p-4L),   // 1e18
    X(0x8ac7230489e80000p0L),    // 1e19
    X(0xad78ebc5ac620000p3L),    // 1e20
    X(0xd8d726b7177a8000p6L),    // 1e21
    X(0x878678326eac9000p10L),   // 1e22
    X(0xa968163f0a57b400p13L),   // 1e23
    X(0xd3c21bcecceda100p16L),   // 1e24
    X(0x84595161401484a0p20L),   // 1e25
    X(0xa56fa5b99019a5c8p23L),   // 1e26
    X(0xcecb8f27f4200f3ap26L),   // 1e27, the last exact one
    X(0x813f3978f8940984p30L),   // 1e28
    X(0xa18f07d736b90be5p33L),   // 1e29
    X(0xc9f2c9cd04674edfp36L),   // 1e30
    X(0xfc6f7c4045812296p39L),   // 1e31
};

// 10^(32k); entry 0 is unused (an index of 0 applies no factor).
template <class X>
constexpr X MiddlePowers[16] = {
    X(0x8000000000000000p-63L),  // 1e0
    X(0x9dc5ada82b70b59ep43L),   // 1e32
    X(0xc2781f49ffcfa6d5p149L),  // 1e64
    X(0xefb3ab16c59b14a3p255L),  // 1e96
    X(0x93ba47c980e98ce0p362L),  // 1e128
    X(0xb616a12b7fe617aap468L),  // 1e160
    X(0xe070f78d3927556bp574L),  // 1e192
    X(0x8a5296ffe33cc930p681L),  // 1e224
    X(0xaa7eebfb9df9de8ep787L),  // 1e256
    X(0xd226fc195c6a2f8cp893L),  // 1e288
    X(0x81842f29f2cce376p1000L),  // 1e320
    X(0x9fa42700db900ad2p1106L),  // 1e352
    X(0xc4c5e310aef8aa17p1212L),  // 1e384
    X(0xf28a9c07e9b09c59p1318L),  // 1e416
    X(0x957a4ae1ebf7f3d4p1425L),  // 1e448
    X(0xb83ed8dc0795a262p1531L),  // 1e480
};

// 10^(512k); entry 0 is unused.
template <class X>
constexpr X LargePowers[10] = {
    X(0x8000000000000000p-63L),    // 1e0
    X(0xe319a0aea60e91c7p1637L),   // 1e512
    X(0xc976758681750c17p3338L),   // 1e1024
    X(0xb2b8353b3993a7e4p5039L),   // 1e1536
    X(0x9e8b3b5dc53d5de5p6740L),   // 1e2048
    X(0x8ca554c020a1f0a6p8441L),   // 1e2560
    X(0xf9895d25d88b5a8bp10141L),  // 1e3072
    X(0xdd5dc8a2bf27f3f8p11842L),  // 1e3584
    X(0xc46052028a20979bp13543L),  // 1e4096
    X(0xae3511626ed559f0p15244L),  // 1e4608
};

template <class X>
constexpr X TenTo18(0xde0b6b3a76400000p-4L);
template <class X>
constexpr X TenTo19(0x8ac7230489e80000p0L);
template <class X>
constexpr X Ten(0xa000000000000000p-60L);
template <class X>
constexpr X Hundred(0xc800000000000000p-57L);
// The extended values nearest to 1/1992 and 1/2370.
template <class X>
constexpr X CpuReciprocal(0x839930523fbe3368p-74L);
template <class X>
constexpr X VideoReciprocal(0xdd37f3e6f0a95ed7p-75L);

constexpr int MaxDigits = 18;

DecimalForm ZeroForm() { return DecimalForm{}; }

DecimalForm NaNForm() {
    DecimalForm form;
    form.PointPos = PointPosNaN;
    return form;
}

}  // namespace

std::string IntegerText(std::int32_t value) {
    char buffer[11];
    std::size_t pos = sizeof buffer;
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value)
                                        : static_cast<std::uint32_t>(value);
    do {
        buffer[--pos] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) buffer[--pos] = '-';
    return std::string(buffer + pos, sizeof buffer - pos);
}

template <class X>
X ScaleByPowerOfTenIn(X x, std::int32_t n) {
    if (n == 0) return x;
    std::int64_t m = n < 0 ? -static_cast<std::int64_t>(n) : n;
    m = std::min<std::int64_t>(m, 5119);
    X small = SmallPowers<X>[m % 32];
    std::int64_t middle = (m / 32) % 16;
    std::int64_t large = m / 512;
    if (n > 0) {
        x = x * small;
        if (middle != 0) x = x * MiddlePowers<X>[middle];
        if (large != 0) x = x * LargePowers<X>[large];
    } else {
        x = x / small;
        if (middle != 0) x = x / MiddlePowers<X>[middle];
        if (large != 0) x = x / LargePowers<X>[large];
    }
    return x;
}

template <class X>
DecimalForm ToDecimalFormIn(X value, std::int32_t precision, std::int32_t decimals) {
    const std::uint16_t exponentField = value.ExponentField();
    if (exponentField == 0) return ZeroForm();
    if (exponentField == 0x7FFF) {
        if ((value.Significand() >> 48) == 0x8000) {
            DecimalForm form;
            form.PointPos = PointPosInfinity;
            form.IsNegative = value.SignBit() ? 1 : 0;
            return form;
        }
        return NaNForm();
    }

    std::int32_t e = static_cast<std::int32_t>(exponentField) - 16383;
    std::int32_t d = ((e * 0x4D10) >> 16) + 1;

    X t = ScaleByPowerOfTenIn(value.Abs(), MaxDigits - d).RoundToInteger();
    // An invalid encoding (an unnormal: integer bit clear) turns into NaN in
    // the arithmetic; it has no digits, so it is shown as NaN rather than
    // converted into an out-of-range integer.
    if (!(t >= X::FromInt(0) && t < TenTo19<X>)) return NaNForm();
    if (t >= TenTo18<X>) {
        t = (t / Ten<X>).RoundToInteger();
        ++d;
    }
    std::uint64_t whole = static_cast<std::uint64_t>(t.RoundToInt64());
    if (whole >= 1000000000000000000ull) {
        // t just below 10^19 can round up to 10^18 after the division: that
        // is the digit 1 one place further left.
        whole = 100000000000000000ull;
        ++d;
    }
    char s[MaxDigits];
    for (int i = MaxDigits - 1; i >= 0; --i) {
        s[i] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    }

    std::int64_t wanted = static_cast<std::int64_t>(d) + decimals;
    if (wanted < 0) return ZeroForm();
    std::int32_t n = static_cast<std::int32_t>(std::min<std::int64_t>(wanted, std::max(precision, 0)));

    DecimalForm form;
    std::int32_t kept = 0;
    if (n < MaxDigits && s[n] >= '5') {
        // Half away from zero on the decimal string; 9s that carry drop out.
        kept = n;
        while (kept > 0 && s[kept - 1] == '9') --kept;
        if (kept == 0) {
            s[0] = '1';
            kept = 1;
            ++d;
        } else {
            ++s[kept - 1];
        }
    } else {
        kept = std::min(n, MaxDigits);
        while (kept > 0 && s[kept - 1] == '0') --kept;
    }
    form.PointPos = static_cast<std::int16_t>(d);
    form.IsNegative = value.SignBit() ? 1 : 0;
    std::memcpy(form.DigitText, s, static_cast<std::size_t>(kept));
    form.DigitText[kept] = '\0';
    return form;
}

std::string FixedText(Extended value, std::int32_t precision, std::int32_t digits) {
    precision = std::clamp(precision, 2, MaxDigits);
    DecimalForm form = ToDecimalForm(value, precision, digits);
    if (form.PointPos == PointPosInfinity) return "INF";
    if (form.PointPos == PointPosNaN) return "NAN";

    char buffer[64];
    std::size_t fill = 0;
    const char* digit = form.DigitText;
    auto nextDigit = [&]() -> char { return *digit != '\0' ? *digit++ : '0'; };

    if (form.IsNegative) buffer[fill++] = '-';
    if (form.PointPos > precision) {
        buffer[fill++] = *digit != '\0' ? *digit++ : '0';
        if (*digit != '\0') {
            buffer[fill++] = DecimalSeparatorChar;
            while (*digit != '\0') buffer[fill++] = *digit++;
        }
        buffer[fill++] = 'E';
        std::string exponent = IntegerText(form.PointPos - 1);
        std::memcpy(buffer + fill, exponent.data(), exponent.size());
        fill += exponent.size();
        return std::string(buffer, fill);
    }

    if (form.PointPos <= 0) {
        buffer[fill++] = '0';
    } else {
        for (std::int32_t i = 0; i < form.PointPos; ++i) buffer[fill++] = nextDigit();
    }
    std::int32_t decimals = std::min(digits, MaxDigits);
    if (decimals > 0) {
        buffer[fill++] = DecimalSeparatorChar;
        std::int32_t zeros = std::min<std::int32_t>(-std::min<std::int32_t>(form.PointPos, 0), decimals);
        for (std::int32_t i = 0; i < zeros; ++i) buffer[fill++] = '0';
        for (std::int32_t i = zeros; i < decimals; ++i) buffer[fill++] = nextDigit();
    }
    return std::string(buffer, fill);
}

template <class X>
X ReciprocalOfIn(std::int32_t reference) {
    if (reference == 1992) return CpuReciprocal<X>;
    if (reference == 2370) return VideoReciprocal<X>;
    return X::FromInt(1) / X::FromInt(reference);
}

template <class X>
X ScorePercentageIn(std::int32_t score, std::int32_t reference) {
    return X::FromInt(score) * ReciprocalOfIn<X>(reference) * Hundred<X>;
}

#define QMK_NUMBER_TEXT_IN(X)                                                     \
    template X ScaleByPowerOfTenIn<X>(X, std::int32_t);                           \
    template DecimalForm ToDecimalFormIn<X>(X, std::int32_t, std::int32_t);       \
    template X ReciprocalOfIn<X>(std::int32_t);                                   \
    template X ScorePercentageIn<X>(std::int32_t, std::int32_t);
QMK_NUMBER_TEXT_IN(SoftExtended)
#if defined(QMK_HAS_X87)
QMK_NUMBER_TEXT_IN(X87Extended)
#endif
#undef QMK_NUMBER_TEXT_IN

Extended ScaleByPowerOfTen(Extended x, std::int32_t n) { return ScaleByPowerOfTenIn(x, n); }

DecimalForm ToDecimalForm(Extended value, std::int32_t precision, std::int32_t decimals) {
    return ToDecimalFormIn(value, precision, decimals);
}

Extended ReciprocalOf(std::int32_t reference) { return ReciprocalOfIn<Extended>(reference); }

Extended ScorePercentage(std::int32_t score, std::int32_t reference) {
    return ScorePercentageIn<Extended>(score, reference);
}

}  // namespace qmk
