#include "ui/MemoText.h"

#include <cctype>

#include "runtime/Cp932.h"

namespace qmk {

namespace {

std::int32_t Size(std::string_view text) { return static_cast<std::int32_t>(text.size()); }

bool IsBreakAt(std::string_view text, std::int32_t pos) {
    return pos + 1 < Size(text) && text[pos] == '\r' && text[pos + 1] == '\n';
}

// Character kinds for selecting a word.
enum class Kind { Space, Word, DoubleByte, Other, LineBreak };

Kind KindAt(std::string_view text, std::int32_t pos) {
    if (IsBreakAt(text, pos)) return Kind::LineBreak;
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (CharLengthAt(text, pos) == 2) return Kind::DoubleByte;
    if (byte == ' ' || byte == '\t') return Kind::Space;
    if (std::isalnum(byte) != 0 || byte == '_' || byte >= 0x80) return Kind::Word;
    return Kind::Other;
}

void WrapLogicalLine(std::string_view text, std::int32_t start, std::int32_t end,
                     std::int32_t logicalLine, std::int32_t width, const TTextMeasure& measure,
                     std::vector<TDisplayLine>& lines) {
    if (start == end) {
        lines.push_back({start, 0, logicalLine});
        return;
    }
    std::int32_t pos = start;
    while (pos < end) {
        std::int32_t breakAt = end;
        std::int32_t lastBreak = -1;
        bool previousDoubleByte = false;
        std::int32_t i = pos;
        while (i < end) {
            if (text[i] == ' ') {
                ++i;
                lastBreak = i;
                previousDoubleByte = false;
                continue;
            }
            std::int32_t length = CharLengthAt(text, i);
            if (i + length > end) length = end - i;
            const bool doubleByte = length == 2;
            if (doubleByte && previousDoubleByte && i > pos) lastBreak = i;
            if (i > pos && measure(text.substr(pos, i + length - pos)) > width) {
                breakAt = lastBreak > pos ? lastBreak : i;
                break;
            }
            previousDoubleByte = doubleByte;
            i += length;
        }
        lines.push_back({pos, breakAt - pos, logicalLine});
        pos = breakAt;
    }
}

}  // namespace

std::int32_t CharLengthAt(std::string_view text, std::int32_t pos) {
    if (pos < 0 || pos >= Size(text)) return 0;
    if (IsBreakAt(text, pos)) return 2;
    if (IsDbcsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < Size(text)) return 2;
    return 1;
}

std::int32_t AlignToChar(std::string_view text, std::int32_t pos) {
    if (pos <= 0) return 0;
    if (pos >= Size(text)) return Size(text);
    std::int32_t p = 0;
    while (true) {
        const std::int32_t next = p + CharLengthAt(text, p);
        if (next > pos) return p;
        p = next;
    }
}

std::int32_t PreviousCharPos(std::string_view text, std::int32_t pos) {
    if (pos <= 0) return 0;
    return AlignToChar(text, pos - 1);
}

std::int32_t NextCharPos(std::string_view text, std::int32_t pos) {
    pos = AlignToChar(text, pos);
    return pos + CharLengthAt(text, pos);
}

std::int32_t LogicalLineStart(std::string_view text, std::int32_t index) {
    if (index < 0) return -1;
    std::size_t pos = 0;
    for (std::int32_t line = 0; line < index; ++line) {
        const std::size_t found = text.find("\r\n", pos);
        if (found == std::string_view::npos) return -1;
        pos = found + 2;
    }
    return static_cast<std::int32_t>(pos);
}

std::int32_t LogicalLineLength(std::string_view text, std::int32_t start) {
    if (start < 0 || start > Size(text)) return 0;
    const std::size_t found = text.find("\r\n", static_cast<std::size_t>(start));
    return (found == std::string_view::npos ? Size(text) : static_cast<std::int32_t>(found)) - start;
}

std::vector<TDisplayLine> WrapText(std::string_view text, std::int32_t width,
                                   const TTextMeasure& measure) {
    std::vector<TDisplayLine> lines;
    std::int32_t start = 0;
    for (std::int32_t logical = 0;; ++logical) {
        const std::size_t found = text.find("\r\n", static_cast<std::size_t>(start));
        const std::int32_t end =
            found == std::string_view::npos ? Size(text) : static_cast<std::int32_t>(found);
        WrapLogicalLine(text, start, end, logical, width, measure, lines);
        if (found == std::string_view::npos) break;
        start = end + 2;
    }
    return lines;
}

std::int32_t DisplayLineOf(const std::vector<TDisplayLine>& lines, std::int32_t pos) {
    std::int32_t result = 0;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(lines.size()); ++i) {
        if (lines[i].Start <= pos) result = i;
    }
    return result;
}

void WordAround(std::string_view text, std::int32_t pos, std::int32_t& start, std::int32_t& end) {
    pos = AlignToChar(text, pos);
    if (pos >= Size(text) || (IsBreakAt(text, pos) && pos > 0)) pos = PreviousCharPos(text, pos);
    if (pos >= Size(text) || IsBreakAt(text, pos)) {
        start = end = pos;
        return;
    }
    const Kind kind = KindAt(text, pos);
    start = pos;
    while (start > 0) {
        const std::int32_t previous = PreviousCharPos(text, start);
        if (KindAt(text, previous) != kind) break;
        start = previous;
    }
    end = NextCharPos(text, pos);
    while (end < Size(text) && KindAt(text, end) == kind) end = NextCharPos(text, end);
}

}  // namespace qmk
