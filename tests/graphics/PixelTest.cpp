// Pixel writes and reads through a bitmap's canvas: the platform calls of
// the first and the steady operations, the life of the memory context, and
// the colour rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "GraphicsFixture.h"
#include "runtime/Errors.h"
#include "support/Readable.h"

namespace qmk {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PixelTest : public GraphicsTest {
protected:
    explicit PixelTest(int bitsPerPixel = 24) : GraphicsTest(bitsPerPixel) {
        bitmap.SetWidth(174);
        bitmap.SetHeight(190);
        gdi.ClearLog();
    }

    const platform::RecordingSurface& Pixels() { return *gdi.BitmapSurface(bitmap.Image().Handle); }

    TBitmap bitmap;
};

TEST_F(PixelTest, FirstWriteMakesTheContextAndSelectsThePenThenEachWriteIsOneCall) {
    bitmap.Canvas().WritePixel(3, 4, 0x00FF0000);
    EXPECT_THAT(TakeCalls(), ElementsAre("CreateCompatibleDC(0)", "SelectObject(dc4,bmp1)",
                                         "MoveToEx(dc4,0,0)", "CreatePenIndirect(0,1,0x00000000)",
                                         "SelectObject(dc4,pen1)", "SetROP2(dc4,13)",
                                         "SetPixel(dc4,3,4,0x00FF0000)"));
    EXPECT_EQ(bitmap.Canvas().State(), csHandleValid | csPenValid);
    EXPECT_THAT(LiveMemoryContexts(), ElementsAre(&bitmap.Canvas()));

    bitmap.Canvas().WritePixel(5, 6, 0x00000001);
    EXPECT_EQ(bitmap.Canvas().ReadPixel(3, 4), 0x00FF0000);
    EXPECT_THAT(TakeCalls(), ElementsAre("SetPixel(dc4,5,6,0x00000001)", "GetPixel(dc4,3,4)"));
    EXPECT_EQ(Pixels().Pixel(5, 6), 0x00000001u);
}

TEST_F(PixelTest, FirstReadMakesTheContextWithoutThePen) {
    EXPECT_EQ(bitmap.Canvas().ReadPixel(0, 0), clWhite);
    EXPECT_THAT(TakeCalls(), ElementsAre("CreateCompatibleDC(0)", "SelectObject(dc4,bmp1)",
                                         "MoveToEx(dc4,0,0)", "GetPixel(dc4,0,0)"));
    EXPECT_EQ(bitmap.Canvas().State(), csHandleValid);
}

TEST_F(PixelTest, EveryWriteSignalsOneChangeAndReadsNone) {
    ChangeCounter changes;
    bitmap.OnChange = changes.Event();
    bitmap.Canvas().WritePixel(0, 0, clBlack);
    bitmap.Canvas().WritePixel(1, 0, clBlack);
    bitmap.Canvas().ReadPixel(1, 0);
    EXPECT_EQ(changes.Count, 2);
}

TEST_F(PixelTest, AfterAMessageTheContextIsGoneAndTheNextOneStartsAtTheSavedPenPosition) {
    TCanvas& canvas = bitmap.Canvas();
    canvas.WritePixel(0, 0, clBlack);
    canvas.MoveTo(7, 9);
    gdi.ClearLog();

    ReleaseDrawingContexts();

    EXPECT_THAT(TakeCalls(), ElementsAre("SelectObject(dc4,defaultbitmap)", "SelectObject(dc4,stock7)",
                                         "SelectObject(dc4,stock5)", "SelectObject(dc4,stock13)",
                                         "GetCurrentPositionEx(dc4)", "DeleteDC(dc4)"));
    EXPECT_THAT(LiveMemoryContexts(), IsEmpty());
    EXPECT_EQ(canvas.State(), 0);
    EXPECT_EQ(canvas.CurrentHandle(), 0u);
    EXPECT_EQ(canvas.PenPosition(), (platform::Point{7, 9}));

    canvas.WritePixel(1, 1, clBlack);
    EXPECT_THAT(TakeCalls(), ElementsAre("CreateCompatibleDC(0)", "SelectObject(dc5,bmp1)",
                                         "MoveToEx(dc5,7,9)", "SelectObject(dc5,pen1)",
                                         "SetROP2(dc5,13)", "SetPixel(dc5,1,1,0x00000000)"));
}

TEST_F(PixelTest, ColoursFollowTheConversionRule) {
    struct Case {
        TColor Color;
        std::vector<std::string> Calls;
    };
    const Case cases[] = {
        {0x00123456, {"SetPixel(dc4,0,0,0x00123456)"}},
        {clBtnFace, {"GetSysColor(15)", "SetPixel(dc4,0,0,0x00C0C0C0)"}},
        {clHighlight, {"GetSysColor(13)", "SetPixel(dc4,0,0,0x00800000)"}},
        // Only the low byte of a system colour picks the entry.
        {static_cast<TColor>(0xFFFFFF08), {"GetSysColor(8)", "SetPixel(dc4,0,0,0x00000000)"}},
        {clNone, {"SetPixel(dc4,0,0,0x1FFFFFFF)"}},
    };
    bitmap.Canvas().WritePixel(0, 0, clBlack);
    for (const Case& c : cases) {
        gdi.ClearLog();
        bitmap.Canvas().WritePixel(0, 0, c.Color);
        EXPECT_EQ(gdi.Calls(), c.Calls) << std::hex << c.Color;
    }
    gdi.SetSysColor(platform::syscolor::BtnFace, 0x00102030);
    bitmap.Canvas().WritePixel(2, 2, clBtnFace);
    EXPECT_EQ(Pixels().Pixel(2, 2), 0x00102030u);
}

TEST_F(PixelTest, OutsideTheBitmapWritesChangeNothingAndReadsGiveTheInvalidColour) {
    TCanvas& canvas = bitmap.Canvas();
    const platform::Point outside[] = {{-1, 0}, {0, -1}, {174, 0}, {0, 190}, {INT32_MIN, INT32_MAX}};
    for (const platform::Point& p : outside) {
        EXPECT_NO_THROW(canvas.WritePixel(p.X, p.Y, clBlack));
        EXPECT_EQ(canvas.ReadPixel(p.X, p.Y), static_cast<TColor>(0xFFFFFFFF));
        EXPECT_LT(canvas.ReadPixel(p.X, p.Y), 0);
    }
    for (std::int32_t y = 0; y < 190; ++y)
        for (std::int32_t x = 0; x < 174; ++x) ASSERT_EQ(Pixels().Pixel(x, y), 0x00FFFFFFu);
}

TEST_F(PixelTest, WithoutAMemoryContextTheCanvasRaisesAndStaysUnchanged) {
    TCanvas& canvas = bitmap.Canvas();
    gdi.FailNext(Call::CreateCompatibleDC);
    try {
        canvas.WritePixel(1, 1, clBlack);
        FAIL() << "no error raised";
    } catch (const EInvalidOperation& error) {
        EXPECT_EQ(test::Readable(error.Message()), "Canvas に対する描画ができません");
    }
    EXPECT_THAT(TakeCalls(), ElementsAre("CreateCompatibleDC(0)"));
    EXPECT_EQ(canvas.State(), 0);
    EXPECT_THAT(LiveMemoryContexts(), IsEmpty());

    canvas.WritePixel(1, 1, clBlack);
    EXPECT_EQ(Pixels().Pixel(1, 1), 0u);
}

TEST_F(PixelTest, AnotherCanvasOfTheSameImageTakesTheDeviceBitmapOver) {
    TBitmap other;
    other.Assign(bitmap);
    bitmap.Canvas().ReadPixel(0, 0);
    other.Canvas().ReadPixel(0, 0);
    // Both images are the same device bitmap, which one context may hold.
    EXPECT_EQ(bitmap.Canvas().CurrentHandle(), 0u);
    EXPECT_THAT(LiveMemoryContexts(), ElementsAre(&other.Canvas()));
}

TEST_F(PixelTest, AContextDetachedByHandDoesNotStallTheRelease) {
    TCanvas& canvas = bitmap.Canvas();
    canvas.WritePixel(0, 0, clBlack);
    const platform::DcHandle dc = canvas.CurrentHandle();
    canvas.SetHandle(0);
    ReleaseDrawingContexts();
    EXPECT_THAT(LiveMemoryContexts(), IsEmpty());
    gdi.DeleteDC(dc);
}

class SixteenBitPixelTest : public PixelTest {
protected:
    SixteenBitPixelTest() : PixelTest(16) {}
};

TEST_F(SixteenBitPixelTest, ReadsGiveTheReducedColourWhichWritesBackUnchanged) {
    struct Case {
        TColor Written;
        TColor Read;
    };
    const Case cases[] = {
        {0x00FFFFFF, 0x00F8FCF8}, {0x00123456, 0x00103450}, {0x00070307, 0x00000000},
        {0x00080408, 0x00080408}, {0x00000080, 0x00000080},
    };
    TCanvas& canvas = bitmap.Canvas();
    for (const Case& c : cases) {
        canvas.WritePixel(10, 10, c.Written);
        EXPECT_EQ(canvas.ReadPixel(10, 10), c.Read) << std::hex << c.Written;
        canvas.WritePixel(10, 10, canvas.ReadPixel(10, 10));
        EXPECT_EQ(canvas.ReadPixel(10, 10), c.Read);
    }
}

}  // namespace
}  // namespace qmk
