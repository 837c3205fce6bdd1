#include "runtime/MulDiv.h"

#include <cstdlib>
#include <limits>

namespace qmk {

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
    if (c == 0) return -1;
    std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t divisor = c;
    std::int64_t quotient = product / divisor;
    std::int64_t remainder = product % divisor;
    // |remainder| < |c| <= 2^31, so doubling it cannot overflow.
    if (2 * std::llabs(remainder) >= std::llabs(divisor)) {
        quotient += ((product < 0) != (divisor < 0)) ? -1 : 1;
    }
    if (quotient > std::numeric_limits<std::int32_t>::max() ||
        quotient < std::numeric_limits<std::int32_t>::min()) {
        return -1;
    }
    return static_cast<std::int32_t>(quotient);
}

}  // namespace qmk
