#include "runtime/TimeText.h"

#include <gtest/gtest.h>

#include "KernelFixture.h"

namespace qmk {
namespace {

namespace li = platform::locale_item;

class TimeTextTest : public KernelFixture {
protected:
    static TimeValue At(int h, int m, int s, int ms = 0) {
        return TimeFromFields(static_cast<std::uint16_t>(h), static_cast<std::uint16_t>(m),
                              static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(ms));
    }
    static std::string Expand(std::string_view pattern, TimeValue value) {
        return ExpandPattern(pattern, value).ToString();
    }
};

struct LocaleRow {
    const char* Format;  // nullptr: the read fails
    const char* Separator;
    const char* Am;
    const char* Pm;
    int H, M, S, Ms;
    const char* Expected;
};

TEST_F(TimeTextTest, TextOfLocaleFormats) {
    const LocaleRow rows[] = {
        {nullptr, ":", nullptr, nullptr, 9, 5, 7, 250, "09:05:07"},
        {"H:mm:ss", ":", nullptr, nullptr, 9, 5, 7, 250, "9:05:07"},
        {"H:mm:ss", ":", nullptr, nullptr, 0, 0, 0, 0, "0:00:00"},
        {"H:mm:ss", ":", nullptr, nullptr, 13, 5, 7, 0, "13:05:07"},
        {"h:mm:ss tt", ":", "AM", "PM", 0, 30, 0, 0, "12:30:00 AM"},
        {"h:mm:ss tt", ":", "AM", "PM", 13, 5, 7, 0, "1:05:07 PM"},
        {"h:mm:ss tt", ":", "AM", "PM", 12, 0, 0, 0, "12:00:00 PM"},
        {"h:mm:ss tt", ":", "AM", "PM", 11, 59, 59, 999, "11:59:59 AM"},
        {"h:mm:ss t", ":", nullptr, nullptr, 13, 5, 7, 0, "1:05:07 p"},
        {"h:mm:ss t", ":", nullptr, nullptr, 1, 5, 7, 0, "1:05:07 a"},
        {"HH.mm.ss", ".", nullptr, nullptr, 13, 5, 7, 0, "13.05.07"},
        {"tt h:mm:ss", ":", "AM", "PM", 13, 5, 7, 0, "PM 1:05:07"},
        {"h:mm:ss tt", ":", "", "PM", 9, 5, 7, 0, "9:05:07 "},
        {"H:mm", ":", nullptr, nullptr, 13, 5, 59, 999, "13:05"},
        {"HH' h 'mm", ":", nullptr, nullptr, 8, 5, 0, 0, "08 h 05"},
        // ja_JP: 時 分 秒 between the fields, quoted by the kernel.
        {"HH'\x8e\x9e'mm'\x95\xaa'ss'\x95\x62'", ":", nullptr, nullptr, 13, 5, 7, 0,
         "13\x8e\x9e" "05\x95\xaa" "07\x95\x62"},
    };
    for (const LocaleRow& row : rows) {
        std::vector<std::pair<std::uint32_t, std::string>> items{{li::TimeSeparator, row.Separator}};
        if (row.Format) items.push_back({li::TimeFormat, row.Format});
        if (row.Am) items.push_back({li::AmText, row.Am});
        if (row.Pm) items.push_back({li::PmText, row.Pm});
        ReadSettings(items);
        EXPECT_EQ(TimeText(At(row.H, row.M, row.S, row.Ms)).ToString(), row.Expected)
            << (row.Format ? row.Format : "(default)");
        EXPECT_TRUE(kernel_.LocaleCalls().empty()) << "TimeText must not read the locale";
    }
}

TEST_F(TimeTextTest, SecondBoundaryChangesTheText) {
    ReadSettings({});
    EXPECT_EQ(TimeText(At(9, 5, 7, 0)), TimeText(At(9, 5, 7, 999)));
    EXPECT_FALSE(TimeText(At(9, 5, 7, 999)) == TimeText(At(9, 5, 8, 0)));
    EXPECT_FALSE(TimeText(At(23, 59, 59, 999)) == TimeText(At(0, 0, 0, 0)));
}

TEST_F(TimeTextTest, WithoutSecondsTheTextChangesPerMinute) {
    ReadSettings({{li::TimeFormat, "H:mm"}});
    EXPECT_EQ(TimePatternLong, "H:mm");
    EXPECT_EQ(TimeText(At(9, 5, 0, 0)), TimeText(At(9, 5, 59, 999)));
    EXPECT_FALSE(TimeText(At(9, 5, 59, 999)) == TimeText(At(9, 6, 0, 0)));
}

struct PatternRow {
    const char* Pattern;
    int H, M, S;
    const char* Expected;
};

TEST_F(TimeTextTest, PatternTokens) {
    ReadSettings({{li::AmText, "AM"}, {li::PmText, "PM"}});
    const PatternRow rows[] = {
        {"hH", 9, 5, 7, "99"},             // two hour runs of one
        {"hhh", 9, 5, 7, "09"},            // capped at two digits
        {"h:m:s", 9, 5, 7, "9:5:7"},
        {"hh:nn:ss", 9, 5, 7, "09:05:07"},
        {"hh:mm", 9, 5, 7, "09:05"},       // m right after h is minutes
        {"h am/pm", 0, 5, 7, "12 am"},
        {"h AM/PM", 13, 5, 7, "1 PM"},
        {"h a/p", 13, 5, 7, "1 p"},
        {"h A/P", 9, 5, 7, "9 A"},
        {"AMPM h", 12, 0, 0, "PM 12"},     // marker before the hour
        {"h ampm", 0, 0, 0, "12 AM"},
        {"h 'am/pm'", 13, 0, 0, "13 am/pm"},  // quoted marker is text
        {"h \"x\" h", 13, 0, 0, "13 x 13"},
        {"h 'unclosed", 13, 0, 0, "13 unclosed"},
        {"hh \"", 13, 0, 0, "13 "},
        {"x!", 13, 0, 0, "x!"},             // other bytes pass as written
        {"Ax", 13, 0, 0, "Ax"},
        {"h a", 13, 0, 0, "13 a"},          // an A alone is no marker
        {"h ax h am/pm", 13, 0, 0, "13 ax 1 pm"},  // look-ahead stops at the next hour
    };
    for (const PatternRow& row : rows) {
        EXPECT_EQ(Expand(row.Pattern, At(row.H, row.M, row.S)), row.Expected) << row.Pattern;
    }
}

TEST_F(TimeTextTest, NestedTimePatternsAndDepthLimit) {
    ReadSettings({{li::TimeFormat, "H:mm:ss"}});
    EXPECT_EQ(Expand("t", At(13, 5, 7)), "13:05");
    EXPECT_EQ(Expand("tt", At(13, 5, 7)), "13:05:07");
    EXPECT_EQ(Expand("[tt]", At(13, 5, 7)), "[13:05:07]");
    // A nested pattern that refers to patterns again gets nothing from them.
    TimePatternLong = "<tt>";
    TimePatternShort = "(t)";
    EXPECT_EQ(Expand("tt", At(13, 5, 7)), "<>");
    EXPECT_EQ(Expand("t|tt", At(13, 5, 7)), "()|<>");
}

TEST_F(TimeTextTest, SeparatorTokenUsesTheSetting) {
    ReadSettings({{li::TimeSeparator, "."}, {li::TimeFormat, "HH.mm.ss"}});
    EXPECT_EQ(TimePatternLong, "HH:mm:ss");
    EXPECT_EQ(Expand("h:n", At(13, 5, 7)), "13.5");
}

TEST_F(TimeTextTest, OutputIsCutAt256Bytes) {
    std::string pattern(300, 'x');
    EXPECT_EQ(Expand(pattern, 0.5), std::string(256, 'x'));
    std::string hours;
    for (int i = 0; i < 200; ++i) hours += "hh ";
    std::string text = Expand(hours, At(13, 0, 0));
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(text.substr(0, 6), "13 13 ");
    EXPECT_EQ(text.substr(252), "13 1");
    // Long zero padding is cut too.
    EXPECT_EQ(Expand(std::string(400, 'e'), 0.5).size(), 256u);
}

TEST_F(TimeTextTest, DoubleByteCharacters) {
    ReadSettings({});
    // あ (0x82 0xA0) outside quotes is copied whole; its trail byte is no token.
    EXPECT_EQ(Expand("hh\x82\xa0nn", At(13, 5, 7)), "13\x82\xa0" "05");
    // A trail byte that looks like a token (0x68, h) stays part of its character.
    EXPECT_EQ(Expand("\x83\x68:ss", At(13, 5, 7)), "\x83\x68:07");
    // The character resets the previous letter: m after it is a month, not minutes.
    EXPECT_EQ(Expand("h\x82\xa0mm", At(13, 5, 7)), "13\x82\xa0" "12");
    // A lead byte as the last byte ends the pattern.
    EXPECT_EQ(Expand("hh\x82", At(13, 5, 7)), "13");
    EXPECT_EQ(Expand(std::string_view("hh\x82\0ss", 5), At(13, 5, 7)), "13");
}

TEST_F(TimeTextTest, PatternEndsAtZeroByte) {
    ReadSettings({});
    EXPECT_EQ(Expand(std::string_view("hh\0ss", 5), At(13, 5, 7)), "13");
    EXPECT_EQ(Expand(std::string_view("'ab\0c'", 6), At(13, 5, 7)), "ab");
}

TEST_F(TimeTextTest, DateTokens) {
    ReadSettings({{li::DateSeparator, "-"}, {li::ShortDate, "yyyy/mm/dd"}});
    TimeValue value = 36526.75;  // Saturday 2000-01-01 18:00:00
    EXPECT_EQ(Expand("yyyy/mm/dd", value), "2000-01-01");
    EXPECT_EQ(Expand("yy m d", value), "00 1 1");
    EXPECT_EQ(Expand("mmm mmmm ddd dddd aaa aaaa", value),
              "Jan January Sat Saturday Sat Saturday");
    EXPECT_EQ(Expand("ddddd", value), "2000-01-01");
    EXPECT_EQ(Expand("c", value), "2000-01-01 18:00:00");
    EXPECT_EQ(Expand("c", 36526.0), "2000-01-01");         // midnight: no time
    EXPECT_EQ(Expand("", 36526.0), "2000-01-01");          // empty pattern means "C"
    EXPECT_EQ(Expand("g", value), "");
    EXPECT_EQ(Expand("e", value), "2000");
    EXPECT_EQ(Expand("yyyy", 0.0), "1899");
    EXPECT_EQ(Expand("yyyy.mm.dd", 2958465.0), "9999.12.31");
    // Values outside the calendar have no date but still a time.
    EXPECT_EQ(Expand("yyyy mm dd hh", 1e300), "   07");
}

TEST_F(TimeTextTest, EachConversionAllocatesItsOwnBlock) {
    ReadSettings({});
    Text a = TimeText(0.5);
    Text b = TimeText(0.5);
    EXPECT_EQ(a, b);
    EXPECT_NE(a.Data(), b.Data());
    Text empty = ExpandPattern("''", 0.5);
    EXPECT_TRUE(empty.Empty());
    EXPECT_NE(empty.Data(), nullptr);
    EXPECT_FALSE(empty == a);
    EXPECT_EQ(empty, Text(std::string_view()));
}

}  // namespace
}  // namespace qmk
