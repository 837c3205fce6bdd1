#include "runtime/LocaleSettings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "KernelFixture.h"
#include "support/Readable.h"

namespace qmk {
namespace {

namespace li = platform::locale_item;
using LocaleSettingsTest = KernelFixture;
using Call = platform::ScriptedKernel::LocaleCall;

TEST_F(LocaleSettingsTest, ReadsEveryItemInOrderWithItsBufferSize) {
    ReadLocaleSettings();
    const std::vector<Call> expected = {
        {li::Currency, 256},          {li::CurrencyFormat, 256}, {li::NegCurrencyFormat, 256},
        {li::ThousandSeparator, 2},   {li::DecimalSeparator, 2}, {li::CurrencyDigits, 256},
        {li::DateSeparator, 2},       {li::TimeSeparator, 2},    {li::ShortDate, 256},
        {li::LongDate, 256},          {li::AmText, 256},         {li::PmText, 256},
        {li::TimeFormat, 256},        {li::TimeFormat, 256},
    };
    EXPECT_EQ(kernel_.LocaleCalls(), expected);
}

TEST_F(LocaleSettingsTest, FailedReadsGiveTheDefaults) {
    ReadSettings({});
    EXPECT_EQ(CurrencyText, "");
    EXPECT_EQ(CurrencyFormat, 0);
    EXPECT_EQ(NegativeCurrencyFormat, 0);
    EXPECT_EQ(ThousandSeparatorChar, ',');
    EXPECT_EQ(DecimalSeparatorChar, '.');
    EXPECT_EQ(CurrencyDecimals, 0);
    EXPECT_EQ(DateSeparatorChar, '/');
    EXPECT_EQ(TimeSeparatorChar, ':');
    EXPECT_EQ(DatePatternShort, "m/d/yy");
    EXPECT_EQ(AmText, "am");
    EXPECT_EQ(PmText, "pm");
    EXPECT_EQ(TimePatternShort, "hh:mm");
    EXPECT_EQ(TimePatternLong, "hh:mm:ss");
}

TEST_F(LocaleSettingsTest, TakesTheLocaleAnswers) {
    ReadSettings({{li::Currency, test::Stored("￥")},
                  {li::CurrencyFormat, "3"},
                  {li::NegCurrencyFormat, "8"},
                  {li::ThousandSeparator, "."},
                  {li::DecimalSeparator, ","},
                  {li::CurrencyDigits, "2"},
                  {li::DateSeparator, "-"},
                  {li::TimeSeparator, "."},
                  {li::ShortDate, "dd.MM.yyyy"},
                  {li::AmText, test::Stored("午前")},
                  {li::PmText, test::Stored("午後")},
                  {li::TimeFormat, "HH.mm.ss"}});
    EXPECT_EQ(test::Readable(CurrencyText), "￥");
    EXPECT_EQ(CurrencyFormat, 3);
    EXPECT_EQ(NegativeCurrencyFormat, 8);
    EXPECT_EQ(ThousandSeparatorChar, '.');
    EXPECT_EQ(DecimalSeparatorChar, ',');
    EXPECT_EQ(CurrencyDecimals, 2);
    EXPECT_EQ(DateSeparatorChar, '-');
    EXPECT_EQ(TimeSeparatorChar, '.');
    EXPECT_EQ(DatePatternShort, "dd.MM.yyyy");
    EXPECT_EQ(test::Readable(AmText), "午前");
    EXPECT_EQ(test::Readable(PmText), "午後");
    EXPECT_EQ(TimePatternShort, "HH:mm");
    EXPECT_EQ(TimePatternLong, "HH:mm:ss");
}

TEST_F(LocaleSettingsTest, LongSeparatorsAndEmptyTexts) {
    // Separators of more than one byte do not fit the 2-byte buffer.
    ReadSettings({{li::DecimalSeparator, ",,"},
                  {li::TimeSeparator, test::Stored("時")},
                  {li::AmText, ""},
                  {li::PmText, ""},
                  {li::CurrencyFormat, "x"}});
    EXPECT_EQ(DecimalSeparatorChar, '.');
    EXPECT_EQ(TimeSeparatorChar, ':');
    EXPECT_EQ(AmText, "");  // empty answer is a value, not a failure
    EXPECT_EQ(PmText, "");
    EXPECT_EQ(CurrencyFormat, 0);
}

// A kernel that misreports its counts must not make the reader overrun.
class LyingKernel : public platform::ScriptedKernel {
public:
    int GetLocaleInfo(std::uint32_t, char* buffer, int size) override {
        std::memset(buffer, 'x', static_cast<std::size_t>(size));
        return 100000;
    }
};

TEST_F(LocaleSettingsTest, CountsBeyondTheBufferAreCut) {
    LyingKernel lying;
    platform::ScopedBackend scope(platform::Backend{nullptr, nullptr, &lying});
    ReadLocaleSettings();
    EXPECT_EQ(AmText, std::string(256, 'x'));
    EXPECT_EQ(DecimalSeparatorChar, 'x');
}

struct AdaptRow {
    const char* Format;
    char Separator;
    const char* Long;
    const char* Short;
};

TEST_F(LocaleSettingsTest, AdaptTimeFormat) {
    const AdaptRow rows[] = {
        {"H:mm:ss", ':', "H:mm:ss", "H:mm"},
        {"h:mm:ss tt", ':', "h:mm:ss AMPM", "h:mm AMPM"},
        {"tt h:mm:ss", ':', "AMPM h:mm:ss", "AMPM h:mm"},
        {"HH.mm.ss", '.', "HH:mm:ss", "HH:mm"},
        {"hh:mm:ss", ':', "hh:mm:ss", "hh:mm"},
        {"hh:mm", ':', "hh:mm", "hh:mm"},
        {"h:mm:ss t", ':', "h:mm:ss a/p", "h:mm a/p"},
        {"HH:MM:SS TT", ':', "HH:MM:ss AMPM", "HH:MM AMPM"},  // a matched SS is written lower-case
        {"HH'h'mm'ss'ss", ':', "HH'h'mm'ss'ss", "HH'h'mm'ss'"},
        {"HH\x8e\x9emm", ':', "HH\x8e\x9emm", "HH\x8e\x9emm"},
        {"HH\x8e", ':', "HH\x8e", "HH\x8e"},  // a lead byte at the end stays alone
        {"ss", ':', "ss", ""},
        {"H:", ':', "H:", "H:"},
        {"H:s", ':', "H:s", "H:s"},
        {"'tt", ':', "'tt", "'tt"},
        {"", ':', "", ""},
    };
    for (const AdaptRow& row : rows) {
        TimeSeparatorChar = row.Separator;
        EXPECT_EQ(AdaptTimeFormat(row.Format, true), row.Long) << row.Format;
        EXPECT_EQ(AdaptTimeFormat(row.Format, false), row.Short) << row.Format;
    }
}

TEST_F(LocaleSettingsTest, QuotedLiteralSurvivesIntoTheText) {
    ReadSettings({{li::TimeFormat, "HH' Uhr 'mm"}});
    EXPECT_EQ(TimePatternLong, "HH' Uhr 'mm");
}

}  // namespace
}  // namespace qmk
