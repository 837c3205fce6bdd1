#include "platform/win32/FloatingPoint.h"

namespace qmk::platform::win32 {

namespace {
constexpr std::uint16_t SignificantBits = 0x1F3F;
}  // namespace

std::uint16_t ReadControlWord() {
    std::uint16_t word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

bool ControlWordMeans(std::uint16_t read, std::uint16_t expected) {
    return ((read ^ expected) & SignificantBits) == 0;
}

bool LoadProgramControlWord() {
    const std::uint16_t word = ProgramControlWord;
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
    return ControlWordMeans(ReadControlWord(), ProgramControlWord);
}

}  // namespace qmk::platform::win32
