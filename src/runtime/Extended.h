// The 80-bit extended value (64-bit significand with explicit integer bit,
// 15-bit exponent, sign) in which the clock and the percentages compute.
// Every operation rounds once to a 64-bit significand, ties to even. On x86
// the x87 `long double` is exactly that format, so `Extended` is a thin
// shell around it; elsewhere, and on x86 when the build asks for it
// (QMK_SOFT_EXTENDED), it is the integer implementation with the same
// interface and the same results.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define QMK_HAS_X87 1
#include "runtime/X87Extended.h"
#endif
#include "runtime/SoftExtended.h"

namespace qmk {

#if defined(QMK_HAS_X87) && !defined(QMK_SOFT_EXTENDED)
using Extended = X87Extended;
#else
using Extended = SoftExtended;
#endif

// Start-up: sets the x87 unit to 64-bit precision and rounding to nearest
// (nothing to do on a processor without one: the software arithmetic always
// works that way).
// The exception masks are left as they are (all masked): unmasking invalid,
// division by zero and overflow as the original control word did would
// trap inside system libraries that rely on masked exceptions (libm,
// font rendering), so faults show up as NaN and infinity instead, which
// the number text prints as NAN and INF.
void SetExtendedPrecision();

#if defined(QMK_HAS_X87)
// The current x87 control word (for tests and diagnostics).
std::uint16_t FpuControlWord();
#endif

}  // namespace qmk
