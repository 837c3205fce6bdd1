// Server resources of the X11 graphics backend: every context, bitmap and
// font it makes is given back to the server when the caller frees it, so a
// long-running program does not grow the server.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "X11GdiFixture.h"

#include <X11/extensions/XRes.h>  // after Xlib.h, which it needs

namespace qmk::platform::x11::testing {
namespace {

// Counts of this client's server resources by type name (pixmaps, GCs,
// pictures, glyph sets...), as the X-Resource extension reports them.
std::map<std::string, int> ResourcesOf(Display* dpy, XID ownResource) {
    std::map<std::string, int> counts;
    int count = 0;
    XResType* types = nullptr;
    if (!XResQueryClientResources(dpy, ownResource, &count, &types)) return counts;
    for (int i = 0; i < count; ++i) {
        char* name = XGetAtomName(dpy, types[i].resource_type);
        counts[name != nullptr ? name : "?"] += static_cast<int>(types[i].count);
        XFree(name);
    }
    XFree(types);
    return counts;
}

class X11GdiResourceTest : public X11GdiTest {
protected:
    void SetUp() override {
        X11GdiTest::SetUp();
        if (IsSkipped()) return;
        int event = 0, error = 0;
        if (!XResQueryExtension(Dpy(), &event, &error)) GTEST_SKIP() << "no X-Resource extension";
        // Any id of ours names our client to the extension.
        marker_ = XCreatePixmap(Dpy(), display_->Root(), 1, 1, 1);
        window_ = MakeChildWindow(0, 0, 40, 20, 0x00C0C0C0);
    }
    void TearDown() override {
        if (marker_ != 0) XFreePixmap(Dpy(), marker_);
    }

    // One round of what the drawing layer and the framework do in a
    // message: memory and window contexts, a bitmap, fonts, pens, brushes,
    // pixels, copies and text.
    void Cycle(int i) {
        Gdi& gdi = *gdi_;
        const DcHandle screen = gdi.GetDC(0);
        const DcHandle memory = gdi.CreateCompatibleDC(screen);
        const ObjectHandle bitmap = gdi.CreateCompatibleBitmap(screen, 17 + i % 5, 9);
        gdi.ReleaseDC(0, screen);
        const ObjectHandle oldBitmap = gdi.SelectObject(memory, bitmap);
        const ObjectHandle pen = gdi.CreatePenIndirect(LogPen{ps::Solid, 1, 0x00808080});
        const ObjectHandle brush = gdi.CreateBrushIndirect(LogBrush{bs::Solid, 0x00C0C0C0, 0});
        const ObjectHandle font = gdi.CreateFontIndirect(FontRequest(i % 2 ? ProportionalFace : FixedFace, -12 - i % 3));
        const ObjectHandle oldPen = gdi.SelectObject(memory, pen);
        const ObjectHandle oldBrush = gdi.SelectObject(memory, brush);
        const ObjectHandle oldFont = gdi.SelectObject(memory, font);
        gdi.PatBlt(memory, 0, 0, 17, 9, rop::PatCopy);
        gdi.SetPixel(memory, 1, 1, 0x00000080);
        gdi.GetPixel(memory, 1, 1);
        gdi.MoveToEx(memory, 0, 0, nullptr);
        gdi.LineTo(memory, 5, 0);
        gdi.ExtTextOut(memory, 0, 0, 0, nullptr, "0", 1);
        gdi.DrawFocusRect(memory, Rect{0, 0, 5, 5});

        const DcHandle window = gdi.GetDC(window_);
        gdi.SetViewportOrgEx(window, 1, 1, nullptr);
        gdi.IntersectClipRect(window, 0, 0, 10, 10);
        gdi.StretchBlt(window, 0, 0, 17, 9, memory, 0, 0, 17, 9, rop::SrcCopy);
        const ObjectHandle windowFont = gdi.SelectObject(window, font);
        gdi.ExtTextOut(window, 0, 0, eto::Opaque, nullptr, "\x83\x58", 2);
        gdi.SelectObject(window, windowFont);
        gdi.ReleaseDC(window_, window);

        gdi.SelectObject(memory, oldFont);
        gdi.SelectObject(memory, oldBrush);
        gdi.SelectObject(memory, oldPen);
        gdi.SelectObject(memory, oldBitmap);
        gdi.DeleteDC(memory);
        EXPECT_TRUE(gdi.DeleteObject(bitmap));
        EXPECT_TRUE(gdi.DeleteObject(pen));
        EXPECT_TRUE(gdi.DeleteObject(brush));
        EXPECT_TRUE(gdi.DeleteObject(font));
    }

    Pixmap marker_ = 0;
    Window window_ = 0;
};

TEST_F(X11GdiResourceTest, AThousandCyclesLeaveNoServerResourcesBehind) {
    // Xft keeps a few closed fonts (and their glyph sets) for reuse; the
    // first cycles fill that cache.
    for (int i = 0; i < 6; ++i) Cycle(i);
    XSync(Dpy(), False);
    const auto before = ResourcesOf(Dpy(), marker_);
    ASSERT_FALSE(before.empty());
    for (int i = 0; i < 1000; ++i) Cycle(i);
    XSync(Dpy(), False);
    EXPECT_EQ(ResourcesOf(Dpy(), marker_), before);
}

TEST_F(X11GdiResourceTest, DestroyingTheBackendFreesWhatCallersLeft) {
    auto leaveThingsBehind = [&] {
        X11Gdi gdi(*display_);
        const DcHandle memory = gdi.CreateCompatibleDC(0);
        gdi.SelectObject(memory, gdi.CreateCompatibleBitmap(0, 8, 8));
        gdi.CreateCompatibleBitmap(0, 8, 8);
        gdi.CreatePenIndirect(LogPen{});
        const DcHandle window = gdi.GetDC(window_);
        gdi.ExtTextOut(window, 0, 0, 0, nullptr, "0", 1);
        XSync(Dpy(), False);
    };
    // Xft keeps its font and a solid colour picture per connection.
    leaveThingsBehind();
    XSync(Dpy(), False);
    const auto before = ResourcesOf(Dpy(), marker_);
    leaveThingsBehind();
    XSync(Dpy(), False);
    EXPECT_EQ(ResourcesOf(Dpy(), marker_), before);
}

}  // namespace
}  // namespace qmk::platform::x11::testing
