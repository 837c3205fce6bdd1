// Sizing, filling, copying and freeing the off-screen bitmap.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "GraphicsFixture.h"
#include "runtime/Errors.h"
#include "support/Readable.h"

namespace qmk {
namespace {

using ::testing::ElementsAre;

class BitmapTest : public GraphicsTest {};

bool AllPixels(const platform::RecordingSurface& surface, platform::ColorRef color) {
    for (std::int32_t y = 0; y < surface.Height(); ++y)
        for (std::int32_t x = 0; x < surface.Width(); ++x)
            if (surface.Pixel(x, y) != color) return false;
    return true;
}

TEST_F(BitmapTest, WidthAloneLeavesTheBitmapEmptyAndHeightMakesOneWhiteImage) {
    TBitmap bitmap;
    ChangeCounter changes;
    bitmap.OnChange = changes.Event();

    bitmap.SetWidth(174);
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.GetWidth(), 174);
    EXPECT_EQ(bitmap.GetHeight(), 0);

    bitmap.SetHeight(190);
    EXPECT_THAT(TakeCalls(), ElementsAre("GetDC(0)", "CreateCompatibleDC(dc2)",
                                         "CreateCompatibleBitmap(dc2,174,190)", "SelectObject(dc3,bmp1)",
                                         "PatBlt(dc3,0,0,174,190,0x00FF0062)", "DeleteDC(dc3)",
                                         "ReleaseDC(0,dc2)"));
    EXPECT_FALSE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.GetHeight(), 190);
    EXPECT_EQ(changes.Count, 2);
    EXPECT_TRUE(bitmap.Modified());
    const platform::RecordingSurface* pixels = gdi.BitmapSurface(bitmap.Image().Handle);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels->Width(), 174);
    EXPECT_EQ(pixels->Height(), 190);
    EXPECT_TRUE(AllPixels(*pixels, 0x00FFFFFF));
    EXPECT_EQ(gdi.LiveDcCount(), 0);
    EXPECT_EQ(gdi.LiveObjectCount(), 1);
}

TEST_F(BitmapTest, SettingADimensionToItsValueChangesNothing) {
    TBitmap bitmap;
    bitmap.SetWidth(10);
    bitmap.SetHeight(8);
    const platform::ObjectHandle image = bitmap.Image().Handle;
    ChangeCounter changes;
    bitmap.OnChange = changes.Event();
    gdi.ClearLog();

    bitmap.SetWidth(10);
    bitmap.SetHeight(8);

    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(changes.Count, 0);
    EXPECT_EQ(bitmap.Image().Handle, image);
}

TEST_F(BitmapTest, GrowingKeepsThePictureAtTheTopLeftAndFillsWithTheBrush) {
    TBitmap bitmap;
    bitmap.SetWidth(4);
    bitmap.SetHeight(3);
    bitmap.Canvas().WritePixel(3, 2, 0x00123456);
    const platform::ObjectHandle old = bitmap.Image().Handle;
    gdi.ClearLog();

    bitmap.SetWidth(6);

    const auto calls = TakeCalls();
    // The canvas's context goes first, so the old bitmap can be read.
    EXPECT_EQ(calls.front(), "SelectObject(dc4,defaultbitmap)");
    EXPECT_THAT(std::vector<std::string>(calls.begin() + 6, calls.end()),
                ElementsAre("GetDC(0)", "CreateCompatibleDC(dc5)", "CreateCompatibleBitmap(dc5,6,3)",
                            "SelectObject(dc6,bmp2)", "CreateBrushIndirect(0,0x00FFFFFF,0)",
                            "FillRect(dc6,0,0,6,3,brush1)", "GetSysColor(8)",
                            "SetTextColor(dc6,0x00000000)", "SetBkColor(dc6,0x00FFFFFF)",
                            "CreateCompatibleDC(dc5)", "SelectObject(dc7,bmp1)", "GetSysColor(8)",
                            "SetTextColor(dc7,0x00000000)", "SetBkColor(dc7,0x00FFFFFF)",
                            "BitBlt(dc6,0,0,6,3,dc7,0,0,0x00CC0020)",
                            "SelectObject(dc7,defaultbitmap)", "DeleteDC(dc7)", "DeleteDC(dc6)",
                            "ReleaseDC(0,dc5)", "DeleteObject(bmp1)"));
    EXPECT_EQ(gdi.BitmapSurface(old), nullptr);
    const platform::RecordingSurface& pixels = *gdi.BitmapSurface(bitmap.Image().Handle);
    EXPECT_EQ(pixels.Pixel(3, 2), 0x00123456u);
    EXPECT_EQ(pixels.Pixel(4, 2), 0x00FFFFFFu);
    EXPECT_EQ(pixels.Pixel(5, 0), 0x00FFFFFFu);
    EXPECT_EQ(bitmap.GetWidth(), 6);
    EXPECT_EQ(bitmap.GetHeight(), 3);
}

