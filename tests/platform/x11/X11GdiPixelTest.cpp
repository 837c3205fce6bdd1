// Device bitmaps, memory contexts and single pixels of the X11 graphics
// backend, at the depths a screen may have.
#include <algorithm>
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "X11GdiFixture.h"

namespace qmk::platform::x11::testing {
namespace {

// Round trips at every depth are the contract's (tests/platform/contract).

TEST_F(X11GdiTest, NewBitmapIsFilledWhiteAndWritesLandInTheServerPixmap) {
    auto m = MakeMemoryDc(*gdi_, 174, 190);
    gdi_->SetPixel(m.Dc, 173, 189, 0x00000080);
    gdi_->SetPixel(m.Dc, 0, 0, 0x00808000);
    // Read the pixmap behind the backend's back: the picture lives there.
    const Pixmap pixmap = gdi_->PixmapOf(m.Bitmap);
    ASSERT_NE(pixmap, 0u);
    const auto pixels = ReadBack(pixmap, 174, 190);
    ASSERT_EQ(pixels.size(), 174u * 190u);
    EXPECT_EQ(pixels[189 * 174 + 173], 0x00000080u);
    EXPECT_EQ(pixels[0], 0x00808000u);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0x00FFFFFFu), 174 * 190 - 2);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, OutsideTheBitmapWritesNothingAndReadsInvalid) {
    auto m = MakeMemoryDc(*gdi_, 20, 10);
    const struct {
        std::int32_t X, Y;
    } outside[] = {{-1, 0}, {0, -1}, {20, 0}, {0, 10}, {65536 + 3, 3}, {3, 65536 + 3},
                   {INT32_MIN, 0}, {0, INT32_MAX}};
    for (const auto& p : outside) {
        SCOPED_TRACE(std::to_string(p.X) + "," + std::to_string(p.Y));
        EXPECT_EQ(gdi_->SetPixel(m.Dc, p.X, p.Y, 0x00000000), InvalidColor);
        EXPECT_EQ(gdi_->GetPixel(m.Dc, p.X, p.Y), InvalidColor);
    }
    // Coordinates that would wrap in the protocol's 16 bits hit nothing.
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 3, 3), 0x00FFFFFFu);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 19, 9), 0x00FFFFFFu);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, PixelWriteIgnoresTheMixModeAndReturnsTheStoredColour) {
    auto m = MakeMemoryDc(*gdi_, 4, 4);
    gdi_->SetROP2(m.Dc, r2::XorPen);
    EXPECT_EQ(gdi_->SetPixel(m.Dc, 1, 1, 0x00123456), 0x00123456u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 1, 1), 0x00123456u);
    // The top byte (clNone's 0x1F) is not a colour component.
    gdi_->SetPixel(m.Dc, 2, 2, 0x1FFFFFFF);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 2, 2), 0x00FFFFFFu);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, ViewportOriginAndClipApplyToPixels) {
    auto m = MakeMemoryDc(*gdi_, 10, 10);
    Point previous{9, 9};
    EXPECT_TRUE(gdi_->SetViewportOrgEx(m.Dc, 2, 3, &previous));
    EXPECT_EQ(previous, (Point{0, 0}));
    EXPECT_EQ(gdi_->IntersectClipRect(m.Dc, 0, 0, 4, 4), SimpleRegion);
    gdi_->SetPixel(m.Dc, 0, 0, 0x00000000);
    gdi_->SetPixel(m.Dc, 4, 0, 0x00000000);  // clipped away
    gdi_->SetViewportOrgEx(m.Dc, 0, 0, nullptr);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 2, 3), 0x00000000u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 6, 3), InvalidColor);  // outside the clip, device (6,3)
    // Narrowing further intersects; an empty clip reports a null region.
    EXPECT_EQ(gdi_->IntersectClipRect(m.Dc, 8, 8, 9, 9), NullRegion);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 2, 3), InvalidColor);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, SelectObjectReturnsThePreviousObjectOfEachKind) {
    auto m = MakeMemoryDc(*gdi_, 4, 4);
    const ObjectHandle pen = gdi_->CreatePenIndirect(LogPen{ps::Solid, 1, 0x000000FF});
    const ObjectHandle brush = gdi_->CreateBrushIndirect(LogBrush{bs::Solid, 0x0000FF00, 0});
    EXPECT_EQ(gdi_->SelectObject(m.Dc, pen), gdi_->GetStockObject(stock::BlackPen));
    EXPECT_EQ(gdi_->SelectObject(m.Dc, brush), gdi_->GetStockObject(stock::WhiteBrush));
    EXPECT_EQ(gdi_->SelectObject(m.Dc, gdi_->GetStockObject(stock::BlackPen)), pen);
    EXPECT_EQ(gdi_->SelectObject(m.Dc, gdi_->GetStockObject(stock::WhiteBrush)), brush);
    EXPECT_NE(m.Previous, 0u);  // the one-pixel bitmap a new context holds
    EXPECT_TRUE(gdi_->DeleteObject(pen));
    EXPECT_TRUE(gdi_->DeleteObject(brush));
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, ABitmapInUseIsNeitherDeletedNorSelectedTwice) {
    auto m = MakeMemoryDc(*gdi_, 4, 4);
    EXPECT_FALSE(gdi_->DeleteObject(m.Bitmap));
    const DcHandle other = gdi_->CreateCompatibleDC(0);
    EXPECT_EQ(gdi_->SelectObject(other, m.Bitmap), 0u);
    EXPECT_TRUE(gdi_->DeleteDC(other));
    // Deleting the context gives the bitmap up; the picture survives.
    gdi_->SetPixel(m.Dc, 1, 1, 0x00010203);
    EXPECT_TRUE(gdi_->DeleteDC(m.Dc));
    const DcHandle again = gdi_->CreateCompatibleDC(0);
    EXPECT_NE(gdi_->SelectObject(again, m.Bitmap), 0u);
    EXPECT_EQ(gdi_->GetPixel(again, 1, 1), 0x00010203u);
    EXPECT_TRUE(gdi_->DeleteDC(again));
    EXPECT_TRUE(gdi_->DeleteObject(m.Bitmap));
    EXPECT_FALSE(gdi_->DeleteObject(m.Bitmap));  // already gone
    EXPECT_FALSE(gdi_->DeleteDC(m.Dc));
}

