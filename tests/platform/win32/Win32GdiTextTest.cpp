// Fonts and text of the Win32 graphics backend: the window's Japanese faces
// (mapped by the test prefix to the Debian umefont families), code page 932
// texts measured and drawn through the W functions while Wine's ANSI code
// page is 1252, classic cell heights, and the screen at 120 dpi.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "Win32GdiFixture.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform::win32::testing {
namespace {

// The window's texts in code page 932, as the window description holds them.
struct WindowText {
    const char* Readable;
    const char* Bytes;
    const char* Face;
    std::int32_t Height;
    std::int32_t Weight;
    std::int32_t DesignWidth;  // the label's width in the window description, 0 for none
};

const WindowText WindowTexts[] = {
    {"ボタンを押すとベンチマークを開始します。",
     "\x83\x7b\x83\x5e\x83\x93\x82\xf0\x89\x9f\x82\xb7\x82\xc6\x83\x78\x83\x93\x83\x60\x83\x7d"
     "\x81\x5b\x83\x4e\x82\xf0\x8a\x4a\x8e\x6e\x82\xb5\x82\xdc\x82\xb7\x81\x42",
     FixedFace, -19, 400, 380},
    {"Cyrix6x86 133MHz", "Cyrix6x86 133MHz", ProportionalFace, -12, 400, 95},
    {"ＣＰＵ：1992", "\x82\x62\x82\x6f\x82\x74\x81\x46" "1992", FixedFace, -12, 400, 72},
    {"ビデオ：2370", "\x83\x72\x83\x66\x83\x49\x81\x46" "2370", FixedFace, -12, 400, 72},
    {"結果の数値はパフォーマンス",
     "\x8c\x8b\x89\xca\x82\xcc\x90\x94\x92\x6c\x82\xcd\x83\x70\x83\x74\x83\x48\x81\x5b\x83\x7d"
     "\x83\x93\x83\x58",
     ProportionalFace, -12, 400, 148},
    {"の高さに比例します。",
     "\x82\xcc\x8d\x82\x82\xb3\x82\xc9\x94\xe4\x97\xe1\x82\xb5\x82\xdc\x82\xb7\x81\x42",
     ProportionalFace, -12, 400, 108},
    {"S3 868 2MB 65K Col.", "S3 868 2MB 65K Col.", ProportionalFace, -12, 400, 108},
    {"スタート", "\x83\x58\x83\x5e\x81\x5b\x83\x67", FixedFace, -16, 700, 0},
    {"ＣＰＵ：", "\x82\x62\x82\x6f\x82\x74\x81\x46", FixedFace, -13, 400, 0},
    {"ビデオ：", "\x83\x72\x83\x66\x83\x49\x81\x46", FixedFace, -13, 400, 0},
};

// スタート
constexpr char StartText[] = "\x83\x58\x83\x5e\x81\x5b\x83\x67";

int Length(const char* text) { return static_cast<int>(std::char_traits<char>::length(text)); }

// The face GDI chose for the context's font, in UTF-8.
std::string ChosenFace(DcHandle dc) {
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(reinterpret_cast<HDC>(dc), LF_FACESIZE, face);
    char utf8[LF_FACESIZE * 3] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, face, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

// Wine's ANSI code page must not be 932 here, or these tests could not
// tell the W functions from the A ones.
TEST(Win32TextEnvironmentTest, AnsiCodePageIsNotJapanese) { EXPECT_NE(::GetACP(), 932u); }

TEST_F(Win32GdiTest, JapaneseFacesAreFoundByTheirCodePage932Names) {
    auto m = MakeMemoryDc(gdi_, 4, 4);
    const struct {
        const char* Face;
        const char* Chosen;  // the name GDI reports: the requested one, replaced
        std::int32_t ZeroWidth;
    } cases[] = {
        {ProportionalFace, "ＭＳ Ｐゴシック", 6},
        {FixedFace, "ＭＳ ゴシック", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Chosen);
        const SelectedFont font(gdi_, m.Dc, FontRequest(c.Face, -12));
        EXPECT_EQ(ChosenFace(m.Dc), c.Chosen);
        // A request that leaves the character set open gets Shift-JIS.
        EXPECT_EQ(::GetTextCharset(reinterpret_cast<HDC>(m.Dc)), SHIFTJIS_CHARSET);
        Size zero;
        ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, "0", 1, &zero));
        EXPECT_EQ(zero, (Size{c.ZeroWidth, 12}));
    }
    FreeMemoryDc(gdi_, m);
}

