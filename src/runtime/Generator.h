// The process-wide pseudo-random generator of the benchmark: a 32-bit
// linear congruential generator whose high bits, scaled by the range, give
// each draw.
#pragma once

#include <cstdint>

namespace qmk {

// 0 from start-up until the first run seeds it.
inline std::uint32_t GeneratorState = 0;

// Seeds from the UTC milliseconds since midnight (one GetSystemTime call).
void SeedFromClock();

// One draw: floor(range × new state ÷ 2^32), range read as unsigned. Inline
// because it is on the measured path: a multiply-add, a store and one
// widening multiply, no call and no branch.
inline std::int32_t RandomBelow(std::int32_t range) {
    GeneratorState = GeneratorState * 134775813u + 1u;
    std::uint64_t product = static_cast<std::uint64_t>(static_cast<std::uint32_t>(range)) *
                            GeneratorState;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(product >> 32));
}

}  // namespace qmk
