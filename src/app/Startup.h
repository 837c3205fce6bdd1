// The program's start and end, shared by the desktop program and by any
// other entry point that drives the same window (a command-line runner):
// the runtime start, the desktop of the platform backend, the application
// object and the main window, the message loop, and the text shown when the
// start fails.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Desktop.h"
#include "platform/Platform.h"

namespace qmk {

class TApplication;
class TQMKForm;

// The text of a failed start (code page 932):
//   "<class>がﾓｼﾞｭｰﾙ <program> の\n<address> で発生しました。\n<message>.\n"
// The full stop is added only to a message that is not empty and does not
// end with one already.
std::string StartupErrorText(std::string_view className, std::string_view programName,
                             const void* address, std::string_view message);

class TProgram {
public:
    // programName: how the program names itself when the backend must end
    // it (the display went away), "qmk" or "qmk-run".
    explicit TProgram(std::string_view programName = "qmk");
    // Destroys what Start made, the main window first and the desktop
    // last, and puts the previously installed backend back.
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // The start, in order: the C locale from the environment, extended
    // precision, the generator at 0, the desktop with its kernel, the
    // locale settings, the display (displayName: the backend's name of one;
    // null for the session's), the drawing layer, the application object
    // with its icon, the title "QMK1.0", and the main window (FormCreate has
    // run; the window is not shown yet). Throws what failed.
    void Start(const char* displayName = nullptr);

    // Shows the window and handles messages until the window closes (or
    // the session ends); then the window and its controls are destroyed.
    void Run();

    // The desktop program's end of the session: where the system may end
    // the process as soon as the program has been told (see
    // User::SetSessionEndHandler), the orderly exit runs there and then,
    // without FormClose: the forms are destroyed, pop-ups first, then the
    // application window, and the process ends with exit code 0. Elsewhere
    // the end of the session ends Run as before.
    void ExitWhenTheSessionEnds();

    // Reports an error that ended the start: the text on standard error
    // (UTF-8) and, once the display is open, in the task-modal start-up
    // error box (without the application object, only where the desktop
    // has a box of its own: on Windows, where a program started from the
    // desktop has no standard error to read). Returns the exit code, 1.
    int ReportStartupError(std::exception_ptr error);

    TApplication& Application() const { return *application_; }
    // Null before Start and after Run.
    TQMKForm* Form() const;

private:
    std::unique_ptr<platform::Desktop> desktop_;
    std::unique_ptr<TApplication> application_;
    std::string programName_;
    const void* failedAt_ = nullptr;
    bool installed_ = false;
    platform::Backend previous_;
};

// The whole desktop program: Start, Run, and the exit code (0 after the
// window has closed, 1 when the start failed).
int RunDesktopProgram();

}  // namespace qmk