TEST_F(BitmapTest, DestroyingReleasesTheContextBeforeDeletingTheDeviceBitmap) {
    {
        TBitmap bitmap;
        bitmap.SetWidth(2);
        bitmap.SetHeight(2);
        bitmap.Canvas().WritePixel(0, 0, clBlack);
        gdi.ClearLog();
    }
    EXPECT_THAT(TakeCalls(),
                ElementsAre("SelectObject(dc4,defaultbitmap)", "SelectObject(dc4,stock7)",
                            "SelectObject(dc4,stock5)", "SelectObject(dc4,stock13)",
                            "GetCurrentPositionEx(dc4)", "DeleteDC(dc4)", "DeleteObject(bmp1)",
                            "DeleteObject(pen1)"));
    EXPECT_TRUE(LiveMemoryContexts().empty());
    EXPECT_EQ(gdi.LiveDcCount(), 0);
    EXPECT_EQ(gdi.LiveObjectCount(), 0);
}

struct FailureCase {
    const char* Name;
    Call Failing;
    int After;
    std::vector<std::string> Calls;
};

class BitmapFailureTest : public BitmapTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BitmapFailureTest, OutOfResourcesKeepsTheOldImageAndLeavesNothingBehind) {
    TBitmap bitmap;
    bitmap.SetWidth(10);
    bitmap.SetHeight(10);
    const platform::ObjectHandle image = bitmap.Image().Handle;
    gdi.ClearLog();
    gdi.FailNext(GetParam().Failing, 1, GetParam().After);

    try {
        bitmap.SetWidth(20);
        FAIL() << "no error raised";
    } catch (const EOutOfResources& error) {
        EXPECT_EQ(test::Readable(error.Message()), "ｼｽﾃﾑ ﾘｿｰｽが足りません");
        EXPECT_STREQ(error.ClassName(), "EOutOfResources");
    }

    EXPECT_EQ(TakeCalls(), GetParam().Calls);
    EXPECT_EQ(bitmap.GetWidth(), 10);
    EXPECT_EQ(bitmap.Image().Handle, image);
    EXPECT_EQ(gdi.LiveDcCount(), 0);
    EXPECT_EQ(gdi.LiveObjectCount(), 1);
    EXPECT_TRUE(AllPixels(*gdi.BitmapSurface(image), 0x00FFFFFF));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BitmapFailureTest,
    ::testing::Values(
        FailureCase{"WorkContext", Call::CreateCompatibleDC, 0,
                    {"GetDC(0)", "CreateCompatibleDC(dc4)", "ReleaseDC(0,dc4)"}},
        FailureCase{"DeviceBitmap", Call::CreateCompatibleBitmap, 0,
                    {"GetDC(0)", "CreateCompatibleDC(dc4)", "CreateCompatibleBitmap(dc4,20,10)",
                     "DeleteDC(dc5)", "ReleaseDC(0,dc4)"}},
        FailureCase{"OldPictureContext", Call::CreateCompatibleDC, 1,
                    {"GetDC(0)", "CreateCompatibleDC(dc4)", "CreateCompatibleBitmap(dc4,20,10)",
                     "SelectObject(dc5,bmp2)", "PatBlt(dc5,0,0,20,10,0x00FF0062)",
                     "CreateCompatibleDC(dc4)", "SelectObject(dc5,defaultbitmap)",
                     "DeleteObject(bmp2)", "DeleteDC(dc5)", "ReleaseDC(0,dc4)"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(BitmapTest, AssignedBitmapsShareUntilOneIsDrawnOn) {
    TBitmap first;
    first.SetWidth(3);
    first.SetHeight(3);
    TBitmap second;
    second.Assign(first);
    EXPECT_EQ(second.Image().Handle, first.Image().Handle);
    EXPECT_EQ(first.Image().RefCount, 2);

    second.Canvas().WritePixel(1, 1, 0x00010203);

    EXPECT_NE(second.Image().Handle, first.Image().Handle);
    EXPECT_EQ(first.Image().RefCount, 1);
    EXPECT_EQ(second.Image().RefCount, 1);
    EXPECT_EQ(gdi.BitmapSurface(first.Image().Handle)->Pixel(1, 1), 0x00FFFFFFu);
    EXPECT_EQ(gdi.BitmapSurface(second.Image().Handle)->Pixel(1, 1), 0x00010203u);
}

TEST_F(BitmapTest, SharedImageIsFreedWithItsLastBitmap) {
    auto first = std::make_unique<TBitmap>();
    first->SetWidth(3);
    first->SetHeight(3);
    {
        TBitmap second;
        second.Assign(*first);
        first.reset();
        EXPECT_EQ(gdi.LiveObjectCount(), 1);
        EXPECT_EQ(second.Image().RefCount, 1);
    }
    EXPECT_EQ(gdi.LiveObjectCount(), 0);
}

TEST_F(BitmapTest, DuplicatePaletteCopiesTheEntries) {
    const platform::PaletteEntry entries[] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    const platform::ObjectHandle palette = gdi.CreatePalette(entries, 2);
    gdi.ClearLog();

    const platform::ObjectHandle copy = DuplicatePalette(palette);

    EXPECT_THAT(TakeCalls(), ElementsAre("GetPaletteEntryCount(pal1)", "GetPaletteEntries(pal1,0,2)",
                                         "CreatePalette(2)"));
    platform::PaletteEntry read[2];
    ASSERT_EQ(gdi.GetPaletteEntries(copy, 0, 2, read), 2u);
    EXPECT_EQ(read[1].Green, 5);
    EXPECT_EQ(DuplicatePalette(0), 0u);
    gdi.FailNext(Call::GetPaletteEntryCount);
    EXPECT_EQ(DuplicatePalette(palette), 0u);
}

}  // namespace
}  // namespace qmk
