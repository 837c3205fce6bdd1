// The X11 desktop: the POSIX kernel (clock, locale), and once the display
// is open, X11Gdi and X11User on one connection. Making it installs the
// rule for a lost display (X11Connection.h) with the program's name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Desktop.h"
#include "platform/posix/PosixKernel.h"

namespace qmk::platform::x11 {

class X11Display;
class X11Gdi;
class X11User;

class X11Desktop : public Desktop {
public:
    explicit X11Desktop(std::string_view programName);
    ~X11Desktop() override;

    Kernel& KernelPart() override { return kernel_; }
    // displayName: an X display ("host:1"); null for DISPLAY.
    void OpenDisplay(const char* displayName) override;
    Gdi* GdiPart() override;
    User* UserPart() override;

private:
    PosixKernel kernel_;
    std::unique_ptr<X11Display> display_;
    std::unique_ptr<X11Gdi> gdi_;
    std::unique_ptr<X11User> user_;
};

// Why a display cannot be opened, as the error box says it (code page 932):
// none given (DISPLAY unset or empty), or the one named cannot be reached;
// the name is shown in printable ASCII.
std::string NoDisplayMessage(const char* displayName);

}  // namespace qmk::platform::x11
