// a × b ÷ c with a 64-bit intermediate, as the window scaling uses it.
#pragma once

#include <cstdint>

namespace qmk {

// Rounded to nearest, halves away from zero. c == 0, or a quotient that
// does not fit in 32 bits, gives -1 as the platform call does.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

}  // namespace qmk
