// The recording backend: the log, handle names, surfaces in both depths,
// origin and clip, transfers, object rules and injected failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/recording/RecordingGdi.h"

namespace qmk::platform {
namespace {

using ::testing::ElementsAre;
using Call = RecordingGdi::Call;

TEST(RecordingGdiTest, LogsEveryCallWithItsArgumentsAndCanBeSwitchedOff) {
    RecordingGdi gdi;
    const DcHandle dc = gdi.CreateCompatibleDC(0);
    gdi.SetPixel(dc, 3, 4, 0x00FF0000);
    const Rect area{1, 2, 3, 4};
    gdi.ExtTextOut(dc, 5, 6, eto::Opaque, &area, "ab", 2);
    gdi.ExtTextOut(dc, 5, 6, 0, nullptr, "", 0);
    gdi.GetDC(42);
    EXPECT_THAT(gdi.Calls(), ElementsAre("CreateCompatibleDC(0)", "SetPixel(dc1,3,4,0x00FF0000)",
                                         "ExtTextOut(dc1,5,6,0x00000002,(1,2,3,4),\"ab\")",
                                         "ExtTextOut(dc1,5,6,0x00000000,null,\"\")", "GetDC(w42)"));
    EXPECT_EQ(gdi.Calls(Call::SetPixel), (std::vector<std::string>{"SetPixel(dc1,3,4,0x00FF0000)"}));

    gdi.ClearLog();
    gdi.SetLogging(false);
    gdi.SetPixel(dc, 0, 0, 0);
    EXPECT_EQ(gdi.GetPixel(dc, 0, 0), 0u);
    EXPECT_EQ(gdi.LogSize(), 0u);
}

TEST(RecordingGdiTest, SixteenBitSurfacesKeepTheTopBitsOfEachComponent) {
    struct Case {
        ColorRef Written, Read;
    };
    const Case cases[] = {{0x00FFFFFF, 0x00F8FCF8}, {0x00123456, 0x00103450}, {0x00070307, 0}};
    RecordingGdi gdi(16);
    const DcHandle screen = gdi.GetDC(0);
    const DcHandle dc = gdi.CreateCompatibleDC(screen);
    gdi.SelectObject(dc, gdi.CreateCompatibleBitmap(screen, 2, 2));
    EXPECT_EQ(gdi.GetDeviceCaps(screen, caps::BitsPixel), 16);
    for (const Case& c : cases) {
        EXPECT_EQ(gdi.SetPixel(dc, 1, 1, c.Written), c.Read);
        EXPECT_EQ(gdi.GetPixel(dc, 1, 1), c.Read);
    }
}

TEST(RecordingGdiTest, OriginAndClipApplyToPixelsAndFills) {
    RecordingGdi gdi;
    RecordingSurface& window = gdi.AddWindow(5, 10, 10, 0x00111111);
    const DcHandle dc = gdi.GetDC(5);
    gdi.SetViewportOrgEx(dc, 2, 3, nullptr);
    EXPECT_EQ(gdi.IntersectClipRect(dc, 0, 0, 4, 4), SimpleRegion);

    gdi.SetPixel(dc, 0, 0, 0x00AAAAAA);
    EXPECT_EQ(window.Pixel(2, 3), 0x00AAAAAAu);
    EXPECT_EQ(gdi.SetPixel(dc, 4, 0, 0x00AAAAAA), InvalidColor);
    EXPECT_EQ(gdi.GetPixel(dc, 4, 0), InvalidColor);
    EXPECT_EQ(gdi.GetPixel(dc, -1, 0), InvalidColor);
    EXPECT_EQ(window.Pixel(6, 3), 0x00111111u);

    gdi.FillRect(dc, Rect{-5, -5, 50, 50}, gdi.GetStockObject(stock::BlackBrush));
    int black = 0;
    for (std::int32_t y = 0; y < 10; ++y)
        for (std::int32_t x = 0; x < 10; ++x) black += window.Pixel(x, y) == 0 ? 1 : 0;
    EXPECT_EQ(black, 16);
    EXPECT_EQ(gdi.IntersectClipRect(dc, 10, 10, 20, 20), NullRegion);
}

TEST(RecordingGdiTest, TransfersCopyPlainOrStretchByNearestNeighbour) {
    RecordingGdi gdi;
    const DcHandle screen = gdi.GetDC(0);
    const DcHandle source = gdi.CreateCompatibleDC(screen);
    gdi.SelectObject(source, gdi.CreateCompatibleBitmap(screen, 2, 2));
    gdi.SetPixel(source, 0, 0, 1);
    gdi.SetPixel(source, 1, 0, 2);
    gdi.SetPixel(source, 0, 1, 3);
    gdi.SetPixel(source, 1, 1, 4);
    RecordingSurface& target = gdi.AddWindow(9, 4, 4, 0x00777777);
    const DcHandle dest = gdi.GetDC(9);

    EXPECT_TRUE(gdi.StretchBlt(dest, 0, 0, 4, 4, source, 0, 0, 2, 2, rop::SrcCopy));
    const ColorRef stretched[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Pixel(x, y), stretched[y][x]);

    target.Fill(0x00777777);
    EXPECT_TRUE(gdi.BitBlt(dest, 3, 3, 2, 2, source, 0, 0, rop::SrcCopy));
    EXPECT_EQ(target.Pixel(3, 3), 1u);
    EXPECT_EQ(target.Pixel(2, 3), 0x00777777u);
    EXPECT_TRUE(gdi.PatBlt(dest, 0, 0, 1, 1, rop::Whiteness));
    EXPECT_EQ(target.Pixel(0, 0), 0x00FFFFFFu);
}

TEST(RecordingGdiTest, ABitmapLivesInOneContextAndIsNotDeletedWhileSelected) {
    RecordingGdi gdi;
    const DcHandle first = gdi.CreateCompatibleDC(0);
    const DcHandle second = gdi.CreateCompatibleDC(0);
    const ObjectHandle bitmap = gdi.CreateBitmap(4, 4, 1, 24, nullptr);
    EXPECT_EQ(RecordingGdi::HandleName(gdi.SelectObject(first, bitmap)), "defaultbitmap");
    EXPECT_EQ(gdi.SelectObject(second, bitmap), 0u);
    EXPECT_FALSE(gdi.DeleteObject(bitmap));
    EXPECT_TRUE(gdi.DeleteDC(first));
    EXPECT_TRUE(gdi.DeleteObject(bitmap));
    EXPECT_EQ(gdi.BitmapSurface(bitmap), nullptr);
    EXPECT_TRUE(gdi.DeleteDC(second));
    EXPECT_EQ(gdi.LiveDcCount(), 0);
    EXPECT_EQ(gdi.LiveObjectCount(), 0);
}

TEST(RecordingGdiTest, ObjectsSelectedIntoAContextAreNotDeletedUntilReplaced) {
    RecordingGdi gdi;
    const DcHandle dc = gdi.CreateCompatibleDC(0);
    const ObjectHandle pen = gdi.CreatePenIndirect(LogPen{ps::Solid, 1, 0x000000FF});
    const ObjectHandle stockPen = gdi.SelectObject(dc, pen);
    EXPECT_EQ(RecordingGdi::HandleName(stockPen), "stock7");
    EXPECT_FALSE(gdi.DeleteObject(pen));
    EXPECT_EQ(gdi.SelectObject(dc, stockPen), pen);
    EXPECT_TRUE(gdi.DeleteObject(pen));
    EXPECT_EQ(gdi.Dc(dc).Pen, stockPen);
}

TEST(RecordingGdiTest, InjectedFailuresHitTheChosenCall) {
    RecordingGdi gdi;
    gdi.FailNext(Call::CreateCompatibleDC, 1, 1);
    EXPECT_NE(gdi.CreateCompatibleDC(0), 0u);
    EXPECT_EQ(gdi.CreateCompatibleDC(0), 0u);
    EXPECT_NE(gdi.CreateCompatibleDC(0), 0u);
    gdi.FailNext(Call::GetDC);
    EXPECT_EQ(gdi.GetDC(0), 0u);
    EXPECT_EQ(gdi.LogSize(), 4u);
    EXPECT_EQ(gdi.GetDC(12345), 0u);  // no such window
}

TEST(RecordingGdiTest, QueriesAnswerTheClassicScheme) {
    RecordingGdi gdi;
    const std::pair<int, ColorRef> colours[] = {
        {syscolor::BtnFace, 0x00C0C0C0}, {syscolor::BtnShadow, 0x00808080},
        {syscolor::BtnHighlight, 0x00FFFFFF}, {syscolor::WindowText, 0},
        {syscolor::Window, 0x00FFFFFF}, {syscolor::Highlight, 0x00800000},
        {syscolor::HighlightText, 0x00FFFFFF}, {syscolor::DkShadow3D, 0},
        {syscolor::Light3D, 0x00C0C0C0},
    };
    for (const auto& [index, colour] : colours) EXPECT_EQ(gdi.GetSysColor(index), colour) << index;
    const DcHandle screen = gdi.GetDC(0);
    EXPECT_EQ(gdi.GetDeviceCaps(screen, caps::LogPixelsY), 96);
    gdi.SetLogPixels(120);
    EXPECT_EQ(gdi.GetDeviceCaps(screen, caps::LogPixelsY), 120);
    EXPECT_EQ(gdi.GetDeviceCaps(screen, caps::RasterCaps) & caps::RcStretchDib, caps::RcStretchDib);
}

TEST(RecordingGdiTest, TextHasFixedMetrics) {
    RecordingGdi gdi;
    const DcHandle dc = gdi.CreateCompatibleDC(0);
    LogFont request;
    request.Height = -12;
    gdi.SelectObject(dc, gdi.CreateFontIndirect(request));
    Size size;
    // "0", "ab", "ＣＰＵ" (three double-byte characters)
    const std::pair<std::string, std::int32_t> table[] = {
        {"0", 6}, {"ab", 12}, {"\x82\x62\x82\x6f\x82\x74", 36}, {"a\x82\x62", 18}};
    for (const auto& [text, width] : table) {
        ASSERT_TRUE(gdi.GetTextExtentPoint(dc, text.data(), static_cast<int>(text.size()), &size));
        EXPECT_EQ(size, (Size{width, 12})) << text;
    }
}

}  // namespace
}  // namespace qmk::platform
