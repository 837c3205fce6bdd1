#include "platform/x11/X11RunnerHost.h"

#include <atomic>
#include <charconv>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <climits>

#include <sys/ioctl.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/posix/PosixMachine.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Resources.h"
#include "platform/x11/XvfbServer.h"

namespace qmk::platform {

std::unique_ptr<RunnerHost> MakeRunnerHost(std::string_view programName) {
    return std::make_unique<x11::X11RunnerHost>(programName);
}

}  // namespace qmk::platform

namespace qmk::platform::x11 {

namespace {

extern "C" void OnTerminatingSignal(int signal) { EndNow(128 + signal); }

// The line of the step being watched is made when the step begins; two
// buffers, so the one the handler may be reading is never the one being
// written.
class Watchdog {
public:
    static void Arm(int seconds, const std::string& line) {
        if (seconds <= 0) return;
        if (!installed_) {
            struct sigaction action {};
            action.sa_handler = &OnTimeout;
            sigfillset(&action.sa_mask);
            ::sigaction(SIGALRM, &action, nullptr);
            installed_ = true;
        }
        char* buffer = buffers_[next_];
        next_ ^= 1;
        std::snprintf(buffer, BufferSize, "%s", line.c_str());
        text_.store(buffer);
        itimerval timer{};
        timer.it_value.tv_sec = seconds;
        ::setitimer(ITIMER_REAL, &timer, nullptr);
        armed_ = true;
    }

    static void Disarm() {
        if (!armed_) return;
        itimerval off{};
        ::setitimer(ITIMER_REAL, &off, nullptr);
        armed_ = false;
    }

private:
    static constexpr std::size_t BufferSize = 512;

    static void OnTimeout(int) {
        const char* text = text_.load();
        if (text != nullptr) WriteErrorNow(text);
        EndNow(1);
    }

    static inline bool installed_ = false;
    static inline bool armed_ = false;
    static inline char buffers_[2][BufferSize] = {};
    static inline int next_ = 0;
    static inline std::atomic<const char*> text_{nullptr};
};

}  // namespace

X11RunnerHost::X11RunnerHost(std::string_view programName) { SetLostConnectionRule(programName); }

X11RunnerHost::~X11RunnerHost() = default;

std::string X11RunnerHost::GivenDisplay() {
    const char* given = std::getenv("DISPLAY");
    return given != nullptr ? given : "";
}

std::string X11RunnerHost::StartPrivateDisplay(int depth, int dpi) {
    XvfbServer::Options options;
    options.Depth = depth;
    options.Dpi = dpi;
    server_ = std::make_unique<XvfbServer>(options);
    const X11Display display(server_->DisplayName().c_str());
    SetXftDpi(display, dpi);
    return server_->DisplayName();
}

void X11RunnerHost::StopPrivateDisplay() { server_.reset(); }

DisplayFacts X11RunnerHost::DescribeDisplay(const std::string& display) {
    DisplayFacts facts;
    const X11Display server(display.c_str());
    // VendorText is the vendor, a space and the release number.
    const std::string vendor = server.VendorText();
    const std::size_t space = vendor.rfind(' ');
    facts.ServerVendor = space == std::string::npos ? vendor : vendor.substr(0, space);
    if (space != std::string::npos) {
        const char* first = vendor.data() + space + 1;
        std::from_chars(first, vendor.data() + vendor.size(), facts.VendorRelease);
    }
    facts.Depth = server.Depth();
    facts.VisualClass = VisualClassName(server);
    facts.ScreenWidth = server.ScreenWidth();
    facts.ScreenHeight = server.ScreenHeight();
    return facts;
}

MachineFacts X11RunnerHost::DescribeMachine() { return {ThisProcessorModel(), ProcessorCount()}; }

std::optional<double> X11RunnerHost::OneMinuteLoad() { return platform::OneMinuteLoad(); }

std::string X11RunnerHost::LocaleName() {
    const char* name = std::setlocale(LC_ALL, nullptr);
    return name != nullptr ? name : "";
}

void X11RunnerHost::EndOnRequest() {
    struct sigaction action {};
    action.sa_handler = &OnTerminatingSignal;
    sigfillset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    ::signal(SIGPIPE, SIG_IGN);
}

void X11RunnerHost::ArmWatchdog(int seconds, const std::string& line) { Watchdog::Arm(seconds, line); }

void X11RunnerHost::DisarmWatchdog() { Watchdog::Disarm(); }

std::string X11RunnerHost::HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

std::optional<int> X11RunnerHost::ErrorTerminalColumns() {
    if (::isatty(STDERR_FILENO) == 0) return std::nullopt;
    // A terminal that says it cannot move the cursor gets no line to rewrite.
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::string_view(term) == "dumb") return std::nullopt;
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

void X11RunnerHost::SetTransientLineShown(bool shown) { x11::SetTransientLineShown(shown); }

}  // namespace qmk::platform::x11
