// The software extended arithmetic against the x87 unit on any two bit
// patterns: every operation must give the same bits. Input: 10 bytes per
// operand (significand, then sign and exponent field), and a double.
#include <bit>
#include <cstdint>
#include <cstring>

#include "runtime/Extended.h"

#if defined(QMK_HAS_X87)

namespace {

template <class X>
X Read(const std::uint8_t* data) {
    std::uint64_t significand;
    std::uint16_t top;
    std::memcpy(&significand, data, 8);
    std::memcpy(&top, data + 8, 2);
    return X::FromBits((top & 0x8000) != 0, top & 0x7FFF, significand);
}

template <class A, class B>
void Same(A soft, B x87) {
    if (soft.SignBit() != x87.SignBit() || soft.ExponentField() != x87.ExponentField() ||
        soft.Significand() != x87.Significand()) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qmk::SetExtendedPrecision();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using qmk::SoftExtended;
    using qmk::X87Extended;
    if (size < 20) return 0;
    const SoftExtended sa = Read<SoftExtended>(data);
    const SoftExtended sb = Read<SoftExtended>(data + 10);
    const X87Extended xa = Read<X87Extended>(data);
    const X87Extended xb = Read<X87Extended>(data + 10);
    Same(sa * sb, xa * xb);
    Same(sa / sb, xa / xb);
    Same(sa + sb, xa + xb);
    Same(sa - sb, xa - xb);
    if ((sa == sb) != (xa == xb) || (sa < sb) != (xa < xb) || (sa >= sb) != (xa >= xb)) __builtin_trap();
    Same(sa.RoundToInteger(), xa.RoundToInteger());
    if (sa.RoundToInt64() != xa.RoundToInt64()) __builtin_trap();
    if (std::bit_cast<std::uint64_t>(sa.ToDouble()) != std::bit_cast<std::uint64_t>(xa.ToDouble())) __builtin_trap();
    if (size >= 28) {
        double d;
        std::memcpy(&d, data + 20, 8);
        Same(SoftExtended::FromDouble(d), X87Extended::FromDouble(d));
        std::int64_t i;
        std::memcpy(&i, data + 20, 8);
        Same(SoftExtended::FromInt(i), X87Extended::FromInt(i));
    }
    return 0;
}

#else

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }

#endif
