// The drawing layer on the X11 backend: the benchmark's off-screen bitmap,
// its pixel operations and the copy into the paint box, checked against
// what the X server holds.
#include <string>

#include <gtest/gtest.h>

// Before any X header: Xlib's macros (None, ...) clash with names of the
// window seam.
#include "graphics/Graphics.h"
#include "platform/Platform.h"

#include "X11GdiFixture.h"
#include "support/FakePanel.h"

namespace qmk::platform::x11::testing {
namespace {

constexpr ColorRef Face = 0x00C0C0C0;

class X11GraphicsLayerTest : public X11GdiTest {
protected:
    X11GraphicsLayerTest() : backend_({gdi_.get(), nullptr, nullptr}) {
        InitializeGraphics();
        bitmap_.SetWidth(174);
        bitmap_.SetHeight(190);
    }
    ~X11GraphicsLayerTest() override { ReleaseDrawingContexts(); }

    static TColor Pattern(int x, int y) { return (x & 0xFF) | ((y & 0xFF) << 8) | 0x00200000; }

    ScopedBackend backend_;
    TBitmap bitmap_;
};

TEST_F(X11GraphicsLayerTest, WorkBitmapStartsWhiteAndKeepsPixelsAcrossMessages) {
    TCanvas& canvas = bitmap_.Canvas();
    EXPECT_EQ(canvas.ReadPixel(0, 0), 0x00FFFFFF);
    EXPECT_EQ(canvas.ReadPixel(173, 189), 0x00FFFFFF);
    canvas.WritePixel(5, 6, 0x00123456);
    canvas.WritePixel(7, 8, SystemColorValue(syscolor::BtnShadow));
    EXPECT_EQ(canvas.ReadPixel(5, 6), 0x00123456);
    // The end of a message takes the context away; the picture stays in
    // the server's pixmap.
    ReleaseDrawingContexts();
    EXPECT_FALSE(canvas.HandleAllocated());
    EXPECT_EQ(canvas.ReadPixel(5, 6), 0x00123456);
    EXPECT_EQ(canvas.ReadPixel(7, 8), 0x00808080);
    const auto pixels = ReadBack(gdi_->PixmapOf(bitmap_.Image().Handle), 174, 190);
    EXPECT_EQ(pixels[6 * 174 + 5], 0x00123456u);
    // Outside the bitmap: nothing written, the invalid colour read.
    canvas.WritePixel(174, 0, clBlack);
    canvas.WritePixel(-1, 5, clBlack);
    EXPECT_EQ(canvas.ReadPixel(174, 0), static_cast<TColor>(InvalidColor));
    EXPECT_EQ(canvas.ReadPixel(0, 190), static_cast<TColor>(InvalidColor));
    EXPECT_EQ(canvas.ReadPixel(173, 0), 0x00FFFFFF);
}

TEST_F(X11GraphicsLayerTest, DrawGraphicCopiesIntoThePaintBoxOnly) {
    const Window panelWindow = MakeChildWindow(40, 20, 89, 97, Face);
    test::FakePanel panel(panelWindow);
    test::FakePaintBox paintBox(&panel);
    TControlCanvas canvas;
    canvas.SetControl(&paintBox);
    canvas.Brush().SetColor(clMaroon);
    for (int y = 0; y < 190; ++y)
        for (int x = 0; x < 174; ++x) bitmap_.Canvas().WritePixel(x, y, Pattern(x, y));

    const struct {
        int X, Y;
    } positions[] = {{0, 0}, {86, 94}, {-10, -20}, {87, 95}};
    for (const auto& p : positions) {
        SCOPED_TRACE(std::to_string(p.X) + "," + std::to_string(p.Y));
        XClearWindow(Dpy(), panelWindow);
        canvas.DrawGraphic(p.X, p.Y, &bitmap_);
        canvas.DrawGraphic(p.X, p.Y, &bitmap_);  // the steady copy, on the kept contexts
        const auto pixels = ReadBack(panelWindow, 89, 97);
        ASSERT_EQ(pixels.size(), 89u * 97u);
        for (int y = 0; y < 97; ++y) {
            for (int x = 0; x < 89; ++x) {
                const int sx = x - 1 - p.X, sy = y - 1 - p.Y;
                const bool covered = x >= 1 && x <= 87 && y >= 1 && y <= 95 && sx >= 0 &&
                                     sx < 174 && sy >= 0 && sy < 190;
                const ColorRef expected = covered ? static_cast<ColorRef>(Pattern(sx, sy)) : Face;
                ASSERT_EQ(pixels[y * 89 + x], expected) << x << "," << y;
            }
        }
        ReleaseDrawingContexts();
    }
}

}  // namespace
}  // namespace qmk::platform::x11::testing
