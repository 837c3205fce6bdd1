// Shared set-up of the Win32 graphics backend tests: one Win32Gdi, memory
// contexts on screen-compatible bitmaps (at the depth of Wine's screen),
// and the window's font requests. The helpers speak only the seam, so the
// checks can run against any backend.
#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Gdi.h"
#include "platform/win32/Win32Gdi.h"

namespace qmk::platform::win32::testing {

// "ＭＳ Ｐゴシック", "ＭＳ ゴシック" in code page 932.
inline constexpr char ProportionalFace[] = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
inline constexpr char FixedFace[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";

inline LogFont FontRequest(const char* face, std::int32_t height, std::int32_t weight = 400) {
    LogFont f;
    f.Height = height;
    f.Weight = weight;
    for (int i = 0; face[i] != '\0' && i < 31; ++i) f.FaceName[i] = face[i];
    return f;
}

// A memory context holding a new screen-compatible bitmap, all white.
struct MemoryDc {
    DcHandle Dc = 0;
    ObjectHandle Bitmap = 0;
    ObjectHandle Previous = 0;
};

inline MemoryDc MakeMemoryDc(Gdi& gdi, std::int32_t width, std::int32_t height) {
    MemoryDc m;
    const DcHandle screen = gdi.GetDC(0);
    m.Dc = gdi.CreateCompatibleDC(screen);
    m.Bitmap = gdi.CreateCompatibleBitmap(screen, width, height);
    gdi.ReleaseDC(0, screen);
    EXPECT_NE(m.Dc, 0u);
    EXPECT_NE(m.Bitmap, 0u);
    m.Previous = gdi.SelectObject(m.Dc, m.Bitmap);
    gdi.PatBlt(m.Dc, 0, 0, width, height, rop::Whiteness);
    return m;
}

inline void FreeMemoryDc(Gdi& gdi, const MemoryDc& m) {
    gdi.SelectObject(m.Dc, m.Previous);
    EXPECT_TRUE(gdi.DeleteDC(m.Dc));
    EXPECT_TRUE(gdi.DeleteObject(m.Bitmap));
}

// The bitmap's pixels, row by row, read through a fresh context, so that
// neither the clip nor the origin of the context that drew them applies.
// The bitmap goes back into its context afterwards.
inline std::vector<ColorRef> ReadBack(Gdi& gdi, const MemoryDc& m, std::int32_t width,
                                      std::int32_t height) {
    std::vector<ColorRef> pixels;
    gdi.SelectObject(m.Dc, m.Previous);
    const DcHandle check = gdi.CreateCompatibleDC(0);
    const ObjectHandle held = gdi.SelectObject(check, m.Bitmap);
    EXPECT_NE(held, 0u);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) pixels.push_back(gdi.GetPixel(check, x, y));
    gdi.SelectObject(check, held);
    gdi.DeleteDC(check);
    gdi.SelectObject(m.Dc, m.Bitmap);
    return pixels;
}

// Selects a new font for the life of the object.
class SelectedFont {
public:
    SelectedFont(Gdi& gdi, DcHandle dc, const LogFont& request)
        : gdi_(gdi), dc_(dc), font_(gdi.CreateFontIndirect(request)) {
        EXPECT_NE(font_, 0u);
        previous_ = gdi_.SelectObject(dc_, font_);
        EXPECT_NE(previous_, 0u);
    }
    ~SelectedFont() {
        gdi_.SelectObject(dc_, previous_);
        EXPECT_TRUE(gdi_.DeleteObject(font_));
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;
    ObjectHandle Font() const { return font_; }

private:
    Gdi& gdi_;
    DcHandle dc_;
    ObjectHandle font_;
    ObjectHandle previous_ = 0;
};

class Win32GdiTest : public ::testing::Test {
protected:
    Win32Gdi gdi_;
};

}  // namespace qmk::platform::win32::testing
