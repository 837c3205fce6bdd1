// The x87 control word the program computes under on Windows: precision
// control at 64 bits (extended), rounding to nearest, the invalid-operation,
// division-by-zero and overflow exceptions unmasked and the others masked.
// Start-up loads it and checks that the unit holds it; the time values and
// percentages are only right under it.
#pragma once

#include <cstdint>

namespace qmk::platform::win32 {

inline constexpr std::uint16_t ProgramControlWord = 0x1332;

// Loads ProgramControlWord, discarding exception flags left pending by
// earlier arithmetic (with the masks lifted they would fault at the next
// floating-point instruction), and reads it back: false when the unit
// holds another word afterwards.
bool LoadProgramControlWord();

std::uint16_t ReadControlWord();

// Whether a control word read from the unit means `expected`. Bit 6 is
// reserved and reads as 1 (0x1332 reads back as 0x1372), and bits 13 to 15
// are unused; the masks, precision, rounding and infinity bits must agree.
bool ControlWordMeans(std::uint16_t read, std::uint16_t expected);

}  // namespace qmk::platform::win32