// The window is laid out for a "0" 12 pixels high in its font at -12; a
// font that measured otherwise would rescale every control.
TEST_F(Win32GdiTest, TextHeightOfZeroIsTheClassicCellHeight) {
    const struct {
        const char* Face;
        std::int32_t Height;
        std::int32_t Weight;
        std::int32_t Cy;
    } cases[] = {
        {ProportionalFace, -12, 400, 12}, {ProportionalFace, -15, 400, 15},
        {ProportionalFace, 12, 400, 12},  {FixedFace, -12, 400, 12},
        {FixedFace, -13, 400, 13},        {FixedFace, -16, 700, 16},
        {FixedFace, -19, 400, 19},
    };
    auto m = MakeMemoryDc(gdi_, 4, 4);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Height));
        const SelectedFont font(gdi_, m.Dc, FontRequest(c.Face, c.Height, c.Weight));
        Size size;
        ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, "0", 1, &size));
        EXPECT_EQ(size.Cy, c.Cy);
        EXPECT_GT(size.Cx, 0);
        TextMetrics metrics;
        ASSERT_TRUE(gdi_.GetTextMetrics(m.Dc, &metrics));
        EXPECT_EQ(metrics.Height, c.Cy);
        EXPECT_EQ(metrics.Ascent + metrics.Descent, metrics.Height);
        EXPECT_EQ(metrics.InternalLeading, 0);
        EXPECT_GE(metrics.MaxCharWidth, metrics.AveCharWidth);
    }
    FreeMemoryDc(gdi_, m);
}

// Every text is measured as the characters its code page 932 bytes stand
// for: in the fixed-pitch face a double-byte character takes two cells of
// a "0", a single byte one. At the window's -12 that makes exactly the
// widths the labels were made for; the proportional texts must not be
// broader than their labels, or they would be cut.
TEST_F(Win32GdiTest, WindowTextsMeasureWhatTheirLabelsHold) {
    auto m = MakeMemoryDc(gdi_, 4, 4);
    for (const WindowText& text : WindowTexts) {
        SCOPED_TRACE(text.Readable);
        const SelectedFont font(gdi_, m.Dc, FontRequest(text.Face, text.Height, text.Weight));
        Size size, zero;
        ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, text.Bytes, Length(text.Bytes), &size));
        ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, "0", 1, &zero));
        EXPECT_EQ(size.Cy, -text.Height);
        if (text.Face == FixedFace && text.Weight > 400) {
            // Synthetic bold widens each character, half- or full-width,
            // by the same overhang, which the "0" measured here includes.
            EXPECT_GE(size.Cx, Length(text.Bytes) * (zero.Cx - 1));
            EXPECT_LE(size.Cx, Length(text.Bytes) * zero.Cx);
        } else if (text.Face == FixedFace) {
            EXPECT_EQ(size.Cx, Length(text.Bytes) * zero.Cx);
            if (text.Height == -12) {
                EXPECT_EQ(size.Cx, text.DesignWidth);
            }
        } else {
            EXPECT_GT(size.Cx, text.DesignWidth * 3 / 4);
            EXPECT_LE(size.Cx, text.DesignWidth);
        }
    }
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, ExtentsOfPartsAndOfBrokenText) {
    auto m = MakeMemoryDc(gdi_, 4, 4);
    const SelectedFont font(gdi_, m.Dc, FontRequest(FixedFace, -12));
    Size one, two, start;
    ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, "0", 1, &one));
    ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, "00", 2, &two));
    ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, StartText, 8, &start));
    EXPECT_EQ(two.Cx, 2 * one.Cx);
    EXPECT_EQ(start.Cx, 4 * 12);
    // The length counts bytes, not characters: half of it is two characters.
    Size half;
    ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, StartText, 4, &half));
    EXPECT_EQ(half.Cx, 2 * 12);
    Size empty;
    ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, "", 0, &empty));
    EXPECT_EQ(empty.Cx, 0);
    // A lead byte without its trail byte is shown, not fatal.
    Size cut;
    EXPECT_TRUE(gdi_.GetTextExtentPoint(m.Dc, "0\x83", 2, &cut));
    EXPECT_GT(cut.Cx, one.Cx);
    // What no text is fails without touching the answer.
    Size untouched{7, 7};
    EXPECT_FALSE(gdi_.GetTextExtentPoint(m.Dc, "0", -1, &untouched));
    EXPECT_FALSE(gdi_.GetTextExtentPoint(m.Dc, nullptr, 3, &untouched));
    EXPECT_EQ(untouched, (Size{7, 7}));
    EXPECT_FALSE(gdi_.GetTextExtentPoint(m.Dc, "0", 1, nullptr));
    FreeMemoryDc(gdi_, m);
}

