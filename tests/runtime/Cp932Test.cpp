#include "runtime/Cp932.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "runtime/MulDiv.h"
#include "runtime/Text.h"

namespace qmk {
namespace {

TEST(Cp932Test, LeadBytes) {
    for (int byte = 0; byte < 256; ++byte) {
        bool expected = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(IsDbcsLeadByte(static_cast<unsigned char>(byte)), expected) << byte;
    }
}

TEST(Cp932Test, AsciiCaseOnly) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase("AmPm", "aMpM"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("tt", "t"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));  // 0x40 and 0x60 differ by case bit only
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xc1", "\xe1"));
    EXPECT_TRUE(EqualsIgnoringAsciiCase("", ""));
}

struct ConversionRow {
    const char* Cp932;
    const char* Utf8;
};

TEST(Cp932Test, RoundTrips) {
    const ConversionRow rows[] = {
        {"\x83\x58\x83\x5e\x81\x5b\x83\x67", "スタート"},
        {"\x82\x62\x82\x6f\x82\x74\x81\x46", "ＣＰＵ："},
        {"\xba\xdd", "ｺﾝ"},
        {"abc", "abc"},
        {"", ""},
    };
    for (const ConversionRow& row : rows) {
        EXPECT_EQ(Cp932ToUtf8(row.Cp932), row.Utf8);
        EXPECT_EQ(Utf8ToCp932(row.Utf8), row.Cp932);
    }
}

TEST(Cp932Test, InvalidInputIsReplaced) {
    const ConversionRow toUtf8[] = {
        {"a\x82", "a\uFFFD"},          // lead byte at the end
        {"\x82\x20z", "\uFFFD z"},     // bad trail byte: only the lead byte goes
        {"\x85\x40", "\uFFFD@"},       // a pair of an empty row
        {"\x81\x7f", "\uFFFD\x7f"},    // 0x7F is never a trail byte
        {"\x80\xa0\xfd\xfe\xff", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // no characters
    };
    for (const ConversionRow& row : toUtf8) EXPECT_EQ(Cp932ToUtf8(row.Cp932), row.Utf8) << row.Utf8;
    const ConversionRow toCp932[] = {
        {"a?b", "a\u20AC" "b"},        // € has no code page 932 form
        {"a?", "a\xC3"},               // cut-off sequence
        {"??x", "\xFF\xFEx"},          // stray bytes, one "?" each
        {"?x", "\xED\xA0\x80x"},       // a surrogate: one forbidden code point
        {"?x", "\xE0\x80\x80x"},       // an overlong form
        {"??", "\xE3\x81"},            // cut short by the end: one "?" a byte
        {"ab", "a\U000E0041b"},        // language tags are dropped
    };
    for (const ConversionRow& row : toCp932) EXPECT_EQ(Utf8ToCp932(row.Utf8), row.Cp932) << row.Cp932;
    const std::string big(10000, '\x85');  // lead bytes of an empty row
    EXPECT_EQ(Cp932ToUtf8(big).size(), 10000u * 3);
}

// A character held under several codes is written with the JIS X 0208
// one, then NEC row 13, then the IBM extensions, then their NEC copies;
// the JIS forms of a few characters the code page holds as others.
TEST(Cp932Test, CharactersOfSeveralCodesAreWrittenWithThePreferredOne) {
    const ConversionRow rows[] = {
        {"\x81\xe0", "\u2252"},  // ≒: 0x81E0, not NEC 0x8790
        {"\x81\xca", "\uFFE2"},  // ￢: 0x81CA, not 0xEEF9 or 0xFA54
        {"\x87\x54", "\u2160"},  // Ⅰ: NEC 0x8754, not IBM 0xFA4A
        {"\xfa\x40", "\u2170"},  // ⅰ: IBM 0xFA40, not NEC's copy 0xEEEF
        {"\xfa\x5c", "\u7e8a"},  // 纊: IBM 0xFA5C, not 0xED40
        {"\x81\x60", "\u301C"},  // WAVE DASH as FULLWIDTH TILDE
        {"\\", "\u00A5"},        // YEN SIGN as the byte 0x5C
        {"\x81\x7c", "\u2212"},  // MINUS SIGN as FULLWIDTH HYPHEN-MINUS
    };
    for (const ConversionRow& row : rows) EXPECT_EQ(Utf8ToCp932(row.Utf8), row.Cp932) << row.Utf8;
    EXPECT_EQ(Cp932ToUtf8("\xed\x40\xee\xef\x87\x90"), "\u7e8a\u2170\u2252");
}

// Every code of the code page reads as one character, and that character
// is written back as a code that reads the same.
TEST(Cp932Test, EveryCharacterOfTheCodePageRoundTrips) {
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsDbcsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string utf8 = Cp932ToUtf8(code);
            if (utf8.find("\uFFFD") != std::string::npos) continue;
            ++characters;
            const std::string back = Utf8ToCp932(utf8);
            ASSERT_EQ(Cp932ToUtf8(back), utf8) << lead << " " << trail;
            ASSERT_EQ(back.size(), 2u) << lead << " " << trail;
        }
    }
    for (int byte = 0xA1; byte <= 0xDF; ++byte) {
        const std::string code(1, static_cast<char>(byte));
        EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(code)), code);
    }
    // JIS X 0208, NEC row 13, the IBM extensions, their NEC copies and the
    // user-defined area.
    EXPECT_EQ(characters, 9604);
}

