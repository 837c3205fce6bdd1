// The program's start and end, shared by the desktop program and by any
// other entry point that drives the same window (a command-line runner):
// the runtime start, the backends on the X display, the application object
// and the main window, the message loop, and the text shown when the start
// fails.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "platform/User.h"

namespace qmk {

namespace platform {
class PosixKernel;
namespace x11 {
class X11Display;
class X11Gdi;
class X11User;
}  // namespace x11
}  // namespace platform

class TApplication;
class TQMKForm;

// The program's file name without its folder, at most 63 bytes, in code
// page 932.
std::string ProgramFileName();

// The text of a failed start (code page 932):
//   "<class>がﾓｼﾞｭｰﾙ <program> の\n<address> で発生しました。\n<message>.\n"
// The full stop is added only to a message that is not empty and does not
// end with one already.
std::string StartupErrorText(std::string_view className, std::string_view programName,
                             const void* address, std::string_view message);

// The error raised when the X display cannot be opened; its message names
// the display (code page 932).
std::string NoDisplayMessage(const char* displayName);

class TProgram {
public:
    // onConnectionLost: what happens when the X connection breaks, from
    // the first X call of Start on; null for the desktop program's way
    // (the session is over).
    explicit TProgram(platform::User::ConnectionLostHandler onConnectionLost = nullptr);
    // Destroys what Start made, the main window first and the backends
    // last, and puts the previously installed backend back.
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // The start, in order: the C locale from the environment, extended
    // precision, the generator at 0, the POSIX kernel, the locale settings,
    // the X display (displayName null: $DISPLAY), the X11 backends, the
    // handler for a lost connection, the drawing layer, the application
    // object with its icon, the title "QMK1.0", and the main window
    // (FormCreate has run; the window is not shown yet). Throws what
    // failed; StartupFailureAddress then tells where.
    void Start(const char* displayName = nullptr);
    bool DisplayOpen() const { return display_ != nullptr; }
    const void* StartupFailureAddress() const { return failedAt_; }

    // Shows the window and handles messages until the window closes (or
    // the session ends); then the window and its controls are destroyed.
    void Run();

    // Reports an error that ended the start: the text on standard error
    // (UTF-8) and, once the display is open and the application object
    // exists, in the task-modal start-up error box. Returns the exit code, 1.
    int ReportStartupError(std::exception_ptr error);

    TApplication& Application() const { return *application_; }
    // Null before Start and after Run.
    TQMKForm* Form() const;

private:
    std::unique_ptr<platform::PosixKernel> kernel_;
    std::unique_ptr<platform::x11::X11Display> display_;
    std::unique_ptr<platform::x11::X11Gdi> gdi_;
    std::unique_ptr<platform::x11::X11User> user_;
    std::unique_ptr<TApplication> application_;
    platform::User::ConnectionLostHandler onConnectionLost_;
    const void* failedAt_ = nullptr;
    bool installed_ = false;
    platform::Backend previous_;
};

// The whole desktop program: Start, Run, and the exit code (0 after the
// window has closed, 1 when the start failed).
int RunDesktopProgram();

}  // namespace qmk
