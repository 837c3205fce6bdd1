// One backend as a whole: its Gdi, User and Kernel, made together and
// ended together, chosen when the program is built (CMake's QMK_PLATFORM).
// The entry points make their desktop here and install its parts; nothing
// above the seam names a backend.
#pragma once

#include <memory>
#include <stdexcept>
#include <string_view>

#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Platform.h"
#include "platform/User.h"

namespace qmk::platform {

// The display could not be opened. what() is the reason as the start-up
// error box shows it, in code page 932.
class DisplayUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Works from the start: the start-up reads the locale settings before
    // it opens the display.
    virtual Kernel& KernelPart() = 0;

    // Opens the display and makes the graphics and window halves on it.
    // displayName is the backend's own name of a display; null for the one
    // the user's session gives. Throws DisplayUnavailable.
    virtual void OpenDisplay(const char* displayName) = 0;
    // Null until the display is open.
    virtual Gdi* GdiPart() = 0;
    virtual User* UserPart() = 0;

    Backend Parts() { return {GdiPart(), UserPart(), &KernelPart()}; }
};

// The desktop of the backend this program was built with. programName is
// how the program names itself when the backend has to end it (the
// display went away, see the backend's header): "qmk", "qmk-run".
std::unique_ptr<Desktop> MakeDesktop(std::string_view programName);

}  // namespace qmk::platform
