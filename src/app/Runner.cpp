#include "app/Runner.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <sys/time.h>
#include <unistd.h>

#include "app/QMKForm.h"
#include "app/ResultLines.h"
#include "app/RunnerEnvironment.h"
#include "app/RunnerOptions.h"
#include "app/RunnerSession.h"
#include "app/Startup.h"
#include "platform/Platform.h"
#include "platform/posix/XvfbServer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Resources.h"
#include "platform/x11/X11User.h"
#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"
#include "ui/Application.h"

namespace qmk {

namespace {

constexpr int PrivateServerDepth = 24;
constexpr int PrivateServerDpi = 96;

// Every way out that skips destructors (a signal, a lost connection, the
// timeout) goes through here: only write, kill, waitpid and _exit.
void WriteError(const char* text) {
    std::size_t length = std::strlen(text);
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

[[noreturn]] void LeaveNow(int status) {
    platform::XvfbServer::StopAllNow();
    ::_exit(status);
}

extern "C" void OnTerminatingSignal(int signal) { LeaveNow(128 + signal); }

// The X server went away in the middle of something: there is no
// connection left to close, so the runner stops what it started and leaves.
// Installed before the first X call, so the rule holds for the start too.
[[noreturn]] void OnConnectionLost() {
    std::fflush(stdout);
    WriteError("qmk-run: lost the connection to the X server\n");
    LeaveNow(RunnerExitFailure);
}

// A server that stops answering (stopped, or hung) leaves every X call
// waiting for ever. Each step of the runner re-arms a timer; when one step
// takes longer than the limit, the message made when the step began is
// written and the runner leaves.
class StepTimer {
public:
    static void Start(int seconds) {
        seconds_ = seconds;
        if (seconds_ <= 0) return;
        struct sigaction action {};
        action.sa_handler = &OnTimeout;
        sigfillset(&action.sa_mask);
        ::sigaction(SIGALRM, &action, nullptr);
    }

    // what: "during run 2 of 3", "while opening the main window on :1".
    static void Enter(const std::string& what) {
        if (seconds_ <= 0) return;
        // Two buffers: the one the handler may be reading is never the one
        // being written.
        char* buffer = buffers_[next_];
        next_ ^= 1;
        std::snprintf(buffer, BufferSize, "qmk-run: timed out after %d s %s (see --timeout)\n",
                      seconds_, what.c_str());
        text_.store(buffer);
        itimerval timer{};
        timer.it_value.tv_sec = seconds_;
        ::setitimer(ITIMER_REAL, &timer, nullptr);
    }

    static void Stop() {
        if (seconds_ <= 0) return;
        itimerval off{};
        ::setitimer(ITIMER_REAL, &off, nullptr);
    }

private:
    static constexpr std::size_t BufferSize = 512;

    static void OnTimeout(int) {
        const char* text = text_.load();
        if (text != nullptr) WriteError(text);
        LeaveNow(RunnerExitFailure);
    }

    static inline int seconds_ = 0;
    static inline char buffers_[2][BufferSize] = {};
    static inline int next_ = 0;
    static inline std::atomic<const char*> text_{nullptr};
};

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = &OnTerminatingSignal;
    sigfillset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        // A signal ignored on entry stays ignored: `nohup qmk-run` must
        // not end at the hang-up that nohup was asked to shield it from.
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    // Xlib writes to the server's socket without shielding itself from
    // SIGPIPE, so a connection that broke while a request was going out
    // ended the runner silently with 141. Ignored, the write fails and the
    // broken connection is reported as such; a reader of the output that
    // left (qmk-run | head) makes the next result line fail to write.
    ::signal(SIGPIPE, SIG_IGN);
}

// An Xvfb of the runner's own, stopped on every way out: by its destructor
// on a normal end or an error, by StopAllNow on a signal, a lost
// connection or a timeout, and by the kernel (PR_SET_PDEATHSIG) if the
// runner is killed.
class TPrivateServer {
public:
    TPrivateServer(int depth, int dpi) : server_(Options(depth, dpi)) {
        const platform::x11::X11Display display(server_.DisplayName().c_str());
        platform::x11::SetXftDpi(display, dpi);
    }