TEST_F(X11GdiTest, PatternOperationsFillWithFixedColoursOrTheBrush) {
    auto m = MakeMemoryDc(*gdi_, 6, 6);
    gdi_->PatBlt(m.Dc, 0, 0, 6, 6, rop::Blackness);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 5, 5), 0x00000000u);
    const ObjectHandle brush = gdi_->CreateBrushIndirect(LogBrush{bs::Solid, 0x00336699, 0});
    const ObjectHandle old = gdi_->SelectObject(m.Dc, brush);
    // A negative size extends to the left and up.
    gdi_->PatBlt(m.Dc, 4, 4, -2, -2, rop::PatCopy);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 2, 2), 0x00336699u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 3, 3), 0x00336699u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 4, 4), 0x00000000u);
    EXPECT_EQ(gdi_->FillRect(m.Dc, Rect{0, 0, 2, 1}, brush), 1);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 1, 0), 0x00336699u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 1, 1), 0x00000000u);
    // System colour brushes are their index plus one.
    gdi_->FillRect(m.Dc, Rect{5, 0, 6, 1}, syscolor::BtnFace + 1);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 5, 0), 0x00C0C0C0u);
    gdi_->SelectObject(m.Dc, old);
    gdi_->DeleteObject(brush);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, MonochromeBitmapTakesBitsAndCopiesInTextAndBackgroundColours) {
    // 2 x 2: row 0 = white, black; row 1 = black, white (rows padded to 16 bits).
    const unsigned char bits[] = {0x80, 0x00, 0x40, 0x00};
    const ObjectHandle mono = gdi_->CreateBitmap(2, 2, 1, 1, bits);
    const DcHandle monoDc = gdi_->CreateCompatibleDC(0);
    const ObjectHandle previous = gdi_->SelectObject(monoDc, mono);
    EXPECT_EQ(gdi_->GetPixel(monoDc, 0, 0), 0x00FFFFFFu);
    EXPECT_EQ(gdi_->GetPixel(monoDc, 1, 0), 0x00000000u);
    auto m = MakeMemoryDc(*gdi_, 2, 2);
    gdi_->SetTextColor(m.Dc, 0x00000080);
    gdi_->SetBkColor(m.Dc, 0x00808000);
    EXPECT_TRUE(gdi_->BitBlt(m.Dc, 0, 0, 2, 2, monoDc, 0, 0, rop::SrcCopy));
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 0, 0), 0x00808000u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 1, 0), 0x00000080u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 1, 1), 0x00808000u);
    gdi_->SelectObject(monoDc, previous);
    gdi_->DeleteDC(monoDc);
    gdi_->DeleteObject(mono);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, StretchingPicksNearestPixels) {
    auto source = MakeMemoryDc(*gdi_, 2, 2);
    gdi_->SetPixel(source.Dc, 0, 0, 0x000000FF);
    gdi_->SetPixel(source.Dc, 1, 1, 0x0000FF00);
    auto dest = MakeMemoryDc(*gdi_, 4, 4);
    EXPECT_TRUE(gdi_->StretchBlt(dest.Dc, 0, 0, 4, 4, source.Dc, 0, 0, 2, 2, rop::SrcCopy));
    EXPECT_EQ(gdi_->GetPixel(dest.Dc, 1, 1), 0x000000FFu);
    EXPECT_EQ(gdi_->GetPixel(dest.Dc, 2, 1), 0x00FFFFFFu);
    EXPECT_EQ(gdi_->GetPixel(dest.Dc, 3, 3), 0x0000FF00u);
    FreeMemoryDc(*gdi_, dest);
    FreeMemoryDc(*gdi_, source);
}

