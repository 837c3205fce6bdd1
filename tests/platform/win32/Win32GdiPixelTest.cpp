// Device bitmaps, memory contexts, single pixels and block transfers of the
// Win32 graphics backend on Wine's GDI.
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "Win32GdiFixture.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform::win32::testing {
namespace {

// Colours of the window and the tests, and some whose low bits a reduced
// format would lose; at Wine's 32-bit screen every one comes back exactly.
const ColorRef RoundTripColours[] = {0x00000000, 0x00FFFFFF, 0x00123456, 0x00000080,
                                     0x00808000, 0x00C0C0C0, 0x00070307, 0x00FF00FF};

void ExpectRoundTrips(Gdi& gdi, DcHandle dc, std::int32_t x, std::int32_t y) {
    for (const ColorRef colour : RoundTripColours) {
        SCOPED_TRACE(std::to_string(colour));
        EXPECT_EQ(gdi.SetPixel(dc, x, y, colour), colour);
        EXPECT_EQ(gdi.GetPixel(dc, x, y), colour);
    }
}

TEST_F(Win32GdiTest, ScreenCompatibleBitmapsHoldTheScreensDepth) {
    const DcHandle screen = gdi_.GetDC(0);
    ASSERT_NE(screen, 0u);
    const int depth = gdi_.GetDeviceCaps(screen, caps::BitsPixel);
    // Wine shows a 24-bit X screen as 32 bits per pixel.
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(gdi_.GetDeviceCaps(screen, caps::HorzRes), 1024);
    EXPECT_EQ(gdi_.GetDeviceCaps(screen, caps::VertRes), 768);
    EXPECT_EQ(gdi_.ReleaseDC(0, screen), 1);

    auto m = MakeMemoryDc(gdi_, 174, 190);
    BITMAP info{};
    ASSERT_NE(::GetObjectW(reinterpret_cast<HGDIOBJ>(m.Bitmap), sizeof info, &info), 0);
    EXPECT_EQ(info.bmBitsPixel, depth);
    EXPECT_EQ(info.bmWidth, 174);
    EXPECT_EQ(info.bmHeight, 190);
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, PixelsRoundTripAcrossTheBitmap) {
    auto m = MakeMemoryDc(gdi_, 174, 190);
    ExpectRoundTrips(gdi_, m.Dc, 3, 4);
    ExpectRoundTrips(gdi_, m.Dc, 0, 0);
    ExpectRoundTrips(gdi_, m.Dc, 173, 189);
    // Neighbours of written pixels are untouched.
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 172, 189), 0x00FFFFFFu);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 173, 188), 0x00FFFFFFu);
    FreeMemoryDc(gdi_, m);
}

// GetPixel outside the bitmap is the invalid colour (ReadPixel hands it
// on); what SetPixel returns there is the system's business (Windows says
// -1, Wine returns the colour) and the drawing layer ignores it.
TEST_F(Win32GdiTest, OutsideTheBitmapWritesNothingAndReadsInvalid) {
    auto m = MakeMemoryDc(gdi_, 20, 10);
    const struct {
        std::int32_t X, Y;
    } outside[] = {{-1, 0}, {0, -1}, {20, 0}, {0, 10}, {65536 + 3, 3}, {3, 65536 + 3},
                   {INT32_MIN, 0}, {0, INT32_MAX}};
    for (const auto& p : outside) {
        SCOPED_TRACE(std::to_string(p.X) + "," + std::to_string(p.Y));
        gdi_.SetPixel(m.Dc, p.X, p.Y, 0x00000000);
        EXPECT_EQ(gdi_.GetPixel(m.Dc, p.X, p.Y), InvalidColor);
    }
    const auto pixels = ReadBack(gdi_, m, 20, 10);
    for (const ColorRef c : pixels) ASSERT_EQ(c, 0x00FFFFFFu);
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, ViewportOriginAndClipApplyToPixels) {
    auto m = MakeMemoryDc(gdi_, 10, 10);
    Point previous{9, 9};
    EXPECT_TRUE(gdi_.SetViewportOrgEx(m.Dc, 2, 3, &previous));
    EXPECT_EQ(previous, (Point{0, 0}));
    EXPECT_EQ(gdi_.IntersectClipRect(m.Dc, 0, 0, 4, 4), SimpleRegion);
    gdi_.SetPixel(m.Dc, 0, 0, 0x00000000);
    gdi_.SetPixel(m.Dc, 4, 0, 0x00000000);  // clipped away
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 0, 0), 0x00000000u);  // read through the origin too
    EXPECT_TRUE(gdi_.SetViewportOrgEx(m.Dc, 0, 0, &previous));
    EXPECT_EQ(previous, (Point{2, 3}));
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 2, 3), 0x00000000u);
    // Narrowing further intersects; an empty clip reports a null region.
    EXPECT_EQ(gdi_.IntersectClipRect(m.Dc, 8, 8, 9, 9), NullRegion);
    const auto pixels = ReadBack(gdi_, m, 10, 10);
    EXPECT_EQ(pixels[3 * 10 + 2], 0x00000000u);
    EXPECT_EQ(pixels[3 * 10 + 6], 0x00FFFFFFu);
    FreeMemoryDc(gdi_, m);
}

