// Window device contexts of the X11 graphics backend: drawing straight into
// a control's window with its origin and clip, lines, and the copy of an
// off-screen bitmap into a bevelled panel.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "X11GdiFixture.h"

namespace qmk::platform::x11::testing {
namespace {

constexpr int PanelWidth = 89, PanelHeight = 97;
constexpr ColorRef Face = 0x00C0C0C0, Highlight = 0x00FFFFFF, Shadow = 0x00808080;

class X11GdiWindowTest : public X11GdiTest {
protected:
    // A panel window with a raised one-pixel bevel drawn through the
    // backend the way the framework draws it: 1-pixel lines, each stopping
    // short of its end point.
    Window MakePanel() {
        const Window panel = MakeChildWindow(20, 30, PanelWidth, PanelHeight, Face);
        DrawBevel(panel);
        return panel;
    }
    void DrawBevel(Window panel) {
        const DcHandle dc = gdi_->GetDC(panel);
        EXPECT_NE(dc, 0u);
        const ObjectHandle light = gdi_->CreatePenIndirect(LogPen{ps::Solid, 1, Highlight});
        const ObjectHandle dark = gdi_->CreatePenIndirect(LogPen{ps::Solid, 1, Shadow});
        const ObjectHandle old = gdi_->SelectObject(dc, light);
        gdi_->MoveToEx(dc, 0, PanelHeight - 1, nullptr);
        gdi_->LineTo(dc, 0, 0);
        gdi_->LineTo(dc, PanelWidth - 1, 0);
        gdi_->SelectObject(dc, dark);
        gdi_->LineTo(dc, PanelWidth - 1, PanelHeight - 1);
        gdi_->LineTo(dc, 0, PanelHeight - 1);
        gdi_->SelectObject(dc, old);
        gdi_->DeleteObject(light);
        gdi_->DeleteObject(dark);
        EXPECT_EQ(gdi_->ReleaseDC(panel, dc), 1);
    }

    static ColorRef Bevel(int x, int y) {
        if (x == PanelWidth - 1 || (y == PanelHeight - 1 && x > 0)) return Shadow;
        if (x == 0 || y == 0) return Highlight;
        return Face;
    }

