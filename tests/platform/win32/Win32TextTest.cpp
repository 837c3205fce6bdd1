// The code page 932 conversions of the Win32 backend, alone.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/win32/Win32Text.h"

namespace qmk::platform::win32::testing {
namespace {

TEST(WideTextTest, ConvertsShortAndLongTexts) {
    const WideText start("\x83\x58\x83\x5e\x81\x5b\x83\x67", 8);  // スタート
    ASSERT_TRUE(start.Valid());
    EXPECT_EQ(std::wstring(start.Data(), start.Length()), L"\x30B9\x30BF\x30FC\x30C8");

    std::string longer;
    while (longer.size() <= WideText::InlineCapacity) longer += "\x82\xa0" "a";  // あa
    const WideText converted(longer.data(), static_cast<int>(longer.size()));
    ASSERT_TRUE(converted.Valid());
    EXPECT_EQ(converted.Length(), static_cast<int>(longer.size() / 3 * 2));
    EXPECT_EQ(converted.Data()[converted.Length() - 2], L'\x3042');
}

TEST(WideTextTest, EmptyAndInvalidArguments) {
    const WideText empty("", 0);
    EXPECT_TRUE(empty.Valid());
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_TRUE(WideText(nullptr, 0).Valid());
    EXPECT_FALSE(WideText(nullptr, 1).Valid());
    EXPECT_FALSE(WideText("a", -1).Valid());
}

TEST(FaceNameTest, ConvertedAndCutToFit) {
    WCHAR wide[LF_FACESIZE];
    const char gothic[32] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック
    FaceNameToWide(gothic, wide);
    EXPECT_EQ(std::wstring(wide), L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF");

    // Thirty-two bytes and no terminator: thirty-one characters and the zero.
    char full[32];
    std::memset(full, 'A', sizeof full);
    std::memset(wide, 0x55, sizeof wide);
    FaceNameToWide(full, wide);
    EXPECT_EQ(std::wstring(wide), std::wstring(31, L'A'));

    const char none[32] = {};
    FaceNameToWide(none, wide);
    EXPECT_EQ(wide[0], L'\0');
}

TEST(WideToCp932Test, WritesWholeAnswersOrNothing) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(WideToCp932(L"\x5348\x524D", 3, buffer, sizeof buffer), 5);  // 午前 and the zero
    EXPECT_STREQ(buffer, "\x8c\xdf\x91\x4f");

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(WideToCp932(L"\x5348\x524D", 3, buffer, 4), 0);  // needs five bytes
    EXPECT_EQ(WideToCp932(L"\x05D0", 2, buffer, sizeof buffer), 0);  // Hebrew alef
    EXPECT_EQ(WideToCp932(L"\x00E9", 2, buffer, sizeof buffer), 0);  // é: no best fit to e
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(WideToCp932(L"a", 2, nullptr, 4), 0);
    EXPECT_EQ(WideToCp932(L"a", 0, buffer, 4), 0);
}

}  // namespace
}  // namespace qmk::platform::win32::testing
