// The one connection to the X server, shared by the X11 halves of the
// platform seam (X11Gdi draws, X11User makes windows and reads input).
// Between the two halves a platform::WindowHandle is the X window id itself,
// so X11Gdi::GetDC(window) draws straight into that window.
#pragma once

#include <cstdint>
#include <string>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/Types.h"

namespace qmk::platform::x11 {

class X11Display {
public:
    // Opens the display named by DISPLAY (or the given name); throws
    // std::runtime_error when there is none.
    explicit X11Display(const char* name = nullptr);
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    Display* Dpy() const { return display_; }
    int ScreenNumber() const { return screen_; }
    Window Root() const { return root_; }
    Visual* VisualOf() const { return visual_; }
    int Depth() const { return depth_; }
    Colormap ColormapOf() const { return colormap_; }
    int ScreenWidth() const { return width_; }
    int ScreenHeight() const { return height_; }
    // Pixels per inch: the Xft.dpi resource, else 96.
    int PixelsPerInch() const { return dpi_; }
    std::string VendorText() const;

    // 0x00BBGGRR to a pixel value of the default visual, and back.
    unsigned long PixelFromColorRef(ColorRef color) const;
    ColorRef ColorRefFromPixel(unsigned long pixel) const;

    Atom InternAtom(const char* name) const { return XInternAtom(display_, name, False); }

private:
    struct Channel {
        unsigned long Mask = 0;
        int Shift = 0;  // of the channel's lowest bit
        int Bits = 0;   // width of the channel
    };
    static Channel ChannelOf(unsigned long mask);
    static unsigned long ToChannel(std::uint32_t component, const Channel& channel);
    static std::uint32_t FromChannel(unsigned long pixel, const Channel& channel);

    Display* display_ = nullptr;
    int screen_ = 0;
    Window root_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    Colormap colormap_ = 0;
    int width_ = 0;
    int height_ = 0;
    int dpi_ = 96;
    Channel red_, green_, blue_;
};

}  // namespace qmk::platform::x11
