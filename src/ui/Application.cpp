#include "ui/Application.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "graphics/CanvasControl.h"
#include "graphics/Bitmap.h"
#include "graphics/ControlCanvas.h"
#include "platform/Platform.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/MemoText.h"
#include "ui/MessageBox.h"

namespace qmk {

namespace {

TApplication* CurrentApp = nullptr;

constexpr std::size_t ProgramNameLimit = 63;
constexpr std::string_view FallbackProgramName = "qmk";

bool IsInput(platform::MessageKind kind) {
    using platform::MessageKind;
    switch (kind) {
    case MessageKind::KeyDown:
    case MessageKind::KeyUp:
    case MessageKind::ButtonDown:
    case MessageKind::ButtonUp:
    case MessageKind::MouseMove:
    case MessageKind::Clicked:
    case MessageKind::Close: return true;
    default: return false;
    }
}

}  // namespace

// ----------------------------------------------------------------- TScreen

TScreen::TScreen() {
    auto& gdi = platform::GdiApi();
    const platform::DcHandle dc = gdi.GetDC(0);
    if (dc != 0) {
        const int value = gdi.GetDeviceCaps(dc, platform::caps::LogPixelsY);
        if (value > 0) pixelsPerInch_ = value;
        gdi.ReleaseDC(0, dc);
    }
}

std::int32_t TScreen::Width() const {
    return platform::UserApi().GetSystemMetrics(platform::metric::CxScreen);
}

std::int32_t TScreen::Height() const {
    return platform::UserApi().GetSystemMetrics(platform::metric::CyScreen);
}

// ------------------------------------------------------------ TApplication

TApplication::TApplication() : previous_(CurrentApp) {
    platform::CreateWindowParams params;
    params.Style = platform::ws::ApplicationWindow;
    params.X = screen_.Width() / 2;
    params.Y = screen_.Height() / 2;
    const std::string title = ProgramFileName();
    params.Title = title;
    applicationWindow_ = platform::UserApi().CreateWindow(params);
    if (applicationWindow_ == 0) {
        throw EOutOfResources(texts::WindowClassFailed);
    }
    CurrentApp = this;
}

TApplication::~TApplication() {
    DestroyForms();
    if (applicationWindow_ != 0) platform::UserApi().DestroyWindow(applicationWindow_);
    CurrentApp = previous_;
}

std::string TApplication::Title() const {
    std::string text = platform::UserApi().GetWindowText(applicationWindow_);
    // The title is read into a 256-byte buffer.
    if (text.size() > 255) text.resize(static_cast<std::size_t>(AlignToChar(text, 255)));
    return text;
}

void TApplication::SetTitle(std::string_view title) {
    platform::UserApi().SetWindowText(applicationWindow_, title);
}

void TApplication::SetIcon(const TIconData& icon) {
    if (icon.Empty()) return;
    platform::UserApi().SetWindowIcon(applicationWindow_, icon.Width, icon.Height, icon.Argb.data());
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
    if (mainForm_ == nullptr) mainForm_ = form.get();
    // Its window exists from now on, also when the description did not ask for it.
    form->Handle();
    ownedForms_.push_back(std::move(form));
}

void TApplication::FormCreated(TForm* form) { forms_.push_back(form); }

void TApplication::FormDestroyed(TForm* form) {
    std::erase(forms_, form);
    if (mainForm_ == form) mainForm_ = nullptr;
    if (activeForm_ == form) activeForm_ = nullptr;
}

void TApplication::DestroyForms() {
    // The pop-ups first, the main form last, each with its controls.
    while (!ownedForms_.empty()) {
        auto it = ownedForms_.begin();
        for (auto candidate = ownedForms_.begin(); candidate != ownedForms_.end(); ++candidate) {
            if (candidate->get() != mainForm_) {
                it = candidate;
                break;
            }
        }
        std::unique_ptr<TForm> form = std::move(*it);
        ownedForms_.erase(it);
        form.reset();
    }
}

void TApplication::RegisterWindow(platform::WindowHandle window, TWinControl* control) {
    windows_[window] = control;
}

void TApplication::UnregisterWindow(platform::WindowHandle window) { windows_.erase(window); }

TWinControl* TApplication::FindControl(platform::WindowHandle window) const {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second;
}

void TApplication::Run() {
    // Without a window nobody could ever end the loop.
    if (mainForm_ == nullptr) return;
    running_ = true;
    try {
        if (!terminated_) mainForm_->Show();
        ProcessMessagesUntil(nullptr);
    } catch (...) {
        running_ = false;
        throw;
    }
    running_ = false;
    DestroyForms();
}

void TApplication::ProcessMessages() {
    platform::Message message;
    while (!terminated_ && platform::UserApi().PeekMessage(message)) Dispatch(message);
}

void TApplication::ProcessMessagesUntil(const std::function<bool()>& done) {
    auto& user = platform::UserApi();
    while (!terminated_ && !(done && done())) {
        platform::Message message;
        if (user.PeekMessage(message)) {
            Dispatch(message);
        } else {
            // Sleeps in the wait for the display; nothing runs between messages.
            user.WaitMessage();
        }
    }
}

bool TApplication::IgnoresInput(TWinControl& control, const platform::Message& message) {
    if (!IsInput(message.Kind)) return false;
    TForm* form = control.ParentForm();
    return form != nullptr && !form->Enabled();
}

void TApplication::Dispatch(const platform::Message& message) {
    using platform::MessageKind;
    if (message.Kind == MessageKind::EndSession) {
        // The session is ending: leave at once, without the close path.
        terminated_ = true;
        return;
    }
    if (message.Kind == MessageKind::Destroyed) {
        TWinControl* control = FindControl(message.Window);
        if (control == nullptr) return;
        if (control == mainForm_) mainWindowLost_ = true;
        HandleInFrame([control] { control->WindowDestroyed(); });
        return;
    }
    if (message.Window == applicationWindow_) {
        if (message.Kind == MessageKind::Close && mainForm_ != nullptr) {
            HandleInFrame([this] { mainForm_->Close(); });
        }
        return;
    }
    // Messages for windows that no longer exist are dropped here, so no
    // handler ever runs on a destroyed control.
    TWinControl* control = FindControl(message.Window);
    if (control == nullptr || IgnoresInput(*control, message)) return;
    DispatchToControl(*control, message);
}

void TApplication::DispatchToControl(TWinControl& control, const platform::Message& message) {
    using platform::MessageKind;
    HandleInFrame([&control, &message] {
        switch (message.Kind) {
        case MessageKind::KeyDown:
        case MessageKind::KeyUp:
            // Keys go to the form first, which offers them to its focused control.
            if (TForm* form = control.ParentForm()) form->HandleKey(message);
            break;
        default: control.HandleMessage(message); break;
        }
    });
}

void TApplication::Send(TWinControl& target, const std::function<void()>& handler) {
    target.Handle();
    HandleInFrame(handler);
}

void TApplication::HandleInFrame(const std::function<void()>& handler) {
    std::exception_ptr error;
    try {
        handler();
    } catch (...) {
        error = std::current_exception();
    }
    // Contexts never outlive the message that borrowed them: window
    // contexts of controls first, then memory contexts of bitmaps.
    ReleaseAllWindowContexts();
    ReleaseAllMemoryContexts();
    if (error) ReportError(error);
}

void TApplication::ReportError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ReportError(e);
    } catch (...) {
        // Not an error object of ours or of the library: nothing to show.
    }
}

