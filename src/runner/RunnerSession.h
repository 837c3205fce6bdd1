// Driving the main window as a user does, for qmk-run: show it, click the
// start button, read the two result lines. Errors that the framework would
// show in a box are caught by a trap and become an error of the runner,
// since nobody is there to close the box.
#pragma once

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace qmk {

class TApplication;
class TQMKForm;

// A run (or the start) failed; what() is UTF-8, the error's class and its
// message: "EOutOfResources: ｼｽﾃﾑ ﾘｿｰｽが足りません".
class RunnerRunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// While it lives, errors that escape a handler are kept here instead of
// being shown (TApplication::OnException); the first one counts.
class RunnerErrorTrap {
public:
    RunnerErrorTrap();
    ~RunnerErrorTrap();
    RunnerErrorTrap(const RunnerErrorTrap&) = delete;
    RunnerErrorTrap& operator=(const RunnerErrorTrap&) = delete;

    // Throws RunnerRunError with the kept error, if there is one.
    void ThrowIfCaught();

private:
    std::optional<std::string> first_;
};

// The text of an error as the runner prints it (UTF-8): the class of the
// program's own errors, then the message as the error box would show it.
std::string RunnerErrorText(const std::exception& error);

// Shows the main window as the message loop's start does and handles its
// first messages, waiting (at most a few seconds) until it is active.
void ShowMainWindow(TApplication& application, TQMKForm& form);

// One run, as a click on StartButton: StartButtonClick runs inside the
// framework's frame of one handled message, then the queued messages are
// handled. Returns lines 0 and 1 of Kekka as shown (code page 932).
// Throws RunnerRunError when an error was reported meanwhile.
std::pair<std::string, std::string> ClickStartButton(TApplication& application, TQMKForm& form,
                                                     RunnerErrorTrap& trap);

// Closes the main window as its close box does (FormClose runs).
void CloseMainWindow(TApplication& application, TQMKForm& form);

}  // namespace qmk
