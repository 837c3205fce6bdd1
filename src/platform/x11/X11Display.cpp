#include "platform/x11/X11Display.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include <X11/Xresource.h>

namespace qmk::platform::x11 {

namespace {

int ReadXftDpi(Display* display) {
    const char* resources = XResourceManagerString(display);
    if (resources == nullptr) return 96;
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources);
    if (db == nullptr) return 96;
    int dpi = 96;
    char* type = nullptr;
    XrmValue value;
    if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        double parsed = std::strtod(value.addr, nullptr);
        if (parsed >= 24.0 && parsed <= 960.0) dpi = static_cast<int>(std::lround(parsed));
    }
    XrmDestroyDatabase(db);
    return dpi;
}

}  // namespace

X11Display::X11Display(const char* name) {
    display_ = XOpenDisplay(name);
    if (display_ == nullptr) {
        const char* shown = name != nullptr ? name : std::getenv("DISPLAY");
        throw std::runtime_error(std::string("cannot open display \"") + (shown ? shown : "") + "\"");
    }
    screen_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screen_);
    visual_ = DefaultVisual(display_, screen_);
    depth_ = DefaultDepth(display_, screen_);
    colormap_ = DefaultColormap(display_, screen_);
    width_ = DisplayWidth(display_, screen_);
    height_ = DisplayHeight(display_, screen_);
    dpi_ = ReadXftDpi(display_);
    red_ = ChannelOf(visual_->red_mask);
    green_ = ChannelOf(visual_->green_mask);
    blue_ = ChannelOf(visual_->blue_mask);
}

X11Display::~X11Display() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

std::string X11Display::VendorText() const {
    return std::string(ServerVendor(display_)) + " " + std::to_string(VendorRelease(display_));
}

X11Display::Channel X11Display::ChannelOf(unsigned long mask) {
    Channel c;
    c.Mask = mask;
    if (mask == 0) return c;
    while (((mask >> c.Shift) & 1UL) == 0) ++c.Shift;
    while (((mask >> (c.Shift + c.Bits)) & 1UL) != 0) ++c.Bits;
    return c;
}

unsigned long X11Display::ToChannel(std::uint32_t component, const Channel& channel) {
    if (channel.Bits == 0) return 0;
    unsigned long v = channel.Bits >= 8 ? (static_cast<unsigned long>(component) << (channel.Bits - 8))
                                        : (component >> (8 - channel.Bits));
    return (v << channel.Shift) & channel.Mask;
}

std::uint32_t X11Display::FromChannel(unsigned long pixel, const Channel& channel) {
    if (channel.Bits == 0) return 0;
    unsigned long v = (pixel & channel.Mask) >> channel.Shift;
    // A reduced channel reads back as its stored value shifted up, as a
    // device bitmap of fewer bits per pixel reports it.
    if (channel.Bits >= 8) return static_cast<std::uint32_t>(v >> (channel.Bits - 8));
    return static_cast<std::uint32_t>(v << (8 - channel.Bits));
}

unsigned long X11Display::PixelFromColorRef(ColorRef color) const {
    return ToChannel(color & 0xFFu, red_) | ToChannel((color >> 8) & 0xFFu, green_) |
           ToChannel((color >> 16) & 0xFFu, blue_);
}

ColorRef X11Display::ColorRefFromPixel(unsigned long pixel) const {
    return FromChannel(pixel, red_) | (FromChannel(pixel, green_) << 8) |
           (FromChannel(pixel, blue_) << 16);
}

}  // namespace qmk::platform::x11
