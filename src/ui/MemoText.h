// The text model of the read-only multi-line box: logical lines separated by
// CR LF, their wrapping into display lines at the box's width, and caret
// steps that treat a double-byte character and a line break as one unit.
// Kept apart from the control so the rules can be tested without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qmk {

// Width in pixels of a piece of code page 932 text in the box's font.
using TTextMeasure = std::function<std::int32_t(std::string_view)>;

struct TDisplayLine {
    std::int32_t Start = 0;   // byte offset into the text
    std::int32_t Length = 0;  // bytes shown, without the line break
    std::int32_t LogicalLine = 0;
    friend bool operator==(const TDisplayLine&, const TDisplayLine&) = default;
};

// Byte length of the character at pos: 2 for a double-byte character and
// for CR LF, else 1 (0 at the end).
std::int32_t CharLengthAt(std::string_view text, std::int32_t pos);
// The caret position one character before pos (never inside a double-byte
// character or between CR and LF).
std::int32_t PreviousCharPos(std::string_view text, std::int32_t pos);
std::int32_t NextCharPos(std::string_view text, std::int32_t pos);
// Moves pos back onto a character boundary at or before it.
std::int32_t AlignToChar(std::string_view text, std::int32_t pos);

// Offset of the first byte of logical line index, or -1 when the text has
// no such line. The empty line after a final line break counts.
std::int32_t LogicalLineStart(std::string_view text, std::int32_t index);
// Bytes of the logical line that starts at start, without its line break.
std::int32_t LogicalLineLength(std::string_view text, std::int32_t start);

// Breaks every logical line into display lines no wider than width: after a
// run of spaces (spaces may hang past the edge), between two double-byte
// characters, and, for a word longer than the line, between any two
// characters. Every display line holds at least one character, so a width
// below one character still makes progress.
std::vector<TDisplayLine> WrapText(std::string_view text, std::int32_t width,
                                   const TTextMeasure& measure);

// Index of the display line that holds pos (a caret at a wrap point belongs
// to the line it starts).
std::int32_t DisplayLineOf(const std::vector<TDisplayLine>& lines, std::int32_t pos);

// The word around pos for a double-click: a run of characters of one kind
// (spaces, single-byte word characters, double-byte characters, others).
void WordAround(std::string_view text, std::int32_t pos, std::int32_t& start, std::int32_t& end);

}  // namespace qmk