    const std::string& DisplayName() const { return server_.DisplayName(); }

private:
    static platform::XvfbServer::Options Options(int depth, int dpi) {
        platform::XvfbServer::Options options;
        options.Depth = depth;
        options.Dpi = dpi;
        return options;
    }

    platform::XvfbServer server_;
};

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) {
        throw RunnerRunError(std::string("cannot write the results: ") + std::strerror(errno));
    }
}

ResultLineValues ReadLine(const std::string& line, std::string_view label) {
    std::optional<ResultLineValues> values = ParseResultLine(line, label, DecimalSeparatorChar);
    if (!values) {
        throw RunnerRunError("the result box shows no result: '" + Cp932ToUtf8(line) + "'");
    }
    return *values;
}

int Execute(const RunnerOptions& options, const BuildFacts& build) {
    const char* given = std::getenv("DISPLAY");
    std::optional<TPrivateServer> server;
    std::string display;
    if (given != nullptr && *given != '\0') {
        display = given;
    } else {
        StepTimer::Enter("while starting the private X server");
        try {
            server.emplace(options.DisplayDepth.value_or(PrivateServerDepth),
                           options.Dpi.value_or(PrivateServerDpi));
        } catch (const std::exception& error) {
            throw RunnerRunError(std::string("cannot start a private X server: ") + error.what());
        }
        display = server->DisplayName();
    }

    RunnerErrorTrap trap;
    std::vector<RunRecord> runs;
    EnvironmentFacts environment;
    {
        StepTimer::Enter("while opening the main window on display " + QuotedArgument(display));
        TProgram program(&OnConnectionLost);
        try {
            program.Start(display.c_str());
        } catch (const std::exception& error) {
            throw RunnerRunError(RunnerErrorText(error));
        }
        trap.ThrowIfCaught();

        TApplication& application = program.Application();
        TQMKForm& form = *program.Form();
        ShowMainWindow(application, form);
        trap.ThrowIfCaught();
        if (options.Json) {
            StepTimer::Enter("while reading the facts of display " + QuotedArgument(display));
            environment = CollectEnvironment(display, server.has_value(),
                                             application.Screen().PixelsPerInch());
        }

        for (int run = 0; run < options.Runs; ++run) {
            StepTimer::Enter("during run " + std::to_string(run + 1) + " of " +
                             std::to_string(options.Runs));
            const auto [cpu, video] = ClickStartButton(application, form, trap);
            runs.push_back({ReadLine(cpu, CpuLabel), ReadLine(video, VideoLabel), OneMinuteLoad()});
            if (!options.Json) Print(RunText(runs.back()));
        }

        StepTimer::Enter("while closing the main window");
        CloseMainWindow(application, form);
        program.Run();
        trap.ThrowIfCaught();
    }
    StepTimer::Enter("while stopping the private X server");
    server.reset();
    StepTimer::Stop();

    if (options.Json) {
        Print(ReportJson(runs, environment, build)
                  .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
              "\n");
    } else {
        Print(SummaryText(runs));
    }
    if (const auto warning = BusyWarning(runs, ProcessorCount())) WriteError(warning->c_str());
    return RunnerExitSuccess;
}

}  // namespace

int RunRunner(const std::vector<std::string_view>& arguments, const BuildFacts& build) {
    RunnerOptions options;
    try {
        options = ParseRunnerOptions(arguments);
        if (options.Help) {
            Print(RunnerUsageText());
            return RunnerExitSuccess;
        }
        if (options.Version) {
            Print(RunnerVersionText(build.Version));
            return RunnerExitSuccess;
        }
        CheckOptionsForDisplay(options, std::getenv("DISPLAY"));
    } catch (const RunnerUsageError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return RunnerExitUsage;
    } catch (const RunnerRunError& error) {
        std::fprintf(stderr, "qmk-run: %s\n", error.what());
        return RunnerExitFailure;
    }

    // All before the first X call and the first child process.
    InstallSignalHandlers();
    StepTimer::Start(options.TimeoutSeconds);
    platform::x11::SetProcessConnectionLostHandler(&OnConnectionLost);
    try {
        return Execute(options, build);
    } catch (const std::exception& error) {
        StepTimer::Stop();
        std::fflush(stdout);
        std::fprintf(stderr, "qmk-run: %s\n", error.what());
        return RunnerExitFailure;
    }
}

}  // namespace qmk
