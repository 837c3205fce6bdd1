// The two result lines of the result box: the score and its share of the
// reference machine's score, "ＣＰＵ：1992 (100.00%)".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qmk {

class TMemo;

// The reference machine's scores (Cyrix 6x86 133 MHz, S3 868 2 MB).
inline constexpr std::int32_t CpuReferenceScore = 1992;
inline constexpr std::int32_t VideoReferenceScore = 2370;

inline constexpr std::int32_t CpuLine = 0;
inline constexpr std::int32_t VideoLine = 1;

// label, IntegerText(score), " (", FixedText(percentage, 8, 2), "%)"; the
// percentage is score × (1 / reference) × 100 in extended precision.
std::string ResultLineText(std::string_view label, std::int32_t score, std::int32_t reference);

// Builds the text and replaces line `line` of the result box with it.
void WriteResultLine(TMemo& results, std::int32_t line, std::string_view label,
                     std::int32_t reference, std::int32_t score);

}  // namespace qmk
