#include "runtime/Extended.h"

namespace qmk {

#if defined(QMK_HAS_X87)

namespace {
constexpr std::uint16_t PrecisionMask = 0x0300;
constexpr std::uint16_t PrecisionExtended = 0x0300;
constexpr std::uint16_t RoundingMask = 0x0C00;  // 00 = to nearest
}  // namespace

std::uint16_t FpuControlWord() {
    std::uint16_t word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

// The CPU test's cosine runs on the x87 unit in either build, so the
// control word is set even when Extended is the software type.
void SetExtendedPrecision() {
    std::uint16_t word = FpuControlWord();
    word = static_cast<std::uint16_t>((word & ~(PrecisionMask | RoundingMask)) | PrecisionExtended);
    __asm__ volatile("fldcw %0" : : "m"(word));
}

#else

void SetExtendedPrecision() {}

#endif

}  // namespace qmk
