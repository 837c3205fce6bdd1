// Shared set-up of the X11 graphics backend tests: the process's private
// server (DISPLAY), one X11Gdi on it, and helpers that read what the server
// really holds, bypassing the backend.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "runtime/ProgramTexts.h"

namespace qmk::platform::x11::testing {

inline constexpr std::string_view ProportionalFace = texts::ProportionalGothic.Cp932;
inline constexpr std::string_view FixedFace = texts::FixedGothic.Cp932;

inline LogFont FontRequest(std::string_view face, std::int32_t height, std::int32_t weight = 400) {
    LogFont f;
    f.Height = height;
    f.Weight = weight;
    face = face.substr(0, sizeof f.FaceName - 1);
    std::copy(face.begin(), face.end(), f.FaceName);
    return f;
}

class X11GdiTest : public ::testing::Test {
protected:
    X11GdiTest() : display_(std::make_unique<X11Display>()), gdi_(std::make_unique<X11Gdi>(*display_)) {}

    // The expected pixels are exact 24-bit colours; the reduced formats
    // have tests of their own on servers they start.
    void SetUp() override {
        if (display_->Depth() != 24) GTEST_SKIP() << "needs a 24-bit screen";
    }

    Display* Dpy() const { return display_->Dpy(); }

    // A memory context holding a new screen-compatible bitmap, all white.
    struct MemoryDc {
        DcHandle Dc = 0;
        ObjectHandle Bitmap = 0;
        ObjectHandle Previous = 0;
    };
    MemoryDc MakeMemoryDc(Gdi& gdi, std::int32_t width, std::int32_t height) {
        MemoryDc m;
        const DcHandle screen = gdi.GetDC(0);
        m.Dc = gdi.CreateCompatibleDC(screen);
        m.Bitmap = gdi.CreateCompatibleBitmap(screen, width, height);
        gdi.ReleaseDC(0, screen);
        m.Previous = gdi.SelectObject(m.Dc, m.Bitmap);
        gdi.PatBlt(m.Dc, 0, 0, width, height, rop::Whiteness);
        return m;
    }
    void FreeMemoryDc(Gdi& gdi, const MemoryDc& m) {
        gdi.SelectObject(m.Dc, m.Previous);
        gdi.DeleteDC(m.Dc);
        gdi.DeleteObject(m.Bitmap);
    }

    // A mapped top-level window with a mapped child, both of the given
    // background; returns the child.
    Window MakeChildWindow(int x, int y, int width, int height, ColorRef background) {
        const unsigned long pixel = display_->PixelFromColorRef(background);
        top_ = XCreateSimpleWindow(Dpy(), display_->Root(), 0, 0, 300, 300, 0, 0, pixel);
        const Window child = XCreateSimpleWindow(Dpy(), top_, x, y, static_cast<unsigned>(width),
                                                 static_cast<unsigned>(height), 0, 0, pixel);
        XMapWindow(Dpy(), child);
        XMapWindow(Dpy(), top_);
        XSync(Dpy(), False);
        return child;
    }

    // Pixels of a drawable as colour values, row by row.
    std::vector<ColorRef> ReadBack(Drawable drawable, int width, int height) {
        XImage* image = XGetImage(Dpy(), drawable, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        std::vector<ColorRef> out;
        if (image == nullptr) return out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) out.push_back(display_->ColorRefFromPixel(XGetPixel(image, x, y)));
        XDestroyImage(image);
        return out;
    }

    ~X11GdiTest() override {
        gdi_.reset();
        if (top_ != 0) XDestroyWindow(Dpy(), top_);
        XSync(Dpy(), False);
    }

    std::unique_ptr<X11Display> display_;
    std::unique_ptr<X11Gdi> gdi_;
    Window top_ = 0;
};

}  // namespace qmk::platform::x11::testing
