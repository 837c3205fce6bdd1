// The table behind the program's text converter (runtime/Cp932.h): what
// each double-byte code of code page 932 reads as. Generated data; see
// tools/cp932/make_table.py.
#pragma once

#include <cstdint>

namespace qmk::cp932 {

// Lead bytes 0x81 to 0x9F, then 0xE0 to 0xFC; trail bytes 0x40 to 0xFC.
inline constexpr int LeadCount = 60;
inline constexpr int TrailCount = 189;
inline constexpr unsigned FirstTrail = 0x40;
inline constexpr unsigned LastTrail = 0xFC;

constexpr int LeadIndex(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }

// The UTF-16 code unit of each pair, 0 where the pair is no character.
extern const std::uint16_t DoubleByteTable[LeadCount][TrailCount];

}  // namespace qmk::cp932
