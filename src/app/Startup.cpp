#include "app/Startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "app/AppIcon.h"
#include "app/QMKForm.h"
#include "graphics/Graphics.h"
#include "platform/posix/PosixKernel.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11User.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Extended.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"
#include "ui/Application.h"

namespace qmk {

namespace {

// Display names come from the environment; the message keeps the printable
// ASCII of them, which every code page shows alike.
std::string PrintableAscii(const char* text) {
    std::string result;
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        result += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return result;
}

// Raised where the display failed to open, so that the error text shows
// the address of this code.
[[noreturn]] __attribute__((noinline)) void RaiseNoDisplay(const char* displayName,
                                                          const void*& failedAt) {
    failedAt = __builtin_return_address(0);
    throw EPlatformError(NoDisplayMessage(displayName));
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

std::string NoDisplayMessage(const char* displayName) {
    if (displayName == nullptr || *displayName == '\0') {
        return texts::FormatText(texts::NoDisplayGiven.Cp932, {"DISPLAY"});
    }
    return texts::FormatText(texts::NoDisplayConnection.Cp932, {PrintableAscii(displayName)});
}

TProgram::TProgram(std::string_view programName) : programName_(programName) {}

TProgram::~TProgram() {
    application_.reset();
    if (installed_) platform::Restore(previous_);
    user_.reset();
    gdi_.reset();
    display_.reset();
    kernel_.reset();
}

void TProgram::Start(const char* displayName) {
    failedAt_ = CodeAddress(&StartRuntime);
    StartRuntime();

    failedAt_ = CodeAddress(&ReadLocaleSettings);
    kernel_ = std::make_unique<platform::PosixKernel>();
    previous_ = platform::Install({nullptr, nullptr, kernel_.get()});
    installed_ = true;
    ReadLocaleSettings();

    const char* shownName = displayName != nullptr ? displayName : std::getenv("DISPLAY");
    platform::x11::SetLostConnectionRule(programName_);
    try {
        display_ = std::make_unique<platform::x11::X11Display>(displayName);
    } catch (const std::runtime_error&) {
        RaiseNoDisplay(shownName, failedAt_);
    }

    failedAt_ = CodeAddress(&InitializeGraphics);
    gdi_ = std::make_unique<platform::x11::X11Gdi>(*display_);
    user_ = std::make_unique<platform::x11::X11User>(*display_);
    platform::Install({gdi_.get(), user_.get(), kernel_.get()});
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

void TProgram::Run() {
    failedAt_ = CodeAddress(&RunDesktopProgram);
    application_->Run();
    failedAt_ = nullptr;
    user_->Flush();
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
    const std::string shown = Cp932ToUtf8(text);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fflush(stderr);
    if (application_ != nullptr) {
        try {
            application_->ShowStartupError(text);
        } catch (...) {
            // The text is on standard error already.
        }
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
    try {
        program.Run();
    } catch (...) {
        return program.ReportStartupError(std::current_exception());
    }
    return 0;
}

}  // namespace qmk
