// The video iteration: one copy of the bitmap onto the paint box at the
// position the generator gives, with only the fixed calls of a copy once
// the contexts are borrowed.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AppFixture.h"
#include "app/CpuTest.h"
#include "app/VideoTest.h"

namespace qmk::test {
namespace {

using platform::RecordingGdi;
using Call = RecordingGdi::Call;

class VideoIterationTest : public AppTest {
protected:
    std::string WindowDc() { return RecordingGdi::HandleName(Box().Canvas().CurrentHandle()); }
    std::string MemoryDc() { return RecordingGdi::HandleName(Bitmap().Canvas().CurrentHandle()); }
    std::string Hex(platform::ColorRef value) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "0x%08X", value);
        return buffer;
    }
};

TEST_F(VideoIterationTest, SteadyStateMakesTheFiveCallsOfACopy) {
    GeneratorState = 1234;
    VideoTest(Box(), Bitmap());  // borrows the panel's context and the bitmap's
    const platform::ColorRef windowText = gdi_.GetSysColor(platform::syscolor::WindowText);
    GeneratorModel generator(GeneratorState);

    for (int i = 0; i < 4; ++i) {
        gdi_.ClearLog();
        VideoTest(Box(), Bitmap());
        const std::int32_t y = generator.Draw(95);
        const std::int32_t x = generator.Draw(87);
        const std::vector<std::string> expected = {
            "SetBkColor(" + WindowDc() + ",0x00000080)",
            "GetSysColor(8)",
            "SetTextColor(" + WindowDc() + "," + Hex(windowText) + ")",
            "SetStretchBltMode(" + WindowDc() + ",3)",
            "StretchBlt(" + WindowDc() + "," + std::to_string(x) + "," + std::to_string(y) +
                ",174,190," + MemoryDc() + ",0,0,174,190,0x00CC0020)",
        };
        EXPECT_EQ(gdi_.Calls(), expected);
    }
}

TEST_F(VideoIterationTest, FirstCopyBorrowsThePanelContextClippedToTheBox) {
    VideoTest(Box(), Bitmap());
    const auto gets = gdi_.Calls(Call::GetDC);
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0], "GetDC(" + platform::RecordingUser::WindowName(form_->Panel1->Handle()) + ")");
    EXPECT_EQ(gdi_.Calls(Call::SetViewportOrgEx), std::vector<std::string>{"SetViewportOrgEx(" + WindowDc() + ",1,1)"});
    EXPECT_EQ(gdi_.Calls(Call::IntersectClipRect),
              std::vector<std::string>{"IntersectClipRect(" + WindowDc() + ",0,0,87,95)"});
    EXPECT_EQ(gdi_.Calls(Call::StretchBlt).size(), 1u);
}

TEST_F(VideoIterationTest, ReadsThePaintBoxSizeOnEveryIteration) {
    GeneratorState = 777;
    VideoTest(Box(), Bitmap());
    Box().SetBounds(1, 1, 40, 30);
    GeneratorModel generator(GeneratorState);
    gdi_.ClearLog();
    VideoTest(Box(), Bitmap());
    const std::int32_t y = generator.Draw(30);
    const std::int32_t x = generator.Draw(40);
    const auto copies = gdi_.Calls(Call::StretchBlt);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_NE(copies[0].find("," + std::to_string(x) + "," + std::to_string(y) + ",174,190,"),
              std::string::npos)
        << copies[0];
}

TEST_F(VideoIterationTest, CopiesTheCpuDotsToTheScreenUnchanged) {
    GeneratorState = 99;
    for (int i = 0; i < 20; ++i) CpuTest(Bitmap(), i);
    const platform::RecordingSurface before = BitmapPixels();
    const platform::RecordingSurface* panel = gdi_.WindowSurface(form_->Panel1->Handle());
    ASSERT_NE(panel, nullptr);
    const platform::RecordingSurface panelBefore = *panel;
    GeneratorModel generator(GeneratorState);
    const std::int32_t top = generator.Draw(95), left = generator.Draw(87);
    VideoTest(Box(), Bitmap());

    // Inside the box (at (1, 1) of the panel): the bitmap from (left, top)
    // on, the panel's face above and left of it; the bevel untouched.
    for (std::int32_t y = 0; y < 97; ++y) {
        for (std::int32_t x = 0; x < 89; ++x) {
            const bool inBox = x >= 1 && y >= 1 && x < 88 && y < 96;
            const bool copied = inBox && x - 1 >= left && y - 1 >= top;
            const platform::ColorRef expected =
                copied ? before.Pixel(x - 1 - left, y - 1 - top) : panelBefore.Pixel(x, y);
            ASSERT_EQ(panel->Pixel(x, y), expected) << x << "," << y;
        }
    }
    for (std::int32_t y = 0; y < 190; ++y) {
        for (std::int32_t x = 0; x < 174; ++x) ASSERT_EQ(BitmapPixels().Pixel(x, y), before.Pixel(x, y));
    }
}

}  // namespace
}  // namespace qmk::test
