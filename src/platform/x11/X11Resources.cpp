#include "platform/x11/X11Resources.h"

#include <sstream>
#include <stdexcept>
#include <string>

#include <X11/Xatom.h>

#include "platform/x11/X11Display.h"

namespace qmk::platform::x11 {

void SetXftDpi(const X11Display& display, int dpi) {
    Display* dpy = display.Dpy();
    // Other lines are kept as they are; an Xft.dpi line already there is
    // replaced rather than shadowed, so exactly one value remains.
    std::string merged;
    if (const char* current = XResourceManagerString(dpy)) {
        std::istringstream lines(current);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("Xft.dpi:", 0) == 0 || line.empty()) continue;
            merged += line;
            merged += '\n';
        }
    }
    merged += "Xft.dpi:\t" + std::to_string(dpi) + "\n";
    const Window root = RootWindow(dpy, 0);
    XChangeProperty(dpy, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(merged.data()),
                    static_cast<int>(merged.size()));
    if (XSync(dpy, False) == 0) throw std::runtime_error("cannot set Xft.dpi on the X server");
}

std::string VisualClassName(const X11Display& display) {
    switch (display.VisualOf()->c_class) {
    case StaticGray: return "StaticGray";
    case GrayScale: return "GrayScale";
    case StaticColor: return "StaticColor";
    case PseudoColor: return "PseudoColor";
    case TrueColor: return "TrueColor";
    case DirectColor: return "DirectColor";
    default: return "unknown";
    }
}

}  // namespace qmk::platform::x11