    // The off-screen picture: twice the inside of the panel, every pixel a
    // colour of its own position.
    static ColorRef Picture(int x, int y) {
        return static_cast<ColorRef>((x & 0xFF) | ((y & 0xFF) << 8) | 0x00400000);
    }
    MemoryDc MakePicture() {
        auto m = MakeMemoryDc(*gdi_, 174, 190);
        for (int y = 0; y < 190; ++y)
            for (int x = 0; x < 174; ++x) gdi_->SetPixel(m.Dc, x, y, Picture(x, y));
        return m;
    }
};

TEST_F(X11GdiWindowTest, BevelLinesStopShortOfTheirEndPoints) {
    const Window panel = MakePanel();
    const auto pixels = ReadBack(panel, PanelWidth, PanelHeight);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(PanelWidth * PanelHeight));
    for (int y = 0; y < PanelHeight; ++y)
        for (int x = 0; x < PanelWidth; ++x)
            ASSERT_EQ(pixels[y * PanelWidth + x], Bevel(x, y)) << x << "," << y;
}

// The paint box sits at (1, 1) of the panel, 87 x 95: a copy through the
// panel's context with that origin and clip lands in the paint box only.
TEST_F(X11GdiWindowTest, CopyIsClippedToThePaintBoxInsideTheBevel) {
    const Window panel = MakePanel();
    auto picture = MakePicture();
    const struct {
        int X, Y;
    } positions[] = {{0, 0}, {86, 94}, {-100, -50}, {40, -180}, {87, 0}, {0, 95}};
    for (const auto& p : positions) {
        SCOPED_TRACE(std::to_string(p.X) + "," + std::to_string(p.Y));
        // Start from the plain face each time.
        XClearWindow(Dpy(), panel);
        DrawBevel(panel);
        const DcHandle dc = gdi_->GetDC(panel);
        ASSERT_NE(dc, 0u);
        gdi_->SetViewportOrgEx(dc, 1, 1, nullptr);
        EXPECT_EQ(gdi_->IntersectClipRect(dc, 0, 0, 87, 95), SimpleRegion);
        gdi_->SetStretchBltMode(dc, ColorOnColor);
        EXPECT_TRUE(gdi_->StretchBlt(dc, p.X, p.Y, 174, 190, picture.Dc, 0, 0, 174, 190, rop::SrcCopy));
        // Reads through the context are clipped the same way.
        EXPECT_EQ(gdi_->GetPixel(dc, -1, 0), InvalidColor);
        EXPECT_EQ(gdi_->GetPixel(dc, 87, 94), InvalidColor);
        gdi_->ReleaseDC(panel, dc);

        const auto pixels = ReadBack(panel, PanelWidth, PanelHeight);
        ASSERT_EQ(pixels.size(), static_cast<std::size_t>(PanelWidth * PanelHeight));
        for (int y = 0; y < PanelHeight; ++y) {
            for (int x = 0; x < PanelWidth; ++x) {
                const bool inBox = x >= 1 && x <= 87 && y >= 1 && y <= 95;
                const int sx = x - 1 - p.X, sy = y - 1 - p.Y;
                const bool covered = inBox && sx >= 0 && sx < 174 && sy >= 0 && sy < 190;
                const ColorRef expected = covered ? Picture(sx, sy) : Bevel(x, y);
                ASSERT_EQ(pixels[y * PanelWidth + x], expected) << x << "," << y;
            }
        }
    }
    FreeMemoryDc(*gdi_, picture);
}

// The protocol carries positions in 16 bits: without cutting the copy in
// 32-bit arithmetic first, a copy to (65536, 65536) lands at (0, 0) and one
// to (65536 - 100, 65536 - 50) at (-100, -50), over the paint box.
TEST_F(X11GdiWindowTest, FarCopiesDoNotWrapAroundOntoThePaintBox) {
    const Window panel = MakePanel();
    auto picture = MakePicture();
    const struct {
        std::int32_t X, Y;
    } positions[] = {{65536, 65536},   {65436, 65486},         {-65536, -65536},
                     {131072 + 10, 0}, {0, -131072 + 20},      {2147483647, 2147483647},
                     {-2147483647 - 1, -2147483647 - 1}, {32767, 32767}};
    const auto untouched = [&] {
        const auto pixels = ReadBack(panel, PanelWidth, PanelHeight);
        for (int y = 0; y < PanelHeight; ++y)
            for (int x = 0; x < PanelWidth; ++x)
                if (pixels[y * PanelWidth + x] != Bevel(x, y)) return false;
        return true;
    };
    ASSERT_TRUE(untouched());
    for (const auto& p : positions) {
        SCOPED_TRACE(std::to_string(p.X) + "," + std::to_string(p.Y));
        const DcHandle dc = gdi_->GetDC(panel);
        ASSERT_NE(dc, 0u);
        gdi_->SetViewportOrgEx(dc, 1, 1, nullptr);
        gdi_->IntersectClipRect(dc, 0, 0, 87, 95);
        EXPECT_TRUE(gdi_->StretchBlt(dc, p.X, p.Y, 174, 190, picture.Dc, 0, 0, 174, 190, rop::SrcCopy));
        // The general path (another raster operation) and a far source too.
        EXPECT_TRUE(gdi_->BitBlt(dc, p.X, p.Y, 174, 190, picture.Dc, 0, 0, 0x00EE0086u));
        EXPECT_TRUE(gdi_->BitBlt(dc, 0, 0, 174, 190, picture.Dc, p.X, p.Y, rop::SrcCopy));
        gdi_->ReleaseDC(panel, dc);
        EXPECT_TRUE(untouched());
    }
    FreeMemoryDc(*gdi_, picture);
}

TEST_F(X11GdiWindowTest, WindowContextReadsAndWritesThroughItsOrigin) {
    const Window window = MakeChildWindow(5, 5, 20, 10, Face);
    const DcHandle dc = gdi_->GetDC(window);
    ASSERT_NE(dc, 0u);
    gdi_->SetViewportOrgEx(dc, 3, 2, nullptr);
    gdi_->SetPixel(dc, 0, 0, 0x00000080);
    EXPECT_EQ(gdi_->GetPixel(dc, 0, 0), 0x00000080u);
    EXPECT_EQ(gdi_->GetPixel(dc, 16, 7), Face);      // device (19, 9): the last pixel
    EXPECT_EQ(gdi_->GetPixel(dc, 17, 7), InvalidColor);  // beyond the window
    EXPECT_EQ(ReadBack(window, 20, 10)[2 * 20 + 3], 0x00000080u);
    EXPECT_EQ(gdi_->ReleaseDC(window + 1, dc), 0);  // not that window's context
    EXPECT_EQ(gdi_->ReleaseDC(window, dc), 1);
    EXPECT_EQ(gdi_->GetDC(0x7FFFFFF), 0u);  // no such window
}

// A label's window can go while its context is out; giving the context
// back afterwards must not upset the connection (Xlib's default handler
// would end the process on the error).
TEST_F(X11GdiWindowTest, ContextOfADestroyedWindowIsGivenBackQuietly) {
    const Window window = MakeChildWindow(0, 0, 40, 20, Face);
    const DcHandle dc = gdi_->GetDC(window);
    ASSERT_NE(dc, 0u);
    EXPECT_TRUE(gdi_->ExtTextOut(dc, 0, 0, 0, nullptr, "0", 1));
    XDestroyWindow(Dpy(), window);
    XSync(Dpy(), False);
    EXPECT_EQ(gdi_->ReleaseDC(window, dc), 1);
    XSync(Dpy(), False);
}

TEST_F(X11GdiWindowTest, MixModesApplyToLinesAndFocusRectanglesUndoThemselves) {
    auto m = MakeMemoryDc(*gdi_, 10, 10);
    const ObjectHandle pen = gdi_->CreatePenIndirect(LogPen{ps::Solid, 1, 0x00FFFFFF});
    const ObjectHandle old = gdi_->SelectObject(m.Dc, pen);
    EXPECT_EQ(gdi_->SetROP2(m.Dc, r2::XorPen), r2::CopyPen);
    gdi_->MoveToEx(m.Dc, 0, 5, nullptr);
    gdi_->LineTo(m.Dc, 4, 5);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 3, 5), 0x00000000u);  // white xor white
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 4, 5), 0x00FFFFFFu);  // the end point is not drawn
    Point position;
    EXPECT_TRUE(gdi_->GetCurrentPositionEx(m.Dc, &position));
    EXPECT_EQ(position, (Point{4, 5}));

    gdi_->SetPixel(m.Dc, 2, 1, 0x00123456);
    const auto before = ReadBack(gdi_->PixmapOf(m.Bitmap), 10, 10);
    EXPECT_TRUE(gdi_->DrawFocusRect(m.Dc, Rect{1, 1, 8, 8}));
    const auto focused = ReadBack(gdi_->PixmapOf(m.Bitmap), 10, 10);
    // The outline's pixels with x + y even are inverted, nothing else.
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool outline = (x == 1 || x == 7 || y == 1 || y == 7) && x >= 1 && x <= 7 &&
                                 y >= 1 && y <= 7;
            const ColorRef was = before[y * 10 + x];
            EXPECT_EQ(focused[y * 10 + x], outline && (x + y) % 2 == 0 ? was ^ 0x00FFFFFFu : was)
                << x << "," << y;
        }
    }
    gdi_->DrawFocusRect(m.Dc, Rect{1, 1, 8, 8});
    EXPECT_EQ(ReadBack(gdi_->PixmapOf(m.Bitmap), 10, 10), before);
    gdi_->SelectObject(m.Dc, old);
    gdi_->DeleteObject(pen);
    FreeMemoryDc(*gdi_, m);
}

}  // namespace
}  // namespace qmk::platform::x11::testing
