// Code page 932 (Shift-JIS) helpers. The program keeps its texts in that
// code page; what lies outside it (the X server, a locale, the terminal)
// speaks UTF-8, and every conversion between the two goes through the one
// pair of functions here, with one rule for what cannot be converted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qmk {

// True for the bytes that start a double-byte character in code page 932
// (0x81 to 0x9F and 0xE0 to 0xFC). Deliberately out of line: the time text
// pays one such call per token, as the platform call it stands for costs.
bool IsDbcsLeadByte(unsigned char byte);

// Byte-for-byte comparison that ignores ASCII case and nothing else.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Conversions that never fail, and the rest of the text is converted:
// - to UTF-8, a byte that starts no character of the code page, or a lead
//   byte whose pair is no character, becomes U+FFFD and only that one
//   byte is passed over (an ASCII byte after a lone lead byte survives);
// - to code page 932, a character the code page lacks becomes "?", and so
//   does each byte of a sequence that is not well-formed UTF-8 (a
//   complete sequence of a code point that UTF-8 forbids is one "?");
//   language tags (U+E0000 to U+E007F) are dropped.
// A character that code page 932 holds under several codes is written
// with the one of the JIS X 0208 rows first, then the NEC row 13, then
// the IBM extensions 0xFA to 0xFC, then their NEC-selected copies; the
// JIS X 0208 forms of nine characters (such as U+301C WAVE DASH) are
// written as the code page's own (0x8160).
std::string Cp932ToUtf8(std::string_view text);
std::string Utf8ToCp932(std::string_view text);
// The same conversion to code page 932, without replacements: nothing when
// some part of the text would have become "?".
std::optional<std::string> Utf8ToCp932Exactly(std::string_view text);

}  // namespace qmk
