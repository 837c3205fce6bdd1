#include "runner/RunnerSession.h"

#include <chrono>
#include <thread>

#include "app/QMKForm.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "ui/Application.h"
#include "ui/Memo.h"

namespace qmk {

namespace {

constexpr auto ActivationWait = std::chrono::seconds(5);
constexpr auto PollInterval = std::chrono::milliseconds(5);

}  // namespace

RunnerErrorTrap::RunnerErrorTrap() {
    TApplication::OnException = [this](const std::exception& error) {
        if (!first_) first_ = RunnerErrorText(error);
    };
}

RunnerErrorTrap::~RunnerErrorTrap() { TApplication::OnException = nullptr; }

void RunnerErrorTrap::ThrowIfCaught() {
    if (first_) throw RunnerRunError(*first_);
}

std::string RunnerErrorText(const std::exception& error) {
    const auto* own = dynamic_cast<const Exception*>(&error);
    const std::string message = Cp932ToUtf8(ErrorBoxText(ErrorMessageOf(error)));
    return own != nullptr ? std::string(own->ClassName()) + ": " + message : message;
}

void ShowMainWindow(TApplication& application, TQMKForm& form) {
    form.Show();
    // Without a window manager the window is mapped at once; with one, it
    // may take a moment. Either way the run starts on a window that has
    // been painted, as after a user's click.
    const auto end = std::chrono::steady_clock::now() + ActivationWait;
    application.ProcessMessages();
    while (!form.Active() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(PollInterval);
        application.ProcessMessages();
    }
}

std::pair<std::string, std::string> ClickStartButton(TApplication& application, TQMKForm& form,
                                                     RunnerErrorTrap& trap) {
    trap.ThrowIfCaught();
    TButton& button = *form.StartButton;
    application.Send(button, [&button] { button.Click(); });
    application.ProcessMessages();
    // What failed after that (drawing into the window) is not the cause.
    if (application.MainWindowLost()) {
        throw RunnerRunError("the main window was destroyed by another program");
    }
    trap.ThrowIfCaught();
    TMemoStrings& lines = form.Kekka->Lines();
    return {lines.Get(0), lines.Get(1)};
}

void CloseMainWindow(TApplication& application, TQMKForm& form) {
    application.HandleInFrame([&form] { form.Close(); });
}

}  // namespace qmk