void TApplication::ReportError(const std::exception& error) {
    if (capture_ != nullptr) {
        TWinControl* captured = capture_;
        capture_ = nullptr;
        captured->CancelMode();
    }
    if (dynamic_cast<const EAbort*>(&error) != nullptr) return;
    if (OnException) {
        OnException(error);
        return;
    }
    // Another program destroyed the window: what fails now (drawing into
    // it) follows from that. No box stands for a window that is gone; the
    // first error goes to standard error and the rest are dropped, and the
    // program ends as soon as the loop takes the window's message.
    if (MainWindowLost()) {
        if (!lostWindowErrorReported_) {
            lostWindowErrorReported_ = true;
            const std::string line = Cp932ToUtf8(ProgramFileName() + ": " +
                                                 ErrorBoxText(ErrorMessageOf(error))) + "\n";
            platform::WriteText(platform::StandardStream::Error, line);
        }
        return;
    }
    try {
        MessageBox(ErrorBoxText(ErrorMessageOf(error)), Title(), false);
    } catch (...) {
        // The box itself could not be shown; the program goes on regardless.
    }
}

bool TApplication::MainWindowLost() {
    if (!mainWindowLost_ && mainForm_ != nullptr && mainForm_->HandleAllocated() &&
        !platform::UserApi().IsWindow(mainForm_->Handle())) {
        mainWindowLost_ = true;
    }
    return mainWindowLost_;
}

