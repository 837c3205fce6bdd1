// Fonts, pens and brushes: the shared handle cache, what a canvas selects
// and when, and the reaction to a change of the system colours.
#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "GraphicsFixture.h"

namespace qmk {
namespace {

using ::testing::ElementsAre;

class ObjectsTest : public GraphicsTest {
protected:
    ObjectsTest() : window(gdi.AddWindow(3, 20, 20)), control(3, 20, 20) {
        canvas.SetControl(&control);
    }

    platform::RecordingSurface& window;
    FakeWindowedControl control;
    TControlCanvas canvas;
};

TEST(ResourceHashTest, RotatesLeftByFiveAndXorsEachByte) {
    struct Case {
        std::vector<std::uint8_t> Bytes;
        std::uint16_t Hash;
    };
    const Case cases[] = {
        {{}, 0x0000}, {{0x01}, 0x0001}, {{0x01, 0x02}, 0x0022},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0x6363}, {{'Q', 'M', 'K'}, 0x4DEA},
    };
    for (const Case& c : cases) EXPECT_EQ(ResourceHash(c.Bytes.data(), c.Bytes.size()), c.Hash);
}

TEST_F(ObjectsTest, EqualAttributesShareOneHandleMadeOnFirstNeed) {
    const std::size_t before = PenManager.Count();
    {
        TPen first;
        TPen second;
        first.SetColor(clRed);
        second.SetColor(clRed);
        EXPECT_THAT(TakeCalls(), ::testing::IsEmpty());
        EXPECT_EQ(first.GetHandle(), second.GetHandle());
        EXPECT_THAT(TakeCalls(), ElementsAre("CreatePenIndirect(0,1,0x000000FF)"));
        second.SetColor(clBlue);
        EXPECT_NE(first.GetHandle(), second.GetHandle());
        EXPECT_EQ(PenManager.Count(), before + 2);
    }
    // The last user of an entry deletes its handle.
    EXPECT_EQ(gdi.Calls(Call::DeleteObject).size(), 2u);
    EXPECT_EQ(PenManager.Count(), before);
    EXPECT_EQ(gdi.LiveObjectCount(), 0);
}

TEST_F(ObjectsTest, ChangingASelectedPenPutsTheStockPenBackBeforeTheOldHandleGoes) {
    canvas.WritePixel(0, 0, clBlack);
    gdi.ClearLog();

    canvas.Pen().SetColor(clRed);

    EXPECT_THAT(TakeCalls(), ElementsAre("SelectObject(dc2,stock7)", "DeleteObject(pen1)"));
    EXPECT_EQ(canvas.State(), csHandleValid);
    EXPECT_EQ(gdi.LiveObjectCount(), 0);
    canvas.WritePixel(0, 0, clBlack);
    EXPECT_THAT(TakeCalls(), ElementsAre("CreatePenIndirect(0,1,0x000000FF)", "SelectObject(dc2,pen2)",
                                         "SetROP2(dc2,13)", "SetPixel(dc2,0,0,0x00000000)"));
}

TEST_F(ObjectsTest, ChangingAFontOrBrushThatIsNotSelectedMakesNoCall) {
    canvas.WritePixel(0, 0, clBlack);
    gdi.ClearLog();
    canvas.Font().SetHeight(-20);
    canvas.Brush().SetColor(clRed);
    EXPECT_THAT(TakeCalls(), ::testing::IsEmpty());
}

TEST_F(ObjectsTest, PenModesMapToTheirMixModes) {
    const std::pair<TPenMode, int> table[] = {
        {TPenMode::pmBlack, 1},        {TPenMode::pmWhite, 16},      {TPenMode::pmNop, 11},
        {TPenMode::pmNot, 6},          {TPenMode::pmCopy, 13},       {TPenMode::pmNotCopy, 4},
        {TPenMode::pmMergePenNot, 14}, {TPenMode::pmMaskPenNot, 5},  {TPenMode::pmMergeNotPen, 12},
        {TPenMode::pmMaskNotPen, 3},   {TPenMode::pmMerge, 15},      {TPenMode::pmNotMerge, 2},
        {TPenMode::pmMask, 9},         {TPenMode::pmNotMask, 8},     {TPenMode::pmXor, 7},
        {TPenMode::pmNotXor, 10},
    };
    for (const auto& [mode, rop2] : table) {
        canvas.Pen().SetMode(mode);
        gdi.ClearLog();
        canvas.EnsureState(csHandleValid | csPenValid);
        EXPECT_EQ(gdi.Calls(Call::SetROP2).back(), "SetROP2(dc2," + std::to_string(rop2) + ")");
    }
}

TEST_F(ObjectsTest, BrokenPenLinesAlsoSelectTheBrushAndAClearBrushIsTransparent) {
    canvas.Pen().SetStyle(TPenStyle::psDot);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Brush().SetColor(0x00102030);
    gdi.ClearLog();

    canvas.EnsureState(csHandleValid | csPenValid);

    EXPECT_THAT(TakeCalls(),
                ElementsAre("GetDC(w3)", "MoveToEx(dc2,0,0)", "CreatePenIndirect(2,1,0x00000000)",
                            "SelectObject(dc2,pen1)", "SetROP2(dc2,13)",
                            "CreateBrushIndirect(1,0x00102030,0)", "UnrealizeObject(brush1)",
                            "SelectObject(dc2,brush1)", "SetBkColor(dc2,0xFFEFDFCF)",
                            "SetBkMode(dc2,1)"));
    EXPECT_EQ(canvas.State(), csHandleValid | csPenValid | csBrushValid);
}

TEST_F(ObjectsTest, SystemColourChangeDeselectsAndRemakesSystemColouredObjects) {
    canvas.Pen().SetColor(clBtnShadow);
    canvas.Brush().SetColor(clBtnFace);
    TPen explicitPen;
    explicitPen.GetHandle();
    canvas.GetHandle();
    gdi.ClearLog();

    gdi.SetSysColor(platform::syscolor::BtnShadow, 0x00404040);
    SystemColorsChanged();

    EXPECT_THAT(TakeCalls(), ElementsAre("SelectObject(dc2,stock7)", "SelectObject(dc2,stock5)",
                                         "SelectObject(dc2,stock13)", "DeleteObject(pen2)",
                                         "DeleteObject(brush1)"));
    EXPECT_EQ(canvas.State(), csHandleValid);
    canvas.EnsureState(csHandleValid | csPenValid);
    EXPECT_EQ(gdi.Calls(Call::CreatePenIndirect),
              (std::vector<std::string>{"CreatePenIndirect(0,1,0x00404040)"}));
}

TEST_F(ObjectsTest, FontDefaultsAndTheLogicalFontItAsksFor) {
    TFont font;
    EXPECT_EQ(font.Name(), DefaultFontName);
    EXPECT_EQ(font.Height(), -12);
    EXPECT_EQ(font.Size(), 9);
    EXPECT_EQ(font.Color(), clWindowText);
    EXPECT_EQ(font.Style(), 0);

    font.SetName("\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");  // ＭＳ ゴシック
    font.SetSize(12);
    font.SetStyle(fsBold | fsItalic | fsUnderline | fsStrikeOut);
    font.SetPitch(TFontPitch::fpFixed);
    gdi.ClearLog();
    font.GetHandle();
    EXPECT_THAT(TakeCalls(), ElementsAre("CreateFontIndirect(-16,0,700,1,1,1,1,1,\"\x82\x6c\x82\x72 "
                                         "\x83\x53\x83\x56\x83\x62\x83\x4e\")"));
}

TEST_F(ObjectsTest, FontNamesAreCutToTheFaceNameCapacity) {
    TFont font;
    font.SetName(std::string(40, 'A'));
    EXPECT_EQ(font.Name(), std::string(31, 'A'));
}

TEST_F(ObjectsTest, FontAssignTakesEverythingAndReportsOneChange) {
    TFont source;
    source.SetHeight(-19);
    source.SetColor(clNavy);
    source.SetStyle(fsBold);
    TFont target;
    ChangeCounter changes;
    target.OnChange = changes.Event();

    target.Assign(source);

    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(target.Height(), -19);
    EXPECT_EQ(target.Color(), clNavy);
    EXPECT_EQ(target.Style(), fsBold);
    EXPECT_EQ(target.GetHandle(), source.GetHandle());
    EXPECT_EQ(gdi.Calls(Call::CreateFontIndirect).size(), 1u);
}

TEST_F(ObjectsTest, DefaultFontHeightFollowsTheScreenResolution) {
    const std::pair<int, std::int32_t> table[] = {{96, -12}, {120, -15}, {144, -18}};
    for (const auto& [perInch, height] : table) {
        gdi.SetLogPixels(perInch);
        InitializeGraphics();
        EXPECT_EQ(ScreenLogPixels(), perInch);
        EXPECT_EQ(TFont().Height(), height);
    }
    gdi.SetLogPixels(96);
    InitializeGraphics();
}

TEST_F(ObjectsTest, CanvasesListThemselvesWhileTheyLive) {
    const std::size_t before = AllCanvases().size();
    {
        TBitmap bitmap;
        TCanvas& bitmapCanvas = bitmap.Canvas();
        EXPECT_EQ(AllCanvases().size(), before + 1);
        EXPECT_EQ(AllCanvases().back(), &bitmapCanvas);
    }
    EXPECT_EQ(AllCanvases().size(), before);
}

TEST_F(ObjectsTest, ADestroyedCanvasFreesItsFontThenPenThenBrush) {
    {
        TControlCanvas own;
        own.SetControl(&control);
        // Attributes of their own, so this canvas is the last user of each.
        own.Font().SetHeight(-31);
        own.Pen().SetColor(clTeal);
        own.Brush().SetColor(clPurple);
        own.GetHandle();
        ReleaseDrawingContexts();
        gdi.ClearLog();
    }
    const std::vector<std::string> deleted = gdi.Calls(Call::DeleteObject);
    ASSERT_EQ(deleted.size(), 3u);
    EXPECT_EQ(deleted[0].rfind("DeleteObject(font", 0), 0u) << deleted[0];
    EXPECT_EQ(deleted[1].rfind("DeleteObject(pen", 0), 0u) << deleted[1];
    EXPECT_EQ(deleted[2].rfind("DeleteObject(brush", 0), 0u) << deleted[2];
}

}  // namespace
}  // namespace qmk
