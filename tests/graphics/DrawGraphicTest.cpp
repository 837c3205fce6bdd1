// Copies of the bitmap onto a paint box's canvas: borrowing the panel's
// window context with the paint box's origin and clip, the calls of the
// first and the steady copies, clipping, and the limit of four contexts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "GraphicsFixture.h"
#include "runtime/Errors.h"
#include "support/Readable.h"

namespace qmk {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr platform::WindowHandle PanelWindow = 7;
constexpr platform::ColorRef PanelFace = 0x00C0C0C0;

// Distinct colour of every bitmap pixel.
platform::ColorRef Pattern(std::int32_t x, std::int32_t y) {
    return static_cast<platform::ColorRef>((y << 8) | x);
}

class DrawGraphicTest : public GraphicsTest {
protected:
    DrawGraphicTest()
        : panelPixels(gdi.AddWindow(PanelWindow, 89, 97, PanelFace)),
          panel(PanelWindow, 89, 97),
          paintBox(&panel, {1, 1, 88, 96}, "PaintBox1") {
        canvas.SetControl(&paintBox);
        canvas.Brush().SetColor(clMaroon);
        bitmap.SetWidth(174);
        bitmap.SetHeight(190);
        // The CPU test made the source canvas and its context is gone
        // since the result line was written.
        bitmap.Canvas().WritePixel(0, 0, Pattern(0, 0));
        ReleaseDrawingContexts();
        platform::RecordingSurface& pixels = *gdi.BitmapSurface(bitmap.Image().Handle);
        for (std::int32_t y = 0; y < 190; ++y)
            for (std::int32_t x = 0; x < 174; ++x) pixels.Put(x, y, Pattern(x, y));
        gdi.ClearLog();
    }

    // Panel pixels outside the paint box's area keep the face.
    void ExpectPanelFrameUntouched() {
        for (std::int32_t x = 0; x < 89; ++x) {
            EXPECT_EQ(panelPixels.Pixel(x, 0), PanelFace);
            EXPECT_EQ(panelPixels.Pixel(x, 96), PanelFace);
        }
        for (std::int32_t y = 0; y < 97; ++y) {
            EXPECT_EQ(panelPixels.Pixel(0, y), PanelFace);
            EXPECT_EQ(panelPixels.Pixel(88, y), PanelFace);
        }
    }

