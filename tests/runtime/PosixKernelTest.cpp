#include "platform/posix/PosixKernel.h"

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/recording/ScriptedKernel.h"
#include "runtime/Clock.h"
#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"
#include "runtime/TimeText.h"
#include "support/Readable.h"

namespace qmk {
namespace {

namespace li = platform::locale_item;
using platform::PosixKernel;

std::string Item(PosixKernel& kernel, std::uint32_t item, int size = 256) {
    char buffer[256];
    int result = kernel.GetLocaleInfo(item, buffer, size);
    if (result <= 0) return "<fail>";
    EXPECT_EQ(buffer[result - 1], '\0');
    return std::string(buffer, static_cast<std::size_t>(result - 1));
}

std::unique_ptr<PosixKernel> Open(const char* name) {
    auto kernel = PosixKernel::ForLocale(name);
    if (!kernel) ADD_FAILURE() << name << " is not installed (scripts/setup.sh generates it)";
    return kernel;
}

struct LocaleRow {
    const char* Name;
    const char* TimeFormat;
    const char* TimeSeparator;
    const char* Am;
    const char* Pm;
    const char* Decimal;
    const char* Thousands;
    const char* DateSeparator;
    const char* ShortDate;
};

TEST(PosixKernelTest, AnswersTheWindowsItemsOfRealLocales) {
    const LocaleRow rows[] = {
        {"C", "HH:mm:ss", ":", "AM", "PM", ".", "<fail>", "/", "MM/dd/yy"},
        {"en_US.UTF-8", "hh:mm:ss tt", ":", "AM", "PM", ".", ",", "/", "MM/dd/yyyy"},
        {"de_DE.UTF-8", "HH:mm:ss", ":", "", "", ",", ".", ".", "dd.MM.yyyy"},
        {"ja_JP.UTF-8", "HH'時'mm'分'ss'秒'", "<fail>", "午前", "午後", ".", ",", "<fail>",
         "yyyy'年'MM'月'dd'日'"},
    };
    for (const LocaleRow& row : rows) {
        auto kernel = Open(row.Name);
        if (!kernel) continue;
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(test::Readable(Item(*kernel, li::TimeFormat)), row.TimeFormat);
        EXPECT_EQ(Item(*kernel, li::TimeSeparator, 2), row.TimeSeparator);
        EXPECT_EQ(test::Readable(Item(*kernel, li::AmText)), row.Am);
        EXPECT_EQ(test::Readable(Item(*kernel, li::PmText)), row.Pm);
        EXPECT_EQ(Item(*kernel, li::DecimalSeparator, 2), row.Decimal);
        EXPECT_EQ(Item(*kernel, li::ThousandSeparator, 2), row.Thousands);
        EXPECT_EQ(Item(*kernel, li::DateSeparator, 2), row.DateSeparator);
        EXPECT_EQ(test::Readable(Item(*kernel, li::ShortDate)), row.ShortDate);
    }
}

TEST(PosixKernelTest, CurrencyItems) {
    auto us = Open("en_US.UTF-8");
    auto de = Open("de_DE.UTF-8");
    auto ja = Open("ja_JP.UTF-8");
    if (!us || !de || !ja) return;
    EXPECT_EQ(Item(*us, li::Currency), "$");
    EXPECT_EQ(Item(*us, li::CurrencyFormat), "0");
    EXPECT_EQ(Item(*us, li::CurrencyDigits), "2");
    EXPECT_EQ(Item(*de, li::Currency), "<fail>");  // € has no code page 932 form
    EXPECT_EQ(Item(*de, li::CurrencyFormat), "3");
    EXPECT_EQ(test::Readable(Item(*ja, li::Currency)), "￥");
    EXPECT_EQ(Item(*ja, li::CurrencyDigits), "0");
    EXPECT_EQ(Item(*us, 0x9999), "<fail>");
}

TEST(PosixKernelTest, TooSmallBufferFails) {
    auto kernel = Open("en_US.UTF-8");
    if (!kernel) return;
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(kernel->GetLocaleInfo(li::TimeFormat, buffer, 4), 0);
    EXPECT_EQ(kernel->GetLocaleInfo(li::TimeFormat, buffer, 0), 0);
    EXPECT_EQ(kernel->GetLocaleInfo(li::AmText, buffer, 3), 3);
    EXPECT_STREQ(buffer, "AM");
}

struct StrftimeRow {
    const char* Strftime;
    const char* Windows;
};

TEST(PosixKernelTest, TimeFormatConversion) {
    const StrftimeRow rows[] = {
        {"%H:%M:%S", "HH:mm:ss"},
        {"%I:%M:%S %p", "hh:mm:ss tt"},
        {"%T", "HH:mm:ss"},
        {"%r", "hh:mm:ss tt"},
        {"%R", "HH:mm"},
        {"%-H.%M", "H.mm"},
        {"%k:%M:%S", "H:mm:ss"},
        {"%l:%M %P", "h:mm tt"},
        {"%H h %M", "HH 'h' mm"},
        {"%Hh%M's", "HH'h'mm's'"},
        {"%OH:%EM", "HH:mm"},
        {"%H%%", "HH%"},
        {"%p %I:%M:%S", "tt hh:mm:ss"},
        {"%H:%M:%S %Z", "HH:mm:ss "},
        {"%", ""},
        {"%-", ""},
    };
    for (const StrftimeRow& row : rows) {
        EXPECT_EQ(PosixKernel::TimeFormatFromStrftime(row.Strftime, "%I:%M:%S %p"), row.Windows)
            << row.Strftime;
    }
    // %r inside the 12-hour format itself does not loop.
    EXPECT_EQ(PosixKernel::TimeFormatFromStrftime("%r", "%r"), "hh:mm:ss tt");
    EXPECT_EQ(PosixKernel::DateFormatFromStrftime("%d.%m.%Y"), "dd.MM.yyyy");
    EXPECT_EQ(PosixKernel::DateFormatFromStrftime("%D"), "MM/dd/yy");
    EXPECT_EQ(PosixKernel::DateFormatFromStrftime("%F"), "yyyy-MM-dd");
    EXPECT_EQ(PosixKernel::DateFormatFromStrftime("%e %b %Y"), "d MMM yyyy");
}

TEST(PosixKernelTest, ModuleFileNameIsThisProgramsFullPath) {
    platform::PosixKernel kernel;
    const std::string path = kernel.GetModuleFileName();
    EXPECT_EQ(path.front(), '/');
    EXPECT_TRUE(path.ends_with("/qmk_runtime_tests")) << path;
}

TEST(PosixKernelTest, JapaneseLocaleDrivesTheTimeText) {
    auto kernel = Open("ja_JP.UTF-8");
    if (!kernel) return;
    platform::ScopedBackend scope(platform::Backend{nullptr, nullptr, kernel.get()});
    ReadLocaleSettings();
    EXPECT_EQ(Cp932ToUtf8(TimeText(TimeFromFields(13, 5, 7, 0)).ToString()), "13時05分07秒");
    EXPECT_EQ(Cp932ToUtf8(AmText), "午前");
    platform::ScriptedKernel empty;
    platform::ScopedBackend reset(platform::Backend{nullptr, nullptr, &empty});
    ReadLocaleSettings();
}

TEST(PosixKernelTest, EnglishLocaleShowsTwelveHourText) {
    auto kernel = Open("en_US.UTF-8");
    if (!kernel) return;
    platform::ScopedBackend scope(platform::Backend{nullptr, nullptr, kernel.get()});
    ReadLocaleSettings();
    EXPECT_EQ(TimePatternLong, "hh:mm:ss AMPM");
    EXPECT_EQ(TimeText(TimeFromFields(13, 5, 7, 0)).ToString(), "01:05:07 PM");
    platform::ScriptedKernel empty;
    platform::ScopedBackend reset(platform::Backend{nullptr, nullptr, &empty});
    ReadLocaleSettings();
}

TEST(PosixKernelTest, ClockReadingsAreInRange) {
    PosixKernel kernel;
    for (int i = 0; i < 1000; ++i) {
        platform::SystemTime local = kernel.GetLocalTime();
        platform::SystemTime utc = kernel.GetSystemTime();
        for (const auto& t : {local, utc}) {
            ASSERT_LE(t.Hour, 23);
            ASSERT_LE(t.Minute, 59);
            ASSERT_LE(t.Second, 59);
            ASSERT_LE(t.Milliseconds, 999);
        }
        // The minutes of local time and UTC differ by a whole number of
        // quarter hours, so the seconds agree (barring a tick in between).
        if (local.Second == utc.Second) {
            EXPECT_EQ(local.Minute % 15, utc.Minute % 15);
        }
    }
}

}  // namespace
}  // namespace qmk
