// Texts from files as outputs may show them, and numbers written the same
// whatever the locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qmk::results {

// The length of the UTF-8 sequence at the start of text and its code
// point; 0 when the bytes there are not a valid, shortest sequence.
std::size_t DecodeUtf8(std::string_view text, char32_t& code);
// Characters a terminal would act on or that hide what a text says: the C1
// controls (0x9B starts an escape sequence), line and paragraph separators,
// zero-width, direction and annotation marks, and the byte order mark.
bool IsInvisible(char32_t code);
// prefix, value in the given number of lowercase hex digits, suffix.
void AppendHex(std::string& out, const char* prefix, std::uint32_t value, int digits, const char* suffix);

// Valid UTF-8 as it is; control characters, DEL and bytes that are not
// UTF-8 as \xHH; characters that hide or reorder text (zero-width, bidi
// controls, line separators, C1 controls) as \u{HHHH}. What a label
// holds can then neither act on a terminal nor disguise itself.
std::string VisibleText(std::string_view text);

// VisibleText with & < > " ' as character references: safe in HTML and
// XML text and in attribute values.
std::string MarkupText(std::string_view text);

// Fixed notation with the given number of places, always with '.'.
std::string Fixed(double value, int places);
// The shortest text that reads back as the same double, always with '.';
// whole numbers without a fraction.
std::string Number(double value);

}  // namespace qmk::results
