// Any 80-bit pattern (including encodings arithmetic never makes), any
// precision and digits: FixedText must stay inside its 64-byte buffer and
// give digits, INF or NAN. Input: 10 bytes of the value, 4 of precision,
// 4 of digits.
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 18) return 0;
    std::uint64_t significand;
    std::uint16_t top;
    std::int32_t precision;
    std::int32_t digits;
    std::memcpy(&significand, data, 8);
    std::memcpy(&top, data + 8, 2);
    std::memcpy(&precision, data + 10, 4);
    std::memcpy(&digits, data + 14, 4);
    // Callers pass digits of 0 or more; keep the range the result lines use
    // and a little beyond.
    digits = static_cast<std::int32_t>(static_cast<std::uint32_t>(digits) % 64);
    qmk::Extended value = qmk::Extended::FromBits((top & 0x8000) != 0, top & 0x7FFF, significand);
    std::string text = qmk::FixedText(value, precision, digits);
    if (text.empty() || text.size() > 64) __builtin_trap();
    qmk::DecimalForm form = qmk::ToDecimalForm(value, precision, digits);
    if (std::strlen(form.DigitText) > 18) __builtin_trap();
    return 0;
}