// The video test's copy: a bitmap onto a clipped destination whose origin
// is moved, as a paint box's canvas is inside its window.
TEST_F(Win32GdiTest, CopiesAreMovedByTheOriginAndCutByTheClip) {
    auto source = MakeMemoryDc(gdi_, 8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) gdi_.SetPixel(source.Dc, x, y, static_cast<ColorRef>(0x00010000 * y + x));
    auto dest = MakeMemoryDc(gdi_, 30, 30);
    gdi_.SetViewportOrgEx(dest.Dc, 10, 5, nullptr);
    gdi_.IntersectClipRect(dest.Dc, 0, 0, 6, 6);  // device (10,5)-(16,11)
    EXPECT_TRUE(gdi_.BitBlt(dest.Dc, -2, 1, 8, 8, source.Dc, 0, 0, rop::SrcCopy));
    const auto pixels = ReadBack(gdi_, dest, 30, 30);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 10 && x < 16 && y >= 6 && y < 11;
            const ColorRef expected =
                inside ? static_cast<ColorRef>(0x00010000 * (y - 6) + (x - 8)) : 0x00FFFFFFu;
            ASSERT_EQ(pixels[y * 30 + x], expected) << x << "," << y;
        }
    }
    FreeMemoryDc(gdi_, dest);
    FreeMemoryDc(gdi_, source);
}

TEST_F(Win32GdiTest, StretchingPicksNearestPixels) {
    auto source = MakeMemoryDc(gdi_, 2, 2);
    gdi_.SetPixel(source.Dc, 0, 0, 0x000000FF);
    gdi_.SetPixel(source.Dc, 1, 1, 0x0000FF00);
    auto dest = MakeMemoryDc(gdi_, 4, 4);
    gdi_.SetStretchBltMode(dest.Dc, ColorOnColor);
    EXPECT_TRUE(gdi_.StretchBlt(dest.Dc, 0, 0, 4, 4, source.Dc, 0, 0, 2, 2, rop::SrcCopy));
    EXPECT_EQ(gdi_.GetPixel(dest.Dc, 1, 1), 0x000000FFu);
    EXPECT_EQ(gdi_.GetPixel(dest.Dc, 2, 1), 0x00FFFFFFu);
    EXPECT_EQ(gdi_.GetPixel(dest.Dc, 3, 3), 0x0000FF00u);
    // Same size: a plain copy, moved.
    EXPECT_TRUE(gdi_.StretchBlt(dest.Dc, 2, 0, 2, 2, source.Dc, 0, 0, 2, 2, rop::SrcCopy));
    EXPECT_EQ(gdi_.GetPixel(dest.Dc, 2, 0), 0x000000FFu);
    EXPECT_EQ(gdi_.GetPixel(dest.Dc, 3, 1), 0x0000FF00u);
    FreeMemoryDc(gdi_, dest);
    FreeMemoryDc(gdi_, source);
}

