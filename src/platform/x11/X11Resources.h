// What a command-line runner sets on, and reads from, an X server beside the
// program's own connection: the Xft.dpi resource of a private server, and
// the facts about the server that the scores depend on.
#pragma once

#include <string>

namespace qmk::platform::x11 {

class X11Display;

// Sets Xft.dpi in the server's resource database (the RESOURCE_MANAGER
// property of the first screen's root window), keeping the other
// resources. Connections opened afterwards read it as their pixels per
// inch. Throws std::runtime_error when the property cannot be written.
void SetXftDpi(const X11Display& display, int dpi);

// "TrueColor", "DirectColor", "PseudoColor", ... of the default visual.
std::string VisualClassName(const X11Display& display);

}  // namespace qmk::platform::x11
