// X errors arrive asynchronously, long after the request that caused them,
// at the process-wide error handler. A call whose failure must be told to
// its caller (a pixmap, GC or window the server could not make) runs its
// requests inside a trap and ends it with a round trip, so that every error
// of those requests has come in by then and none of them reaches the
// handler. Errors of earlier requests still go on to the handler that was
// set. A trap costs a round trip: it belongs on creation paths only.
#pragma once

#include <X11/Xlib.h>

namespace qmk::platform::x11 {

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display)
        : display_(display), serial_(NextRequest(display)), outer_(active_) {
        previous_ = XSetErrorHandler(&Handle);
        active_ = this;
    }
    ~ErrorTrap() {
        XSetErrorHandler(previous_);
        active_ = outer_;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server to have handled everything sent so far, then
    // tells whether any request made inside the trap failed.
    bool Sync() {
        XSync(display_, False);
        return failed_;
    }
    // Without a round trip: only right after a call that waited for a reply.
    bool Failed() const { return failed_; }
    // The first trapped error's code (BadAlloc, ...), 0 while there is none.
    int ErrorCode() const { return errorCode_; }

private:
    static int Handle(Display* display, XErrorEvent* error) {
        ErrorTrap* trap = active_;
        if (trap != nullptr && error->serial >= trap->serial_) {
            if (!trap->failed_) trap->errorCode_ = error->error_code;
            trap->failed_ = true;
            return 0;
        }
        return trap != nullptr && trap->previous_ != nullptr ? trap->previous_(display, error) : 0;
    }

    static inline ErrorTrap* active_ = nullptr;
    Display* display_;
    unsigned long serial_;
    ErrorTrap* outer_;
    XErrorHandler previous_ = nullptr;
    bool failed_ = false;
    int errorCode_ = 0;
};

}  // namespace qmk::platform::x11
