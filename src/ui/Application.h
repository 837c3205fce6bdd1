// The application object and the screen object: the hidden application
// window that carries the title, the message loop, the frame in which every
// message is handled (contexts given back afterwards, errors shown in a box),
// and the error boxes.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Types.h"
#include "platform/User.h"
#include "ui/Icon.h"

namespace qmk {

class TControl;
class TWinControl;
class TForm;

class TScreen {
public:
    // Reads the screen's pixels per inch once (GetDeviceCaps LogPixelsY of
    // the screen's context).
    TScreen();
    std::int32_t PixelsPerInch() const { return pixelsPerInch_; }
    // Read from the system metrics on each use.
    std::int32_t Width() const;
    std::int32_t Height() const;

private:
    std::int32_t pixelsPerInch_ = 96;
};

class TApplication {
public:
    // Creates the hidden application window (the client leader of the
    // program's windows) with the program's file name as its first title,
    // and makes this object the one Application() returns.
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    platform::WindowHandle ApplicationWindow() const { return applicationWindow_; }
    // The title is held only as the application window's text.
    std::string Title() const;
    void SetTitle(std::string_view title);
    void SetIcon(const TIconData& icon);

    TScreen& Screen() { return screen_; }

    // Creates a form of class F (its constructor reads its description);
    // the first form created becomes the main form. The application owns it.
    template <class F, class... Args>
    F& CreateForm(Args&&... args) {
        auto form = std::make_unique<F>(std::forward<Args>(args)...);
        F& result = *form;
        AdoptForm(std::move(form));
        return result;
    }
    TForm* MainForm() const { return mainForm_; }

    // Shows the main form and handles messages until Terminate; then the
    // forms are destroyed.
    void Run();
    bool Running() const { return running_; }
    // Ends the message loop after the current message (the quit message).
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Whether another program destroyed the main form's window; asks the
    // display when its message has not been taken yet (during a run).
    bool MainWindowLost();

    // Handles every message already queued, without waiting.
    void ProcessMessages();
    // Handles messages, sleeping while there are none, until done() is true
    // or the application is terminated.
    void ProcessMessagesUntil(const std::function<bool()>& done);
    // Hands one platform message to the window it is for, inside the frame.
    void Dispatch(const platform::Message& message);

    // The program sends a message to one of its own controls: the handler
    // runs at once, inside the same frame as a message from the queue (the
    // target's window is made first if needed).
    void Send(TWinControl& target, const std::function<void()>& handler);
    // The frame around every handled message: runs handler; then gives back
    // all window contexts of controls and all memory contexts of bitmaps,
    // also after an error; an error that escaped is shown by ReportError.
    void HandleInFrame(const std::function<void()>& handler);

    // Shows an error that escaped a handler in a modal box owned by the
    // application window: stop icon, the message with a full stop added,
    // caption the application title.
    void ReportError(const std::exception& error);
    void ReportError(std::exception_ptr error);
    // When set, ReportError hands the error here instead of showing the box:
    // a program that nobody watches (the command-line runner) must not wait
    // for a click. Process-wide, so that it also covers errors of FormCreate
    // while the first form is made.
    static inline std::function<void(const std::exception&)> OnException;
    // The task-modal box for an error during start-up: no owner, caption
    // "アプリケーション エラー" (half-width kana).
    void ShowStartupError(std::string_view text);
    // Shows a modal message box and waits until the user closes it; the
    // program's other windows ignore input meanwhile.
    void MessageBox(std::string_view text, std::string_view caption, bool taskModal);

    // Bookkeeping of windows and forms (called by the controls).
    void RegisterWindow(platform::WindowHandle window, TWinControl* control);
    void UnregisterWindow(platform::WindowHandle window);
    TWinControl* FindControl(platform::WindowHandle window) const;
    void FormCreated(TForm* form);
    void FormDestroyed(TForm* form);
    const std::vector<TForm*>& Forms() const { return forms_; }
    // The control that holds the mouse between a button press and release.
    void SetCapture(TWinControl* control) { capture_ = control; }
    TWinControl* Capture() const { return capture_; }
    TForm* ActiveForm() const { return activeForm_; }
    void SetActiveForm(TForm* form) { activeForm_ = form; }

    // Destroys the forms the application owns, the main form last.
    void DestroyForms();

private:
    void AdoptForm(std::unique_ptr<TForm> form);
    void DispatchToControl(TWinControl& control, const platform::Message& message);
    bool IgnoresInput(TWinControl& control, const platform::Message& message);

    platform::WindowHandle applicationWindow_ = 0;
    TScreen screen_;
    std::vector<std::unique_ptr<TForm>> ownedForms_;
    std::vector<TForm*> forms_;
    TForm* mainForm_ = nullptr;
    TForm* activeForm_ = nullptr;
    TWinControl* capture_ = nullptr;
    std::unordered_map<platform::WindowHandle, TWinControl*> windows_;
    bool running_ = false;
    bool terminated_ = false;
    bool mainWindowLost_ = false;
    bool lostWindowErrorReported_ = false;
    TApplication* previous_ = nullptr;
};

// The program's file name without its folder ("/" or "\\"), at most 63
// bytes cut before a character that would not fit, in code page 932; "qmk"
// when the system does not tell. The application window's first title,
// and the name in messages that name the program.
std::string ProgramFileName();

// The application object of the process (there is one while it exists).
TApplication& Application();
TScreen& Screen();
// The application object, or null while there is none (during shut-down).
TApplication* CurrentApplication();

// The text an error box shows: the message and a full stop, always added.
std::string ErrorBoxText(std::string_view message);
// The message of an error as the user sees it (code page 932).
std::string ErrorMessageOf(const std::exception& error);

}  // namespace qmk
