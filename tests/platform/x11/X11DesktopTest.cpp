// The X11 desktop: its kernel before the display, the display opened or
// refused with the start-up box's reason.
#include "platform/x11/X11Desktop.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "support/Readable.h"

namespace qmk::platform::x11 {
namespace {

TEST(X11DesktopTest, TheKernelWorksBeforeTheDisplayAndTheOtherHalvesAfter) {
    X11Desktop desktop("qmk");
    EXPECT_EQ(desktop.GdiPart(), nullptr);
    EXPECT_EQ(desktop.UserPart(), nullptr);
    EXPECT_FALSE(desktop.KernelPart().GetModuleFileName().empty());
    desktop.OpenDisplay(nullptr);
    ASSERT_NE(desktop.GdiPart(), nullptr);
    ASSERT_NE(desktop.UserPart(), nullptr);
    const Backend parts = desktop.Parts();
    EXPECT_EQ(parts.GdiPart, desktop.GdiPart());
    EXPECT_EQ(parts.UserPart, desktop.UserPart());
    EXPECT_EQ(parts.KernelPart, &desktop.KernelPart());
    EXPECT_GT(desktop.UserPart()->GetSystemMetrics(metric::CxScreen), 0);
}

TEST(X11DesktopTest, ADisplayThatCannotBeOpenedSaysWhichInTheBoxsWords) {
    X11Desktop desktop("qmk");
    try {
        desktop.OpenDisplay(":77\x01");
        FAIL() << "opened";
    } catch (const DisplayUnavailable& error) {
        EXPECT_EQ(test::Readable(error.what()), "ﾃﾞｨｽﾌﾟﾚｲ \":77?\" に接続できません");
    }
    EXPECT_EQ(desktop.GdiPart(), nullptr);
}

TEST(X11DesktopTest, NoDisplayMessageNamesTheDisplayInPrintableAscii) {
    EXPECT_EQ(test::Readable(NoDisplayMessage(":5")), "ﾃﾞｨｽﾌﾟﾚｲ \":5\" に接続できません");
    // Bytes from the environment that are not printable ASCII never reach
    // the code page 932 text as they are.
    EXPECT_EQ(test::Readable(NoDisplayMessage("host\xe3\x81\x82\n:1")),
              "ﾃﾞｨｽﾌﾟﾚｲ \"host????:1\" に接続できません");
    EXPECT_EQ(test::Readable(NoDisplayMessage(nullptr)), "ﾃﾞｨｽﾌﾟﾚｲが指定されていません (DISPLAY)");
    EXPECT_EQ(test::Readable(NoDisplayMessage("")), "ﾃﾞｨｽﾌﾟﾚｲが指定されていません (DISPLAY)");
}

}  // namespace
}  // namespace qmk::platform::x11
