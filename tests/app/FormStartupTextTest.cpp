// What the program shows when its start fails, and the program icon in its
// stored 16-colour form.
#include <cstdio>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "app/AppIcon.h"
#include "app/Startup.h"
#include "support/Readable.h"
#include "ui/Icon.h"

namespace qmk::test {
namespace {

std::string AddressText(const void* address) {
    char text[32];
    std::snprintf(text, sizeof(text), "%p", address);
    return text;
}

struct ErrorTextCase {
    const char* Message;  // readable
    const char* Ending;   // what follows the message before the last line feed
};

class StartupErrorTextTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(StartupErrorTextTest, FollowsTheStartupFormat) {
    const ErrorTextCase& c = GetParam();
    const void* address = reinterpret_cast<const void*>(0x1234abcdu);
    const std::string text = StartupErrorText("EPlatformError", "qmk", address, Stored(c.Message));
    EXPECT_EQ(Readable(text), "EPlatformErrorがﾓｼﾞｭｰﾙ qmk の\n" + AddressText(address) +
                                  " で発生しました。\n" + c.Message + c.Ending + "\n");
}

INSTANTIATE_TEST_SUITE_P(Messages, StartupErrorTextTest,
                         ::testing::Values(ErrorTextCase{"no display", "."},
                                           // A message ending with a full stop gets no second one.
                                           ErrorTextCase{"no display.", ""},
                                           // An empty message gets none at all.
                                           ErrorTextCase{"", ""},
                                           // A DBCS trail byte is not a full stop.
                                           ErrorTextCase{"ﾒﾓﾘが足りません", "."},
                                           // What the class or the message brings is not a format.
                                           ErrorTextCase{"%s %p %n", "."}));

TEST(AppIconTest, StoredFormIsSixteenColoursWithAMask) {
    const TIndexedIcon& icon = MainIconBits();
    EXPECT_EQ(icon.Width, 32);
    EXPECT_EQ(icon.Height, 32);
    EXPECT_EQ(icon.Colors.size(), 32u * 32u / 2u);  // 4 bits a pixel
    EXPECT_EQ(icon.Mask.size(), 32u * 32u / 8u);    // 1 bit a pixel
}

TEST(AppIconTest, ConvertsToOpaqueStandardColoursAndTransparentCorners) {
    const TIconData icon = MainIcon();
    ASSERT_EQ(icon.Width, 32);
    ASSERT_EQ(icon.Height, 32);
    ASSERT_EQ(icon.Argb.size(), 32u * 32u);
    const std::set<std::uint32_t> palette(std::begin(StandardPalette16), std::end(StandardPalette16));
    int transparent = 0;
    std::set<std::uint32_t> used;
    for (std::uint32_t pixel : icon.Argb) {
        if (pixel == 0) {
            ++transparent;
            continue;
        }
        EXPECT_EQ(pixel >> 24, 0xFFu);
        EXPECT_EQ(palette.count(pixel & 0xFFFFFF), 1u) << std::hex << pixel;
        used.insert(pixel);
    }
    // Corners show the desktop; the middle of the screen shows the picture.
    EXPECT_EQ(icon.Argb[0], 0u);
    EXPECT_EQ(icon.Argb[31], 0u);
    EXPECT_EQ(icon.Argb[31 * 32], 0u);
    EXPECT_EQ(icon.Argb[31 * 32 + 31], 0u);
    EXPECT_NE(icon.Argb[16 * 32 + 16], 0u);
    EXPECT_GT(transparent, 0);
    EXPECT_GT(used.size(), 4u);
}

TEST(AppIconTest, UnpacksNibblesHighFirstAndMaskBitsHighFirst) {
    TIndexedIcon icon;
    icon.Width = 8;
    icon.Height = 1;
    icon.Colors = {0x9A, 0x0F, 0x12, 0x34};
    icon.Mask = {0x41};  // pixels 1 and 7 transparent
    const TIconData data = IconFromIndexed(icon);
    ASSERT_EQ(data.Argb.size(), 8u);
    EXPECT_EQ(data.Argb[0], 0xFF000000u | StandardPalette16[9]);
    EXPECT_EQ(data.Argb[1], 0u);
    EXPECT_EQ(data.Argb[2], 0xFF000000u | StandardPalette16[0]);
    EXPECT_EQ(data.Argb[3], 0xFF000000u | StandardPalette16[15]);
    EXPECT_EQ(data.Argb[4], 0xFF000000u | StandardPalette16[1]);
    EXPECT_EQ(data.Argb[6], 0xFF000000u | StandardPalette16[3]);
    EXPECT_EQ(data.Argb[7], 0u);
    // Short data gives no icon rather than a read past its end.
    icon.Colors.pop_back();
    EXPECT_TRUE(IconFromIndexed(icon).Empty());
}

}  // namespace
}  // namespace qmk::test
