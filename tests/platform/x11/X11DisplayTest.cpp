// The connection's reading of the server's resolution: Xft.dpi from the
// resource database when it is a plausible resolution, else 96.
#include <string>

#include <gtest/gtest.h>

#include "platform/posix/XvfbServer.h"
#include "platform/x11/X11Display.h"

#include <X11/Xatom.h>

namespace qmk::platform::x11::testing {
namespace {

TEST(X11DisplayTest, XftDpiIsTakenOnlyWhenItIsAResolution) {
    XvfbServer server;
    struct Case {
        std::string Resources;
        int Dpi;
    };
    const Case cases[] = {
        {"", 96},
        {"Xft.dpi:\t120\n", 120},
        {"Xft.dpi: 144.4\n", 144},
        {"Xft.antialias: 1\nXft.dpi: 72\n", 72},
        {"Xft.dpi: abc\n", 96},
        {"Xft.dpi: 0\n", 96},
        {"Xft.dpi: -96\n", 96},
        {"Xft.dpi: 1e9\n", 96},
        {"Xft.dpi: nan\n", 96},
        {"Xft.dpi: inf\n", 96},
        {"Xft.dpi:\n", 96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Resources);
        {
            X11Display setup(server.DisplayName().c_str());
            XChangeProperty(setup.Dpy(), setup.Root(), XA_RESOURCE_MANAGER, XA_STRING, 8,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(c.Resources.data()),
                            static_cast<int>(c.Resources.size()));
            XSync(setup.Dpy(), False);
        }
        const X11Display display(server.DisplayName().c_str());
        EXPECT_EQ(display.PixelsPerInch(), c.Dpi);
    }
}

}  // namespace
}  // namespace qmk::platform::x11::testing