TEST_F(Win32GdiTest, SelectObjectReturnsThePreviousObjectOfEachKind) {
    auto m = MakeMemoryDc(gdi_, 4, 4);
    const ObjectHandle pen = gdi_.CreatePenIndirect(LogPen{ps::Solid, 1, 0x000000FF});
    const ObjectHandle brush = gdi_.CreateBrushIndirect(LogBrush{bs::Solid, 0x0000FF00, 0});
    ASSERT_NE(pen, 0u);
    ASSERT_NE(brush, 0u);
    EXPECT_EQ(gdi_.SelectObject(m.Dc, pen), gdi_.GetStockObject(stock::BlackPen));
    EXPECT_EQ(gdi_.SelectObject(m.Dc, brush), gdi_.GetStockObject(stock::WhiteBrush));
    EXPECT_EQ(gdi_.SelectObject(m.Dc, gdi_.GetStockObject(stock::BlackPen)), pen);
    EXPECT_EQ(gdi_.SelectObject(m.Dc, gdi_.GetStockObject(stock::WhiteBrush)), brush);
    EXPECT_NE(m.Previous, 0u);  // the one-pixel bitmap a new context holds
    // Nothing to select gives no previous object.
    EXPECT_EQ(gdi_.SelectObject(m.Dc, 0), 0u);
    EXPECT_TRUE(gdi_.DeleteObject(pen));
    EXPECT_TRUE(gdi_.DeleteObject(brush));
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, BrushesPensAndFixedPatternsPaint) {
    auto m = MakeMemoryDc(gdi_, 6, 6);
    EXPECT_TRUE(gdi_.PatBlt(m.Dc, 0, 0, 6, 6, rop::Blackness));
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 5, 5), 0x00000000u);
    const ObjectHandle brush = gdi_.CreateBrushIndirect(LogBrush{bs::Solid, 0x00336699, 0});
    const ObjectHandle oldBrush = gdi_.SelectObject(m.Dc, brush);
    EXPECT_TRUE(gdi_.PatBlt(m.Dc, 2, 2, 2, 2, rop::PatCopy));
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 3, 3), 0x00336699u);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 4, 4), 0x00000000u);
    EXPECT_NE(gdi_.FillRect(m.Dc, Rect{0, 0, 2, 1}, brush), 0);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 1, 0), 0x00336699u);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 1, 1), 0x00000000u);
    // System colour brushes are their index plus one.
    gdi_.FillRect(m.Dc, Rect{5, 0, 6, 1}, syscolor::BtnFace + 1);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 5, 0), gdi_.GetSysColor(syscolor::BtnFace));

    const ObjectHandle pen = gdi_.CreatePenIndirect(LogPen{ps::Solid, 1, 0x00000080});
    const ObjectHandle oldPen = gdi_.SelectObject(m.Dc, pen);
    Point at;
    EXPECT_TRUE(gdi_.MoveToEx(m.Dc, 0, 5, nullptr));
    EXPECT_TRUE(gdi_.LineTo(m.Dc, 4, 5));  // the last point is not drawn
    ASSERT_TRUE(gdi_.GetCurrentPositionEx(m.Dc, &at));
    EXPECT_EQ(at, (Point{4, 5}));
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 0, 5), 0x00000080u);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 3, 5), 0x00000080u);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 4, 5), 0x00000000u);
    Point previous;
    EXPECT_TRUE(gdi_.MoveToEx(m.Dc, 1, 1, &previous));
    EXPECT_EQ(previous, (Point{4, 5}));

    gdi_.SelectObject(m.Dc, oldPen);
    gdi_.SelectObject(m.Dc, oldBrush);
    gdi_.DeleteObject(pen);
    gdi_.DeleteObject(brush);
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, FocusRectangleDrawnTwiceLeavesNoTrace) {
    auto m = MakeMemoryDc(gdi_, 12, 12);
    gdi_.PatBlt(m.Dc, 0, 0, 12, 12, rop::Blackness);
    const Rect box{1, 1, 11, 11};
    ASSERT_TRUE(gdi_.DrawFocusRect(m.Dc, box));
    int changed = 0;
    for (int i = 1; i < 11; ++i) changed += gdi_.GetPixel(m.Dc, i, 1) != 0x00000000u;
    EXPECT_GT(changed, 3);  // dotted
    EXPECT_LT(changed, 10);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 5, 5), 0x00000000u);
    ASSERT_TRUE(gdi_.DrawFocusRect(m.Dc, box));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(gdi_.GetPixel(m.Dc, x, y), 0x00000000u) << x << "," << y;
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, PalettesKeepTheirEntries) {
    const PaletteEntry entries[] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    const ObjectHandle palette = gdi_.CreatePalette(entries, 3);
    ASSERT_NE(palette, 0u);
    std::uint16_t count = 0;
    ASSERT_TRUE(gdi_.GetPaletteEntryCount(palette, count));
    EXPECT_EQ(count, 3);
    PaletteEntry read[3];
    EXPECT_EQ(gdi_.GetPaletteEntries(palette, 1, 5, read), 2u);
    EXPECT_EQ(read[0].Red, 4);
    EXPECT_EQ(read[1].Blue, 9);
    EXPECT_EQ(gdi_.GetPaletteEntries(palette, 0, 0, nullptr), 3u);
    // Only palettes have an entry count.
    std::uint16_t none = 7;
    EXPECT_FALSE(gdi_.GetPaletteEntryCount(gdi_.GetStockObject(stock::BlackPen), none));
    EXPECT_EQ(none, 7);

    auto m = MakeMemoryDc(gdi_, 2, 2);
    const ObjectHandle previous = gdi_.SelectPalette(m.Dc, palette, true);
    EXPECT_EQ(previous, gdi_.GetStockObject(stock::DefaultPalette));
    EXPECT_NE(gdi_.RealizePalette(m.Dc), 0xFFFFFFFFu);
    EXPECT_EQ(gdi_.SelectPalette(m.Dc, previous, true), palette);
    EXPECT_TRUE(gdi_.DeleteObject(palette));
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, PaletteOfMoreEntriesThanALogicalPaletteCountsIsRefused) {
    EXPECT_EQ(gdi_.CreatePalette(nullptr, 3), 0u);
    static PaletteEntry many[0x10000];
    EXPECT_EQ(gdi_.CreatePalette(many, 0x10000), 0u);
}

