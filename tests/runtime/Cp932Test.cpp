#include "runtime/Cp932.h"

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
    EXPECT_EQ(Cp932ToUtf8("a\x82"), "a\xEF\xBF\xBD");              // lead byte at the end
    EXPECT_EQ(Cp932ToUtf8("\x82\x20z"), "\xEF\xBF\xBD z");         // bad trail byte
    EXPECT_EQ(Utf8ToCp932("a\xE2\x82\xAC" "b"), "a?b");            // € has no code page 932 form
    EXPECT_EQ(Utf8ToCp932("a\xC3"), "a?");                         // cut-off sequence
    EXPECT_EQ(Utf8ToCp932("\xFF\xFEx"), "??x");
    std::string big(10000, '\x82');
    EXPECT_FALSE(Cp932ToUtf8(big).empty());
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
