#include "app/Startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include <unistd.h>

#include "app/AppIcon.h"
#include "app/QMKForm.h"
#include "graphics/Graphics.h"
#include "platform/posix/PosixKernel.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11User.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Extended.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "ui/Application.h"
#include "ui/MemoText.h"

namespace qmk {

namespace {

constexpr std::size_t ProgramNameLimit = 63;

// QMK1.0
constexpr char ApplicationTitleText[] = "QMK1.0";

// The X server went away. Nothing of the connection can be used any more
// (not even to close it), so the program leaves at once, without
// FormClose, with its output written; a line on standard error and the
// status 1 tell a script that the program did not end by its window.
[[noreturn]] void ConnectionLost() {
    std::fflush(nullptr);
    static constexpr char text[] = "qmk: lost the connection to the X server\n";
    const ssize_t written = ::write(STDERR_FILENO, text, sizeof text - 1);
    (void)written;
    ::_exit(1);
}

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

std::string ProgramFileName() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string full = length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "qmk";
    const std::size_t slash = full.rfind('/');
    if (slash != std::string::npos) full.erase(0, slash + 1);
    std::string name = Utf8ToCp932(full);
    if (name.size() > ProgramNameLimit) {
        name.resize(static_cast<std::size_t>(
            AlignToChar(name, static_cast<std::int32_t>(ProgramNameLimit))));
    }
    return name;
}

std::string StartupErrorText(std::string_view className, std::string_view programName,
                             const void* address, std::string_view message) {
    char addressText[32];
    std::snprintf(addressText, sizeof(addressText), "%p", address);
    std::string text(className);
    text += "\x82\xaa\xd3\xbc\xde\xad\xb0\xd9\x20";  // がﾓｼﾞｭｰﾙ
    text += programName;
    text += "\x20\x82\xcc\n";  // " の"
    text += addressText;
    text += "\x20\x82\xc5\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n";  // で発生しました。
    text += message;
    if (!message.empty() && message.back() != '.') text += '.';
    text += '\n';
    return text;
}

std::string NoDisplayMessage(const char* displayName) {
    if (displayName == nullptr || *displayName == '\0') {
        // ﾃﾞｨｽﾌﾟﾚｲが指定されていません (DISPLAY)
        return "\xc3\xde\xa8\xbd\xcc\xdf\xda\xb2\x82\xaa\x8e\x77\x92\xe8\x82\xb3\x82\xea\x82\xc4"
               "\x82\xa2\x82\xdc\x82\xb9\x82\xf1 (DISPLAY)";
    }
    // ﾃﾞｨｽﾌﾟﾚｲ "<name>" に接続できません
    return "\xc3\xde\xa8\xbd\xcc\xdf\xda\xb2 \"" + PrintableAscii(displayName) +
           "\" \x82\xc9\x90\xda\x91\xb1\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
}

TProgram::TProgram(platform::User::ConnectionLostHandler onConnectionLost)
    : onConnectionLost_(onConnectionLost != nullptr ? onConnectionLost : &ConnectionLost) {}

TProgram::~TProgram() {
    application_.reset();
    if (installed_) platform::Install(previous_);
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
    platform::x11::SetProcessConnectionLostHandler(onConnectionLost_);
    try {
        display_ = std::make_unique<platform::x11::X11Display>(displayName);
    } catch (const std::runtime_error&) {
        RaiseNoDisplay(shownName, failedAt_);
    }

    failedAt_ = CodeAddress(&InitializeGraphics);
    gdi_ = std::make_unique<platform::x11::X11Gdi>(*display_);
    user_ = std::make_unique<platform::x11::X11User>(*display_);
    platform::Install({gdi_.get(), user_.get(), kernel_.get()});
    user_->SetConnectionLostHandler(onConnectionLost_);
    InitializeGraphics();

    failedAt_ = CodeAddress(&MainIcon);
    application_ = std::make_unique<TApplication>();
    application_->SetIcon(MainIcon());
    // Before the window exists, so an error box shown while it is made
    // already carries the program's title.
    application_->SetTitle(ApplicationTitleText);

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
        message = messages::OutOfMemory;
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