TEST_F(Win32GdiTest, MonochromeBitmapTakesBitsAndCopiesInTextAndBackgroundColours) {
    // 2 x 2: row 0 = white, black; row 1 = black, white (rows padded to 16 bits).
    const unsigned char bits[] = {0x80, 0x00, 0x40, 0x00};
    const ObjectHandle mono = gdi_.CreateBitmap(2, 2, 1, 1, bits);
    ASSERT_NE(mono, 0u);
    const DcHandle monoDc = gdi_.CreateCompatibleDC(0);
    const ObjectHandle previous = gdi_.SelectObject(monoDc, mono);
    EXPECT_EQ(gdi_.GetPixel(monoDc, 0, 0), 0x00FFFFFFu);
    EXPECT_EQ(gdi_.GetPixel(monoDc, 1, 0), 0x00000000u);
    auto m = MakeMemoryDc(gdi_, 2, 2);
    gdi_.SetTextColor(m.Dc, 0x00000080);
    gdi_.SetBkColor(m.Dc, 0x00808000);
    EXPECT_TRUE(gdi_.BitBlt(m.Dc, 0, 0, 2, 2, monoDc, 0, 0, rop::SrcCopy));
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 0, 0), 0x00808000u);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 1, 0), 0x00000080u);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 1, 1), 0x00808000u);
    gdi_.SelectObject(monoDc, previous);
    gdi_.DeleteDC(monoDc);
    gdi_.DeleteObject(mono);
    FreeMemoryDc(gdi_, m);
}

}  // namespace
}  // namespace qmk::platform::win32::testing