TEST(Cp932Test, ExactConversionRefusesWhatWouldBeReplaced) {
    EXPECT_EQ(Utf8ToCp932Exactly("\u5348\u524d 12:00"), std::optional<std::string>("\x8c\xdf\x91\x4f 12:00"));
    EXPECT_EQ(Utf8ToCp932Exactly(""), std::optional<std::string>(""));
    EXPECT_EQ(Utf8ToCp932Exactly("a\u20AC"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932Exactly("a\xC3"), std::nullopt);
}

TEST(MulDivTest, RoundsHalvesAwayFromZero) {
    struct Row {
        std::int32_t A, B, C, Result;
    };
    const Row rows[] = {
        {10, 96, 96, 10},   {13, 120, 96, 16},  {5, 3, 2, 8},      {-5, 3, 2, -8},
        {5, -3, 2, -8},     {-5, -3, 2, 8},     {7, 1, 3, 2},      {8, 1, 3, 3},
        {1, 1, 0, -1},      {2147483647, 2, 1, -1}, {2147483647, 2147483647, 2147483647, 2147483647},
        {-2147483647 - 1, 1, 1, -2147483647 - 1}, {-2147483647 - 1, -1, 1, -1},
        {100, 100, -3, -3333}, {0, 5, 7, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MulDiv(row.A, row.B, row.C), row.Result) << row.A << "*" << row.B << "/" << row.C;
    }
}

TEST(TextTest, ComparesByLengthAndBytes) {
    Text a(std::string_view("12:00:00"));
    Text b(std::string_view("12:00:00"));
    Text c(std::string_view("12:00:0"));
    Text d(std::string_view("12:00:01"));
    EXPECT_EQ(a, b);
    EXPECT_FALSE(a == c);
    EXPECT_FALSE(a == d);
    EXPECT_EQ(Text(), Text(std::string_view()));
    EXPECT_FALSE(Text(std::string_view("\0", 1)) == Text());
}

TEST(TextTest, CopiesOwnTheirBytesAndMovesReleaseAtOnce) {
    Text a(std::string_view("abc"));
    Text copy = a;
    EXPECT_NE(copy.Data(), a.Data());
    EXPECT_EQ(copy, a);
    Text target(std::string_view("old"));
    const char* moved = a.Data();
    target = std::move(a);
    EXPECT_EQ(target.Data(), moved);
    EXPECT_EQ(target.View(), "abc");
    target = target;  // self-assignment keeps the text
    EXPECT_EQ(target.View(), "abc");
}

}  // namespace
}  // namespace qmk
