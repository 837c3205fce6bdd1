// Wrapping and caret steps of the memo's text model, with a measure of one
// pixel per single-byte and two per double-byte character.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/Readable.h"
#include "ui/MemoText.h"

namespace qmk {
namespace {

// Four double-byte characters.
const std::string Kana4 = test::Stored("あいうえ");

std::int32_t Measure(std::string_view text) {
    std::int32_t width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
            width += 2;
            ++i;
        } else {
            ++width;
        }
    }
    return width;
}

std::vector<std::string> Wrapped(const std::string& text, int width) {
    std::vector<std::string> shown;
    for (const TDisplayLine& line : WrapText(text, width, Measure)) {
        shown.push_back(text.substr(line.Start, line.Length));
    }
    return shown;
}

struct WrapCase {
    const char* Name;
    std::string Text;
    int Width;
    std::vector<std::string> Lines;
};

class WrapTextTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTextTest, BreaksWhereExpected) {
    EXPECT_EQ(Wrapped(GetParam().Text, GetParam().Width), GetParam().Lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapTextTest,
    ::testing::Values(
        WrapCase{"FitsExactly", "abc def", 7, {"abc def"}},
        WrapCase{"BreaksAfterSpace", "abc def", 6, {"abc ", "def"}},
        WrapCase{"SpacesHangPastTheEdge", "abc   def", 4, {"abc   ", "def"}},
        WrapCase{"LongWordByCharacters", "abcdefgh", 3, {"abc", "def", "gh"}},
        WrapCase{"WordAfterShortWordKeptWhole", "a bcdef", 4, {"a ", "bcde", "f"}},
        WrapCase{"DoubleByteRunBreaksBetweenCharacters", Kana4, 5,
                 {"\x82\xa0\x82\xa2", "\x82\xa4\x82\xa6"}},
        WrapCase{"NeverSplitsADoubleByteCharacter", Kana4, 3,
                 {"\x82\xa0", "\x82\xa2", "\x82\xa4", "\x82\xa6"}},
        WrapCase{"ZeroWidthStillMakesProgress", "ab", 0, {"a", "b"}},
        WrapCase{"EmptyLineAfterFinalBreak", "ab\r\ncd\r\n", 10, {"ab", "cd", ""}},
        WrapCase{"LogicalLinesWrapSeparately", "abcdef\r\ngh", 4, {"abcd", "ef", "gh"}},
        WrapCase{"EmptyText", "", 10, {""}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(WrapText, DisplayLinesKnowTheirLogicalLine) {
    const auto lines = WrapText("abcdef\r\ngh\r\n", 4, Measure);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], (TDisplayLine{0, 4, 0}));
    EXPECT_EQ(lines[1], (TDisplayLine{4, 2, 0}));
    EXPECT_EQ(lines[2], (TDisplayLine{8, 2, 1}));
    EXPECT_EQ(lines[3], (TDisplayLine{12, 0, 2}));
}

TEST(LogicalLines, CountLinesBetweenBreaksNotWrappedLines) {
    const std::string text = "0123456789\r\nxy\r\n";
    EXPECT_EQ(LogicalLineStart(text, 0), 0);
    EXPECT_EQ(LogicalLineStart(text, 1), 12);
    EXPECT_EQ(LogicalLineStart(text, 2), 16);  // the empty line after the last break
    EXPECT_EQ(LogicalLineStart(text, 3), -1);
    EXPECT_EQ(LogicalLineStart(text, -1), -1);
    EXPECT_EQ(LogicalLineLength(text, 0), 10);
    EXPECT_EQ(LogicalLineLength(text, 12), 2);
    EXPECT_EQ(LogicalLineLength(text, 16), 0);
}

TEST(CaretSteps, TreatDoubleByteCharactersAndLineBreaksAsUnits) {
    // a あ \r\n い b
    const std::string text = "a\x82\xa0\r\n\x82\xa2" "b";
    std::vector<std::int32_t> forward;
    for (std::int32_t pos = 0; pos < static_cast<std::int32_t>(text.size()); pos = NextCharPos(text, pos)) {
        forward.push_back(pos);
    }
    EXPECT_EQ(forward, (std::vector<std::int32_t>{0, 1, 3, 5, 7}));
    std::vector<std::int32_t> backward;
    for (std::int32_t pos = static_cast<std::int32_t>(text.size()); pos > 0;) {
        pos = PreviousCharPos(text, pos);
        backward.push_back(pos);
    }
    EXPECT_EQ(backward, (std::vector<std::int32_t>{7, 5, 3, 1, 0}));
    // A position inside a character or a line break moves back onto its start.
    EXPECT_EQ(AlignToChar(text, 2), 1);
    EXPECT_EQ(AlignToChar(text, 4), 3);
}

TEST(WordAround, SelectsARunOfOneKind) {
    const std::string text = "abc def\x82\xa0\x82\xa2!";
    std::int32_t start = 0, end = 0;
    WordAround(text, 1, start, end);
    EXPECT_EQ(text.substr(start, end - start), "abc");
    WordAround(text, 5, start, end);
    EXPECT_EQ(text.substr(start, end - start), "def");
    WordAround(text, 9, start, end);
    EXPECT_EQ(text.substr(start, end - start), "\x82\xa0\x82\xa2");
}

}  // namespace
}  // namespace qmk