void TApplication::ShowStartupError(std::string_view text) {
    MessageBox(text, texts::StartupErrorCaption.Cp932, true);
}

void TApplication::MessageBox(std::string_view text, std::string_view caption, bool taskModal) {
    TForm* noted = activeForm_ != nullptr ? activeForm_ : mainForm_;
    std::vector<TForm*> disabled;
    for (TForm* form : forms_) {
        if (form->Showing() && form->Enabled()) {
            form->SetEnabled(false);
            disabled.push_back(form);
        }
    }
    platform::WindowHandle owner = 0;
    if (!taskModal) {
        owner = noted != nullptr && noted->HandleAllocated() && noted->Showing() ? noted->Handle()
                                                                                : applicationWindow_;
    }
    try {
        if (!platform::UserApi().ShowMessageBox(owner, text, caption, taskModal)) {
            TMessageBoxForm box(text, caption, owner);
            box.ShowModal();
        }
    } catch (...) {
        for (TForm* form : disabled) form->SetEnabled(true);
        throw;
    }
    // Forms destroyed while the box showed have left forms_.
    for (TForm* form : disabled) {
        if (std::find(forms_.begin(), forms_.end(), form) != forms_.end()) form->SetEnabled(true);
    }
    if (noted != nullptr && std::find(forms_.begin(), forms_.end(), noted) != forms_.end() &&
        noted->Showing()) {
        platform::UserApi().Activate(noted->Handle());
        activeForm_ = noted;
    }
}

std::string ProgramFileName() {
    const std::string path = platform::KernelApi().GetModuleFileName();
    // A 0x5C byte may be the second half of a double-byte character, so the
    // folder ends at a separator found character by character.
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsDbcsLeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;
        } else if (path[i] == '/' || path[i] == '\\') {
            start = i + 1;
        }
    }
    std::string name = path.substr(std::min(start, path.size()));
    if (name.empty()) return std::string(FallbackProgramName);
    if (name.size() > ProgramNameLimit) {
        name.resize(static_cast<std::size_t>(
            AlignToChar(name, static_cast<std::int32_t>(ProgramNameLimit))));
    }
    return name;
}

TApplication& Application() {
    if (CurrentApp == nullptr) throw std::logic_error("no application object");
    return *CurrentApp;
}

TApplication* CurrentApplication() { return CurrentApp; }

TScreen& Screen() { return Application().Screen(); }

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    text += '.';
    return text;
}

std::string ErrorMessageOf(const std::exception& error) {
    if (const auto* own = dynamic_cast<const Exception*>(&error)) return own->Message();
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) return std::string(texts::OutOfMemory.Cp932);
    return error.what();
}

}  // namespace qmk
