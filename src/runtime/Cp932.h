// Code page 932 (Shift-JIS) helpers: the program keeps its texts in that
// code page; the platform (X11, the locale) speaks UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace qmk {

// True for the bytes that start a double-byte character in code page 932
// (0x81 to 0x9F and 0xE0 to 0xFC). Deliberately out of line: the time text
// pays one such call per token, as the platform call it stands for costs.
bool IsDbcsLeadByte(unsigned char byte);

// Byte-for-byte comparison that ignores ASCII case and nothing else.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Conversions that never fail: a byte sequence that is not valid in the
// source becomes U+FFFD (to UTF-8) or "?" (to code page 932), and the rest
// of the text is converted.
std::string Cp932ToUtf8(std::string_view text);
std::string Utf8ToCp932(std::string_view text);

}  // namespace qmk