    platform::RecordingSurface& panelPixels;
    FakeWindowedControl panel;
    FakeGraphicControl paintBox;
    TControlCanvas canvas;
    TBitmap bitmap;
};

TEST_F(DrawGraphicTest, FirstCopyBorrowsBothContextsThenEachCopyMakesFiveCalls) {
    canvas.DrawGraphic(0, 0, &bitmap);
    EXPECT_THAT(
        TakeCalls(),
        ElementsAre(
            "GetDC(w7)", "SetViewportOrgEx(dc5,1,1)", "IntersectClipRect(dc5,0,0,87,95)",
            "MoveToEx(dc5,0,0)", "SetBkColor(dc5,0x00000080)", "GetSysColor(8)",
            "SetTextColor(dc5,0x00000000)",
            // The paint box canvas's font, pen and brush.
            "CreateFontIndirect(-12,0,400,0,0,0,1,0,\"\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e\")",
            "SelectObject(dc5,font1)", "GetSysColor(8)", "SetTextColor(dc5,0x00000000)",
            "SelectObject(dc5,pen1)", "SetROP2(dc5,13)", "CreateBrushIndirect(0,0x00000080,0)",
            "UnrealizeObject(brush1)", "SelectObject(dc5,brush1)", "SetBkColor(dc5,0x00000080)",
            "SetBkMode(dc5,2)", "SetStretchBltMode(dc5,3)",
            // The bitmap's memory context with its font, pen and brush.
            "CreateCompatibleDC(0)", "SelectObject(dc6,bmp1)", "MoveToEx(dc6,0,0)",
            "SelectObject(dc6,font1)", "GetSysColor(8)", "SetTextColor(dc6,0x00000000)",
            "SelectObject(dc6,pen1)", "SetROP2(dc6,13)", "CreateBrushIndirect(0,0x00FFFFFF,0)",
            "UnrealizeObject(brush2)", "SelectObject(dc6,brush2)", "SetBkColor(dc6,0x00FFFFFF)",
            "SetBkMode(dc6,2)", "StretchBlt(dc5,0,0,174,190,dc6,0,0,174,190,0x00CC0020)"));
    EXPECT_EQ(canvas.State(), csAllValid);

    for (int copy = 0; copy < 3; ++copy) {
        canvas.DrawGraphic(10, 20, &bitmap);
        EXPECT_THAT(TakeCalls(),
                    ElementsAre("SetBkColor(dc5,0x00000080)", "GetSysColor(8)",
                                "SetTextColor(dc5,0x00000000)", "SetStretchBltMode(dc5,3)",
                                "StretchBlt(dc5,10,20,174,190,dc6,0,0,174,190,0x00CC0020)"));
    }
}

TEST_F(DrawGraphicTest, CopyAtTheOriginCoversThePaintBoxWithTheTopLeftQuarter) {
    canvas.DrawGraphic(0, 0, &bitmap);
    for (std::int32_t y = 0; y < 95; ++y)
        for (std::int32_t x = 0; x < 87; ++x)
            ASSERT_EQ(panelPixels.Pixel(x + 1, y + 1), Pattern(x, y)) << x << "," << y;
    ExpectPanelFrameUntouched();
}

TEST_F(DrawGraphicTest, CopyAtTheLastPixelLandsOnlyTheBitmapsFirstPixel) {
    canvas.DrawGraphic(86, 94, &bitmap);
    EXPECT_EQ(panelPixels.Pixel(87, 95), Pattern(0, 0));
    EXPECT_EQ(panelPixels.Pixel(86, 95), PanelFace);
    EXPECT_EQ(panelPixels.Pixel(87, 94), PanelFace);
    ExpectPanelFrameUntouched();
}

TEST_F(DrawGraphicTest, PositionsOffThePaintBoxMakeTheSameCallsAndChangeNothingOutside) {
    canvas.DrawGraphic(0, 0, &bitmap);
    gdi.ClearLog();
    const platform::Point positions[] = {{-100, 5}, {5, -200}, {87, 0}, {0, 95}, {-174, -190}};
    for (const platform::Point& p : positions) {
        canvas.DrawGraphic(p.X, p.Y, &bitmap);
        EXPECT_EQ(gdi.Calls(Call::StretchBlt).size(), 1u);
        EXPECT_EQ(TakeCalls().size(), 5u);
    }
    ExpectPanelFrameUntouched();
    // Nothing landed: the box still shows the copy at the origin.
    EXPECT_EQ(panelPixels.Pixel(87, 95), Pattern(86, 94));
}

TEST_F(DrawGraphicTest, NoPictureOrAnEmptyOneMakesNoCall) {
    TBitmap empty;
    empty.SetWidth(50);
    ChangeCounter changes;
    canvas.OnChanging = changes.Event();
    canvas.OnChange = changes.Event();

    canvas.DrawGraphic(0, 0, nullptr);
    canvas.DrawGraphic(0, 0, &empty);

    EXPECT_THAT(TakeCalls(), IsEmpty());
    EXPECT_EQ(changes.Count, 0);
    EXPECT_THAT(LiveWindowContexts(), IsEmpty());
    EXPECT_EQ(canvas.State(), 0);
}

TEST_F(DrawGraphicTest, ACopyNotifiesFourTimes) {
    canvas.DrawGraphic(0, 0, &bitmap);
    ChangeCounter changes;
    canvas.OnChanging = changes.Event();
    canvas.OnChange = changes.Event();
    canvas.DrawGraphic(0, 0, &bitmap);
    EXPECT_EQ(changes.Count, 4);
}

TEST_F(DrawGraphicTest, AfterAMessageBothContextsAreGivenBackWindowFirst) {
    canvas.DrawGraphic(0, 0, &bitmap);
    gdi.ClearLog();

    ReleaseDrawingContexts();

    EXPECT_THAT(TakeCalls(),
                ElementsAre("SelectObject(dc5,stock7)", "SelectObject(dc5,stock5)",
                            "SelectObject(dc5,stock13)", "GetCurrentPositionEx(dc5)",
                            "ReleaseDC(w7,dc5)", "SelectObject(dc6,defaultbitmap)",
                            "SelectObject(dc6,stock7)", "SelectObject(dc6,stock5)",
                            "SelectObject(dc6,stock13)", "GetCurrentPositionEx(dc6)", "DeleteDC(dc6)"));
    EXPECT_THAT(LiveWindowContexts(), IsEmpty());
    EXPECT_THAT(LiveMemoryContexts(), IsEmpty());
    EXPECT_EQ(canvas.DeviceContext(), 0u);

    canvas.DrawGraphic(0, 0, &bitmap);
    EXPECT_EQ(gdi.Calls(Call::GetDC), (std::vector<std::string>{"GetDC(w7)"}));
    EXPECT_EQ(gdi.Calls(Call::CreateCompatibleDC), (std::vector<std::string>{"CreateCompatibleDC(0)"}));
}

TEST_F(DrawGraphicTest, AFifthCanvasGivesBackTheOldestOfTheFourContexts) {
    std::vector<std::unique_ptr<FakeWindowedControl>> controls;
    std::vector<std::unique_ptr<TControlCanvas>> canvases;
    for (platform::WindowHandle window = 11; window <= 15; ++window) {
        gdi.AddWindow(window, 10, 10);
        controls.push_back(std::make_unique<FakeWindowedControl>(window, 10, 10));
        canvases.push_back(std::make_unique<TControlCanvas>());
        canvases.back()->SetControl(controls.back().get());
    }
    for (int i = 0; i < 4; ++i) canvases[i]->EnsureState(csHandleValid);
    gdi.ClearLog();

    canvases[4]->EnsureState(csHandleValid);

    EXPECT_THAT(TakeCalls(), ElementsAre("GetCurrentPositionEx(dc5)", "ReleaseDC(w11,dc5)",
                                         "GetDC(w15)", "MoveToEx(dc9,0,0)"));
    EXPECT_EQ(canvases[0]->DeviceContext(), 0u);
    EXPECT_THAT(LiveWindowContexts(), ElementsAre(canvases[1].get(), canvases[2].get(),
                                                  canvases[3].get(), canvases[4].get()));
}

TEST_F(DrawGraphicTest, WithoutAWindowContextTheCopyRaisesAndListsNothing) {
    gdi.FailNext(Call::GetDC);
    try {
        canvas.DrawGraphic(0, 0, &bitmap);
        FAIL() << "no error raised";
    } catch (const EOutOfResources& error) {
        EXPECT_EQ(test::Readable(error.Message()), "ﾃﾞﾊﾞｲｽ ｺﾝﾃｷｽﾄの作成に失敗しました");
    }
    EXPECT_THAT(TakeCalls(), ElementsAre("GetDC(w7)"));
    EXPECT_THAT(LiveWindowContexts(), IsEmpty());
    EXPECT_EQ(canvas.State(), 0);
}

TEST_F(DrawGraphicTest, APaintBoxWithoutParentRaisesWithItsName) {
    FakeGraphicControl orphan(nullptr, {0, 0, 10, 10}, "PaintBox1");
    canvas.SetControl(&orphan);
    try {
        canvas.DrawGraphic(0, 0, &bitmap);
        FAIL() << "no error raised";
    } catch (const EInvalidOperation& error) {
        // ｺﾝﾄﾛｰﾙ 'PaintBox1' は親ｳｨﾝﾄﾞｳを持っていません
        EXPECT_EQ(error.Message(),
                  "\xba\xdd\xc4\xdb\xb0\xd9 'PaintBox1' \x82\xcd\x90\x65\xb3\xa8\xdd\xc4\xde\xb3"
                  "\x82\xf0\x8e\x9d\x82\xc1\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1");
    }
    EXPECT_THAT(TakeCalls(), IsEmpty());
    EXPECT_THAT(LiveWindowContexts(), IsEmpty());
}

TEST_F(DrawGraphicTest, ACanvasWithoutControlCannotDraw) {
    TControlCanvas loose;
    EXPECT_THROW(loose.DrawGraphic(0, 0, &bitmap), EInvalidOperation);
    EXPECT_EQ(loose.State(), 0);
    EXPECT_THAT(LiveWindowContexts(), IsEmpty());
}

TEST_F(DrawGraphicTest, ChangingTheControlGivesTheContextBack) {
    canvas.DrawGraphic(0, 0, &bitmap);
    gdi.ClearLog();
    FakeGraphicControl other(&panel, {2, 2, 5, 5}, "PaintBox2");
    canvas.SetControl(&other);
    EXPECT_EQ(gdi.Calls(Call::ReleaseDC), (std::vector<std::string>{"ReleaseDC(w7,dc5)"}));
    EXPECT_THAT(LiveWindowContexts(), IsEmpty());
}

}  // namespace
}  // namespace qmk
