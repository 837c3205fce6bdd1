// Fonts and text of the X11 graphics backend: the Japanese faces found
// through their substitutes, classic cell heights, and text that shows.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include <X11/Xatom.h>

#include "X11GdiFixture.h"
#include "platform/posix/XvfbServer.h"
#include "platform/x11/X11Fonts.h"

namespace qmk::platform::x11::testing {
namespace {

// スタート
constexpr char StartText[] = "\x83\x58\x83\x5e\x81\x5b\x83\x67";

class X11GdiTextTest : public X11GdiTest {
protected:
    // Selects a new font into dc; returns the font, to be given to Unselect.
    ObjectHandle Select(DcHandle dc, const LogFont& request) {
        const ObjectHandle font = gdi_->CreateFontIndirect(request);
        EXPECT_NE(font, 0u);
        previous_ = gdi_->SelectObject(dc, font);
        return font;
    }
    void Unselect(DcHandle dc, ObjectHandle font) {
        gdi_->SelectObject(dc, previous_);
        EXPECT_TRUE(gdi_->DeleteObject(font));
    }
    ObjectHandle previous_ = 0;
};

TEST(X11FontsTest, JapaneseFacesAskForTheirMetricCompatibleSubstitutesFirst) {
    // ＭＳ Ｐゴシック, ＭＳ ゴシック in UTF-8.
    const std::string proportional = "\xef\xbc\xad\xef\xbc\xb3 \xef\xbc\xb0\xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf";
    const std::string fixed = "\xef\xbc\xad\xef\xbc\xb3 \xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf";
    const struct {
        std::string Face;
        bool FixedPitch;
        const char* Substitute;
    } cases[] = {{proportional, false, "Ume P Gothic"}, {fixed, false, "Ume Gothic"},
                 {"Arial", true, "Ume Gothic"}, {"", false, "Ume P Gothic"}};
    for (const auto& c : cases) {
        const auto families = FamiliesFor(c.Face, c.FixedPitch);
        ASSERT_GE(families.size(), 2u);
        const std::size_t first = c.Face.empty() ? 0 : 1;
        if (!c.Face.empty()) {
            EXPECT_EQ(families[0], c.Face);
        }
        EXPECT_EQ(families[first], c.Substitute) << c.Face;
        EXPECT_NE(std::find(families.begin(), families.end(), "Noto Sans CJK JP"), families.end());
    }
}

// The window is laid out for a "0" 12 pixels high in its font at -12; a
// font that measured otherwise would rescale every control.
TEST_F(X11GdiTextTest, TextHeightOfZeroIsTheClassicCellHeight) {
    const struct {
        const char* Face;
        std::int32_t Height;
        std::int32_t Weight;
        std::int32_t Cy;
        const char* Family;
    } cases[] = {
        {ProportionalFace, -12, 400, 12, "Ume P Gothic"},
        {ProportionalFace, -15, 400, 15, "Ume P Gothic"},
        {ProportionalFace, -18, 400, 18, "Ume P Gothic"},
        {ProportionalFace, 12, 400, 12, "Ume P Gothic"},
        {FixedFace, -12, 400, 12, "Ume Gothic"},
        {FixedFace, -13, 400, 13, "Ume Gothic"},
        {FixedFace, -16, 700, 16, "Ume Gothic"},
        {FixedFace, -19, 400, 19, "Ume Gothic"},
    };
    auto m = MakeMemoryDc(*gdi_, 4, 4);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Height));
        const ObjectHandle font = Select(m.Dc, FontRequest(c.Face, c.Height, c.Weight));
        EXPECT_EQ(gdi_->FontFamily(font), c.Family);
        Size size;
        ASSERT_TRUE(gdi_->GetTextExtentPoint(m.Dc, "0", 1, &size));
        EXPECT_EQ(size.Cy, c.Cy);
        EXPECT_GT(size.Cx, 0);
        TextMetrics metrics;
        ASSERT_TRUE(gdi_->GetTextMetrics(m.Dc, &metrics));
        EXPECT_EQ(metrics.Height, c.Cy);
        EXPECT_EQ(metrics.Ascent + metrics.Descent, metrics.Height);
        EXPECT_EQ(metrics.InternalLeading, 0);
        Unselect(m.Dc, font);
    }
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTextTest, ExtentsGrowWithTheTextAndFixedPitchLatinIsHalfWidth) {
    auto m = MakeMemoryDc(*gdi_, 4, 4);
    const ObjectHandle font = Select(m.Dc, FontRequest(FixedFace, -12));
    Size one, two, start;
    gdi_->GetTextExtentPoint(m.Dc, "0", 1, &one);
    gdi_->GetTextExtentPoint(m.Dc, "00", 2, &two);
    gdi_->GetTextExtentPoint(m.Dc, StartText, 8, &start);
    EXPECT_EQ(two.Cx, 2 * one.Cx);
    EXPECT_EQ(one.Cx, 6);
    EXPECT_EQ(start.Cx, 4 * 12);  // four full-width characters
    Size empty;
    ASSERT_TRUE(gdi_->GetTextExtentPoint(m.Dc, "", 0, &empty));
    EXPECT_EQ(empty, (Size{0, 12}));
    // A lead byte without its trail byte is shown, not fatal.
    Size cut;
    EXPECT_TRUE(gdi_->GetTextExtentPoint(m.Dc, "0\x83", 2, &cut));
    EXPECT_GT(cut.Cx, one.Cx);
    Unselect(m.Dc, font);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTextTest, JapaneseTextShowsInTheTextColourWithinItsCell) {
    auto m = MakeMemoryDc(*gdi_, 80, 30);
    const ObjectHandle font = Select(m.Dc, FontRequest(FixedFace, -16, 700));
    gdi_->SetBkMode(m.Dc, Transparent);
    gdi_->SetTextColor(m.Dc, 0x00800000);
    EXPECT_TRUE(gdi_->ExtTextOut(m.Dc, 5, 4, 0, nullptr, StartText, 8));
    const auto pixels = ReadBack(gdi_->PixmapOf(m.Bitmap), 80, 30);
    int ink = 0, exact = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const ColorRef c = pixels[y * 80 + x];
            if (c == 0x00FFFFFF) continue;
            ++ink;
            exact += c == 0x00800000;
            // Synthetic bold, on a glyph whose stroke reaches the edge of
            // its em ("ト"), may overhang the advance by a few pixels.
            EXPECT_TRUE(x >= 5 && x < 5 + 4 * 16 + 3 && y >= 4 && y < 4 + 16) << x << "," << y;
        }
    }
    EXPECT_GT(ink, 60);
    EXPECT_GT(exact, 10);
    Unselect(m.Dc, font);
    FreeMemoryDc(*gdi_, m);
}