// Texts longer than the conversion's own buffer take the other road.
TEST_F(Win32GdiTest, LongTextsMeasureAsTheSumOfTheirParts) {
    auto m = MakeMemoryDc(gdi_, 4, 4);
    const SelectedFont font(gdi_, m.Dc, FontRequest(FixedFace, -12));
    std::string text;
    while (text.size() < 1000) text += StartText;
    Size size;
    ASSERT_TRUE(gdi_.GetTextExtentPoint(m.Dc, text.data(), static_cast<int>(text.size()), &size));
    EXPECT_EQ(size.Cx, static_cast<int>(text.size() / 8) * 4 * 12);
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, JapaneseTextShowsInTheTextColourWithinItsCell) {
    auto m = MakeMemoryDc(gdi_, 80, 30);
    const SelectedFont font(gdi_, m.Dc, FontRequest(FixedFace, -16, 700));
    gdi_.SetBkMode(m.Dc, Transparent);
    gdi_.SetTextColor(m.Dc, 0x00800000);
    EXPECT_TRUE(gdi_.ExtTextOut(m.Dc, 5, 4, 0, nullptr, StartText, 8));
    int ink = 0, exact = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const ColorRef c = gdi_.GetPixel(m.Dc, x, y);
            if (c == 0x00FFFFFF) continue;
            ++ink;
            exact += c == 0x00800000;
            EXPECT_TRUE(x >= 5 && x < 5 + 4 * 16 + 3 && y >= 4 && y < 4 + 16) << x << "," << y;
        }
    }
    EXPECT_GT(ink, 60);
    EXPECT_GT(exact, 10);
    FreeMemoryDc(gdi_, m);
}

TEST_F(Win32GdiTest, BackgroundFillsAndClippingOfTextOutput) {
    auto m = MakeMemoryDc(gdi_, 100, 20);
    const SelectedFont font(gdi_, m.Dc, FontRequest(ProportionalFace, -12));
    gdi_.SetBkColor(m.Dc, 0x00808000);
    gdi_.SetTextColor(m.Dc, 0x00000000);
    // An opaque background fills the text's cell: its top-left corner has
    // no ink of "0".
    EXPECT_EQ(gdi_.SetBkMode(m.Dc, Opaque), Opaque);
    gdi_.ExtTextOut(m.Dc, 0, 0, 0, nullptr, "0", 1);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 0, 0), 0x00808000u);
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 0, 12), 0x00FFFFFFu);  // below the cell

    // eto::Opaque fills the rectangle; eto::Clipped keeps the text in it.
    gdi_.SetBkMode(m.Dc, Transparent);
    const Rect box{20, 0, 40, 20};
    EXPECT_TRUE(gdi_.ExtTextOut(m.Dc, 20, 2, eto::Opaque | eto::Clipped, &box, "00000000", 8));
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 39, 19), 0x00808000u);
    for (int x = 40; x < 100; ++x)
        for (int y = 0; y < 20; ++y) ASSERT_EQ(gdi_.GetPixel(m.Dc, x, y), 0x00FFFFFFu) << x;
    // An empty text with eto::Opaque only fills.
    const Rect corner{0, 15, 3, 20};
    EXPECT_TRUE(gdi_.ExtTextOut(m.Dc, 0, 15, eto::Opaque, &corner, nullptr, 0));
    EXPECT_EQ(gdi_.GetPixel(m.Dc, 2, 19), 0x00808000u);

    // The context's own clip and origin hold for text as for pixels.
    gdi_.SetViewportOrgEx(m.Dc, 50, 0, nullptr);
    gdi_.IntersectClipRect(m.Dc, 0, 0, 3, 20);
    gdi_.ExtTextOut(m.Dc, 0, 2, 0, nullptr, "00000000", 8);
    gdi_.SetViewportOrgEx(m.Dc, 0, 0, nullptr);
    EXPECT_FALSE(gdi_.ExtTextOut(m.Dc, 0, 0, 0, nullptr, "0", -1));
    const auto pixels = ReadBack(gdi_, m, 100, 20);
    int ink = 0;
    for (int x = 50; x < 100; ++x) {
        for (int y = 0; y < 20; ++y) {
            const bool blank = pixels[y * 100 + x] == 0x00FFFFFFu;
            if (x >= 53) {
                ASSERT_TRUE(blank) << x << "," << y;
            }
            ink += !blank;
        }
    }
    EXPECT_GT(ink, 0);  // the first column of "0" is inside the clip
    FreeMemoryDc(gdi_, m);
}

// At 120 pixels per inch the window font becomes -15 and its "0" must
// measure 15. Runs in a prefix whose LogPixels is 120 (QMK_WINE_DPI).
TEST_F(Win32GdiTest, DpiOfTheScreenComesFromLogPixels) {
    const DcHandle screen = gdi_.GetDC(0);
    const int dpi = gdi_.GetDeviceCaps(screen, caps::LogPixelsY);
    const char* asked = std::getenv("QMK_WINE_DPI");
    const int expected = asked != nullptr ? std::atoi(asked) : 96;
    EXPECT_EQ(dpi, expected);
    EXPECT_EQ(gdi_.GetDeviceCaps(screen, caps::LogPixelsX), expected);
    const std::int32_t height = -(12 * dpi + 48) / 96;
    const ObjectHandle font = gdi_.CreateFontIndirect(FontRequest(ProportionalFace, height));
    const ObjectHandle old = gdi_.SelectObject(screen, font);
    Size size;
    ASSERT_TRUE(gdi_.GetTextExtentPoint(screen, "0", 1, &size));
    EXPECT_EQ(size.Cy, -height);
    gdi_.SelectObject(screen, old);
    gdi_.DeleteObject(font);
    gdi_.ReleaseDC(0, screen);
}

}  // namespace
}  // namespace qmk::platform::win32::testing
