// What the program shows when its start fails, and the program icon in its
// stored 16-colour form.
#include <cstdio>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "app/AppIcon.h"
#include "app/Startup.h"
#include "ui/Icon.h"

namespace qmk::test {
namespace {

std::string AddressText(const void* address) {
    char text[32];
    std::snprintf(text, sizeof(text), "%p", address);
    return text;
}

struct ErrorTextCase {
    const char* Message;
    const char* Ending;  // what follows the message before the last line feed
};

class StartupErrorTextTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(StartupErrorTextTest, FollowsTheStartupFormat) {
    const ErrorTextCase& c = GetParam();
    const void* address = reinterpret_cast<const void*>(0x1234abcdu);
    const std::string text = StartupErrorText("EPlatformError", "qmk", address, c.Message);
    // EPlatformErrorがﾓｼﾞｭｰﾙ qmk の\n<address> で発生しました。\n<message><ending>\n
    const std::string expected = std::string("EPlatformError\x82\xaa\xd3\xbc\xde\xad\xb0\xd9 qmk \x82\xcc\n") +
                                 AddressText(address) +
                                 " \x82\xc5\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n" +
                                 c.Message + c.Ending + "\n";
    EXPECT_EQ(text, expected);
}

INSTANTIATE_TEST_SUITE_P(Messages, StartupErrorTextTest,
                         ::testing::Values(ErrorTextCase{"no display", "."},
                                           // A message ending with a full stop gets no second one.
                                           ErrorTextCase{"no display.", ""},
                                           // An empty message gets none at all.
                                           ErrorTextCase{"", ""},
                                           // ﾒﾓﾘが足りません: a DBCS tail byte is not a full stop.
                                           ErrorTextCase{"\xd2\xd3\xd8\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1", "."}));

TEST(NoDisplayMessageTest, NamesTheDisplayInPrintableAscii) {
    // ﾃﾞｨｽﾌﾟﾚｲ ":5" に接続できません
    EXPECT_EQ(NoDisplayMessage(":5"),
              "\xc3\xde\xa8\xbd\xcc\xdf\xda\xb2 \":5\" \x82\xc9\x90\xda\x91\xb1\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1");
    // Bytes from the environment that are not printable ASCII never reach
    // the code page 932 text as they are.
    const std::string odd = NoDisplayMessage("host\xe3\x81\x82\n:1");
    EXPECT_NE(odd.find("\"host????:1\""), std::string::npos);
    // ﾃﾞｨｽﾌﾟﾚｲが指定されていません (DISPLAY)
    const std::string unset =
        "\xc3\xde\xa8\xbd\xcc\xdf\xda\xb2\x82\xaa\x8e\x77\x92\xe8\x82\xb3\x82\xea\x82\xc4\x82\xa2"
        "\x82\xdc\x82\xb9\x82\xf1 (DISPLAY)";
    EXPECT_EQ(NoDisplayMessage(nullptr), unset);
    EXPECT_EQ(NoDisplayMessage(""), unset);
}

TEST(ProgramFileNameTest, IsTheFileNameWithoutFolder) {
    const std::string name = ProgramFileName();
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_LE(name.size(), 63u);
    EXPECT_EQ(name, "qmk_app_tests");
}

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