TEST_F(X11GdiTextTest, BackgroundFillsAndClippingOfTextOutput) {
    auto m = MakeMemoryDc(*gdi_, 100, 20);
    const ObjectHandle font = Select(m.Dc, FontRequest(ProportionalFace, -12));
    gdi_->SetBkColor(m.Dc, 0x00808000);
    gdi_->SetTextColor(m.Dc, 0x00000000);
    // An opaque background fills the text's cell: its top-left corner has
    // no ink of "0".
    gdi_->SetBkMode(m.Dc, Opaque);
    gdi_->ExtTextOut(m.Dc, 0, 0, 0, nullptr, "0", 1);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 0, 0), 0x00808000u);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 0, 12), 0x00FFFFFFu);  // below the cell

    // eto::Opaque fills the rectangle; eto::Clipped keeps the text in it.
    gdi_->SetBkMode(m.Dc, Transparent);
    const Rect box{20, 0, 40, 20};
    gdi_->ExtTextOut(m.Dc, 20, 2, eto::Opaque | eto::Clipped, &box, "00000000", 8);
    EXPECT_EQ(gdi_->GetPixel(m.Dc, 39, 19), 0x00808000u);
    for (int x = 40; x < 100; ++x)
        for (int y = 0; y < 20; ++y) ASSERT_EQ(gdi_->GetPixel(m.Dc, x, y), 0x00FFFFFFu) << x;

    // The context's own clip and origin hold for text as for pixels.
    gdi_->SetViewportOrgEx(m.Dc, 50, 0, nullptr);
    gdi_->IntersectClipRect(m.Dc, 0, 0, 3, 20);
    gdi_->ExtTextOut(m.Dc, 0, 2, 0, nullptr, "00000000", 8);
    gdi_->SetViewportOrgEx(m.Dc, 0, 0, nullptr);
    Unselect(m.Dc, font);
    const auto pixels = ReadBack(gdi_->PixmapOf(m.Bitmap), 100, 20);
    for (int x = 53; x < 100; ++x)
        for (int y = 0; y < 20; ++y) ASSERT_EQ(pixels[y * 100 + x], 0x00FFFFFFu) << x;
    FreeMemoryDc(*gdi_, m);
}

// At 120 pixels per inch the window font becomes -15 and its "0" must
// measure 15.
TEST_F(X11GdiTextTest, ScreenAt120PixelsPerInch) {
    XvfbServer::Options options;
    options.Dpi = 120;
    XvfbServer server(options);
    {
        X11Display setup(server.DisplayName().c_str());
        const char resources[] = "Xft.dpi:\t120\n";
        XChangeProperty(setup.Dpy(), setup.Root(), XA_RESOURCE_MANAGER, XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(resources),
                        sizeof resources - 1);
        XSync(setup.Dpy(), False);
    }
    X11Display display(server.DisplayName().c_str());
    X11Gdi gdi(display);
    EXPECT_EQ(gdi.GetDeviceCaps(0, caps::LogPixelsY), 120);
    const std::int32_t height = -(12 * 120 + 48) / 96;
    ASSERT_EQ(height, -15);
    const DcHandle screen = gdi.GetDC(0);
    const ObjectHandle font = gdi.CreateFontIndirect(FontRequest(ProportionalFace, height));
    const ObjectHandle old = gdi.SelectObject(screen, font);
    Size size;
    ASSERT_TRUE(gdi.GetTextExtentPoint(screen, "0", 1, &size));
    EXPECT_EQ(size.Cy, 15);
    gdi.SelectObject(screen, old);
    gdi.DeleteObject(font);
    gdi.ReleaseDC(0, screen);
}

}  // namespace
}  // namespace qmk::platform::x11::testing
