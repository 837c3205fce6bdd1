#include "app/Startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "app/AppIcon.h"
#include "app/QMKForm.h"
#include "graphics/Graphics.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Extended.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"
#include "ui/Application.h"

namespace qmk {

namespace {

// Raised where the display failed to open, so that the error text shows
// the address of this code.
[[noreturn]] __attribute__((noinline)) void RaiseNoDisplay(const char* message,
                                                          const void*& failedAt) {
    failedAt = __builtin_return_address(0);
    throw EPlatformError(message);
}

template <class Function>
const void* CodeAddress(Function* function) {
    return reinterpret_cast<const void*>(function);
}

// The steps of the start, each one function so a failure names its code.
void StartRuntime() {
    std::setlocale(LC_ALL, "");
    SetExtendedPrecision();
    GeneratorState = 0;
}

}  // namespace

std::string StartupErrorText(std::string_view className, std::string_view programName,
                             const void* address, std::string_view message) {
    const std::string format(texts::StartupError.Cp932);
    const std::string classText(className);
    const std::string programText(programName);
    const std::string messageText(message);
    const char* fullStop = !message.empty() && message.back() != '.' ? "." : "";
    const int length = std::snprintf(nullptr, 0, format.c_str(), classText.c_str(),
                                     programText.c_str(), address, messageText.c_str(), fullStop);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format.c_str(), classText.c_str(),
                  programText.c_str(), address, messageText.c_str(), fullStop);
    return text;
}

TProgram::TProgram(std::string_view programName) : programName_(programName) {}

TProgram::~TProgram() {
    application_.reset();
    if (installed_) platform::Restore(previous_);
    desktop_.reset();
}

void TProgram::Start(const char* displayName) {
    failedAt_ = CodeAddress(&StartRuntime);
    StartRuntime();

    failedAt_ = CodeAddress(&ReadLocaleSettings);
    desktop_ = platform::MakeDesktop(programName_);
    previous_ = platform::Install({nullptr, nullptr, &desktop_->KernelPart()});
    installed_ = true;
    ReadLocaleSettings();

    try {
        desktop_->OpenDisplay(displayName);
    } catch (const platform::DisplayUnavailable& error) {
        RaiseNoDisplay(error.what(), failedAt_);
    }

    failedAt_ = CodeAddress(&InitializeGraphics);
    platform::Install(desktop_->Parts());
    InitializeGraphics();

    failedAt_ = CodeAddress(&MainIcon);
    application_ = std::make_unique<TApplication>();
    application_->SetIcon(MainIcon());
    // Before the window exists, so an error box shown while it is made
    // already carries the program's title.
    application_->SetTitle(texts::ApplicationTitle.Cp932);

    failedAt_ = CodeAddress(&QMKFormDescription);
    application_->CreateForm<TQMKForm>();
    failedAt_ = nullptr;
}

TQMKForm* TProgram::Form() const { return application_ != nullptr ? QMKForm : nullptr; }

void TProgram::ExitWhenTheSessionEnds() {
    platform::UserApi().SetSessionEndHandler([this] {
        // Inside the backend's dispatch, inside Run's loop: nothing returns
        // there, so nothing touches what is released here.
        application_.reset();
        std::fflush(nullptr);
        std::exit(0);
    });
}

void TProgram::Run() {
    failedAt_ = CodeAddress(&RunDesktopProgram);
    application_->Run();
    failedAt_ = nullptr;
    platform::UserApi().Flush();
}

int TProgram::ReportStartupError(std::exception_ptr error) {
    std::string className = "Exception";
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        className = e.ClassName();
        message = e.Message();
    } catch (const std::bad_alloc&) {
        className = "EOutOfMemory";
        message = texts::OutOfMemory.Cp932;
    } catch (const std::exception& e) {
        message = Utf8ToCp932(e.what());
    } catch (...) {
    }
    const std::string text = StartupErrorText(className, ProgramFileName(), failedAt_, message);
    platform::WriteText(platform::StandardStream::Error, Cp932ToUtf8(text));
    try {
        if (application_ != nullptr) {
            application_->ShowStartupError(text);
        } else if (desktop_ != nullptr && desktop_->UserPart() != nullptr) {
            // No application window (its creation is what failed): the box
            // has no owner anyway.
            desktop_->UserPart()->ShowMessageBox(0, text, texts::StartupErrorCaption.Cp932, true);
        }
    } catch (...) {
        // The text is on standard error already.
    }
    return 1;
}

int RunDesktopProgram() {
    TProgram program;
    try {
        program.Start();
    } catch (...) {
        return program.ReportStartupError(std::current_exception());
    }
    program.ExitWhenTheSessionEnds();
    try {
        program.Run();
    } catch (...) {
        return program.ReportStartupError(std::current_exception());
    }
    return 0;
}

}  // namespace qmk
