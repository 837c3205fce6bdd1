// The kernel half of the Win32 backend under Wine: the two clocks and the
// locale's settings in code page 932. The locale cases run once per locale
// ctest gives Wine (LC_ALL): C (United States), Japanese and Hebrew; each
// case skips in the locales it is not about.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/Types.h"
#include "platform/win32/Win32Kernel.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform::win32::testing {
namespace {

int MillisecondOfDay(const SystemTime& t) {
    return ((t.Hour * 60 + t.Minute) * 60 + t.Second) * 1000 + t.Milliseconds;
}

bool InRange(const SystemTime& t) {
    return t.Hour < 24 && t.Minute < 60 && t.Second < 60 && t.Milliseconds < 1000;
}

TEST(Win32KernelClockTest, LocalTimeIsUtcMovedByTheZone) {
    const char* offset = std::getenv("QMK_TEST_UTC_OFFSET_MINUTES");
    if (offset == nullptr) GTEST_SKIP() << "ctest gives the zone (TZ) and its offset";
    Win32Kernel kernel;
    constexpr int Day = 24 * 60 * 60 * 1000;
    // Read both within one second of each other; retry across a second's edge.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const SystemTime utc = kernel.GetSystemTime();
        const SystemTime local = kernel.GetLocalTime();
        ASSERT_TRUE(InRange(utc));
        ASSERT_TRUE(InRange(local));
        const int moved = (MillisecondOfDay(utc) + std::atoi(offset) * 60000) % Day;
        const int difference = (MillisecondOfDay(local) - moved + Day) % Day;
        if (difference < 1000) {
            SUCCEED();
            return;
        }
    }
    ADD_FAILURE() << "local time is not UTC moved by " << offset << " minutes";
}

TEST(Win32KernelClockTest, ClockAdvancesInMilliseconds) {
    Win32Kernel kernel;
    const SystemTime first = kernel.GetLocalTime();
    ::Sleep(50);
    const SystemTime second = kernel.GetLocalTime();
    constexpr int Day = 24 * 60 * 60 * 1000;
    const int elapsed = (MillisecondOfDay(second) - MillisecondOfDay(first) + Day) % Day;
    EXPECT_GE(elapsed, 40);
    EXPECT_LT(elapsed, 10000);  // a loaded machine may pause us
}

// The answer of GetLocaleInfo as a string without its zero, or "<0>" when
// the call returned 0; checks that the count includes the zero.
std::string Answer(Kernel& kernel, std::uint32_t item, int size = 64) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    const int written = kernel.GetLocaleInfo(item, buffer, size);
    if (written == 0) return "<0>";
    EXPECT_EQ(buffer[written - 1], '\0');
    EXPECT_EQ(std::strlen(buffer) + 1, static_cast<std::size_t>(written));
    EXPECT_EQ(buffer[written], 'x');  // nothing written past the answer
    return std::string(buffer, static_cast<std::size_t>(written - 1));
}

// Each locale case runs in the ctest entry that starts Wine in its locale.
#define REQUIRE_LOCALE(locale)                                                                 \
    if (::GetSystemDefaultLCID() != (locale)) {                                                \
        GTEST_SKIP() << "for locale " << (locale) << "; this run has "                         \
                     << ::GetSystemDefaultLCID();                                              \
    }

TEST(Win32KernelLocaleTest, UnitedStatesSettings) {
    REQUIRE_LOCALE(0x0409);
    Win32Kernel kernel;
    namespace li = locale_item;
    EXPECT_EQ(Answer(kernel, li::TimeSeparator), ":");
    EXPECT_EQ(Answer(kernel, li::DecimalSeparator), ".");
    EXPECT_EQ(Answer(kernel, li::AmText), "AM");
    EXPECT_EQ(Answer(kernel, li::PmText), "PM");
    EXPECT_EQ(Answer(kernel, li::TimeFormat), "h:mm:ss tt");
    EXPECT_EQ(Answer(kernel, li::ShortDate), "M/d/yyyy");
    EXPECT_EQ(Answer(kernel, li::CurrencyDigits), "2");
}

TEST(Win32KernelLocaleTest, UnitedStatesBufferSizes) {
    REQUIRE_LOCALE(0x0409);
    Win32Kernel kernel;
    EXPECT_EQ(Answer(kernel, locale_item::AmText, 3), "AM");  // exactly fits
    EXPECT_EQ(Answer(kernel, locale_item::AmText, 2), "<0>");
    EXPECT_EQ(Answer(kernel, locale_item::AmText, 0), "<0>");
    EXPECT_EQ(Answer(kernel, locale_item::AmText, -1), "<0>");
    EXPECT_EQ(kernel.GetLocaleInfo(locale_item::AmText, nullptr, 10), 0);
}

TEST(Win32KernelLocaleTest, UnknownItemsAndNumberAnswersGiveNothing) {
    Win32Kernel kernel;
    EXPECT_EQ(Answer(kernel, 0xFFFF), "<0>");
    // A number in place of text is not for this interface.
    EXPECT_EQ(Answer(kernel, LOCALE_RETURN_NUMBER | LOCALE_ICURRDIGITS), "<0>");
}

// Long answers (longer than the kernel's first buffer) come whole.
TEST(Win32KernelLocaleTest, LongAnswersAreReadWhole) {
    Win32Kernel kernel;
    wchar_t wide[512];
    const int units = ::GetLocaleInfoW(::GetSystemDefaultLCID(), LOCALE_SENGLANGUAGE, wide, 512);
    ASSERT_GT(units, 1);
    char buffer[512];
    const int written = kernel.GetLocaleInfo(LOCALE_SENGLANGUAGE, buffer, sizeof buffer);
    EXPECT_EQ(written, units);  // ASCII: one byte per unit, zero included
}

// Japanese texts come in code page 932 bytes, whatever the code page of
// the W call's answer was; the buffer must hold the bytes, not the units.
TEST(Win32KernelLocaleTest, JapaneseSettingsInCodePage932) {
    REQUIRE_LOCALE(0x0411);
    Win32Kernel kernel;
    namespace li = locale_item;
    EXPECT_EQ(Answer(kernel, li::AmText), "\x8c\xdf\x91\x4f");  // 午前
    EXPECT_EQ(Answer(kernel, li::PmText), "\x8c\xdf\x8c\xe3");  // 午後
    EXPECT_EQ(Answer(kernel, li::TimeSeparator), ":");
    EXPECT_EQ(Answer(kernel, li::AmText, 5), "\x8c\xdf\x91\x4f");
    EXPECT_EQ(Answer(kernel, li::AmText, 4), "<0>");  // three units, five bytes
    EXPECT_EQ(Answer(kernel, li::AmText, 3), "<0>");
}

// Text that code page 932 cannot hold (Hebrew) is no answer rather than a
// row of question marks.
TEST(Win32KernelLocaleTest, HebrewTextHasNoCodePage932Form) {
    REQUIRE_LOCALE(0x040D);
    Win32Kernel kernel;
    wchar_t wide[16];
    ASSERT_GT(::GetLocaleInfoW(0x040D, LOCALE_S1159, wide, 16), 1);
    ASSERT_GE(wide[0], 0x05D0);  // a Hebrew letter
    ASSERT_LE(wide[0], 0x05EA);
    EXPECT_EQ(Answer(kernel, locale_item::AmText), "<0>");
    EXPECT_EQ(Answer(kernel, locale_item::TimeSeparator), ":");
}

}  // namespace
}  // namespace qmk::platform::win32::testing
