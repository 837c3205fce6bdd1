#include "platform/recording/ScriptedKernel.h"

#include <gtest/gtest.h>

namespace qmk {
namespace {

using platform::ScriptedKernel;
using platform::SystemTime;

TEST(ScriptedKernelTest, QueueThenSourceThenFixedTime) {
    ScriptedKernel kernel;
    kernel.SetLocalTime({1, 0, 0, 0});
    kernel.QueueLocalTimes({{2, 0, 0, 0}, {3, 0, 0, 0}});
    EXPECT_EQ(kernel.GetLocalTime(), (SystemTime{2, 0, 0, 0}));
    EXPECT_EQ(kernel.GetLocalTime(), (SystemTime{3, 0, 0, 0}));
    EXPECT_EQ(kernel.GetLocalTime(), (SystemTime{1, 0, 0, 0}));
    kernel.SetLocalTimeSource(ScriptedKernel::SteppingClock({23, 59, 59, 998}, 1));
    EXPECT_EQ(kernel.GetLocalTime(), (SystemTime{23, 59, 59, 998}));
    EXPECT_EQ(kernel.GetLocalTime(), (SystemTime{23, 59, 59, 999}));
    EXPECT_EQ(kernel.GetLocalTime(), (SystemTime{0, 0, 0, 0}));
    EXPECT_EQ(kernel.LocalTimeCalls(), 6);
    EXPECT_EQ(kernel.SystemTimeCalls(), 0);
}

TEST(ScriptedKernelTest, LocaleTableActsLikeGetLocaleInfo) {
    ScriptedKernel kernel;
    kernel.SetLocaleItem(0x1E, ".");
    char buffer[4] = {};
    EXPECT_EQ(kernel.GetLocaleInfo(0x1E, buffer, 2), 2);
    EXPECT_STREQ(buffer, ".");
    kernel.SetLocaleItem(0x1E, "::");
    EXPECT_EQ(kernel.GetLocaleInfo(0x1E, buffer, 2), 0);
    EXPECT_EQ(kernel.GetLocaleInfo(0x28, buffer, 4), 0);
    ASSERT_EQ(kernel.LocaleCalls().size(), 3u);
    EXPECT_EQ(kernel.LocaleCalls()[2], (ScriptedKernel::LocaleCall{0x28, 4}));
}

}  // namespace
}  // namespace qmk