TEST_F(X11GdiTest, PalettesAreKeptForQueriesOnly) {
    const PaletteEntry entries[] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    const ObjectHandle palette = gdi_->CreatePalette(entries, 2);
    std::uint16_t count = 0;
    ASSERT_TRUE(gdi_->GetPaletteEntryCount(palette, count));
    EXPECT_EQ(count, 2);
    PaletteEntry read[2];
    EXPECT_EQ(gdi_->GetPaletteEntries(palette, 1, 5, read), 1u);
    EXPECT_EQ(read[0].Blue, 6);
    auto m = MakeMemoryDc(*gdi_, 2, 2);
    const ObjectHandle previous = gdi_->SelectPalette(m.Dc, palette, true);
    EXPECT_EQ(previous, gdi_->GetStockObject(stock::DefaultPalette));
    gdi_->RealizePalette(m.Dc);
    EXPECT_FALSE(gdi_->DeleteObject(palette));  // still selected
    EXPECT_EQ(gdi_->SelectPalette(m.Dc, previous, true), palette);
    EXPECT_TRUE(gdi_->DeleteObject(palette));
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTest, DeviceCapsAndSystemColours) {
    EXPECT_EQ(gdi_->GetDeviceCaps(0, caps::BitsPixel), 24);
    EXPECT_EQ(gdi_->GetDeviceCaps(0, caps::HorzRes), display_->ScreenWidth());
    EXPECT_EQ(gdi_->GetDeviceCaps(0, caps::LogPixelsY), display_->PixelsPerInch());
    EXPECT_NE(gdi_->GetDeviceCaps(0, caps::RasterCaps) & caps::RcStretchDib, 0);
    const struct {
        int Index;
        ColorRef Color;
    } colours[] = {{syscolor::BtnFace, 0x00C0C0C0}, {syscolor::BtnHighlight, 0x00FFFFFF},
                   {syscolor::BtnShadow, 0x00808080}, {syscolor::WindowText, 0x00000000},
                   {syscolor::Window, 0x00FFFFFF}, {syscolor::Highlight, 0x00800000},
                   {syscolor::HighlightText, 0x00FFFFFF}, {-1, 0}, {syscolor::Count, 0}};
    for (const auto& c : colours) EXPECT_EQ(gdi_->GetSysColor(c.Index), c.Color) << c.Index;
}

}  // namespace
}  // namespace qmk::platform::x11::testing
