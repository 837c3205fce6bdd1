#include "runner/Runner.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/QMKForm.h"
#include "app/ResultLines.h"
#include "app/Startup.h"
#include "graphics/Bitmap.h"
#include "platform/Platform.h"
#include "platform/RunnerHost.h"
#include "runner/RunnerEnvironment.h"
#include "runner/RunnerOptions.h"
#include "runner/RunnerSession.h"
#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"
#include "ui/Application.h"

namespace qmk {

namespace {

constexpr std::string_view RunnerProgramName = "qmk-run";
constexpr int PrivateServerDepth = 24;
constexpr int PrivateServerDpi = 96;

// A server that stops answering (stopped, or hung) leaves every call to it
// waiting for ever; each step of the runner restarts the host's watchdog.
// what: "during run 2 of 3", "while opening the main window on :1".
void Step(platform::RunnerHost& host, const RunnerOptions& options, const std::string& what) {
    host.ArmWatchdog(options.TimeoutSeconds, "qmk-run: timed out after " +
                                                 std::to_string(options.TimeoutSeconds) + " s " +
                                                 what + " (see --timeout)\n");
}

void Print(const std::string& text) {
    if (!platform::WriteText(platform::StandardStream::Output, text)) {
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

int Execute(platform::RunnerHost& host, const RunnerOptions& options, const BuildFacts& build) {
    const std::string kind(host.PrivateDisplayKind());
    std::string display = host.GivenDisplay();
    const bool privateServer = display.empty();
    if (privateServer) {
        Step(host, options, "while starting the " + kind);
        try {
            display = host.StartPrivateDisplay(options.DisplayDepth.value_or(PrivateServerDepth),
                                               options.Dpi.value_or(PrivateServerDpi));
        } catch (const std::exception& error) {
            throw RunnerRunError("cannot start a " + kind + ": " + error.what());
        }
    }

    RunnerErrorTrap trap;
    std::vector<RunRecord> runs;
    std::string warnings;  // for standard error, after the results
    EnvironmentFacts environment;
    {
        Step(host, options, "while opening the main window on display " + QuotedArgument(display));
        TProgram program(RunnerProgramName);
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
            Step(host, options, "while reading the facts of display " + QuotedArgument(display));
            environment = CollectEnvironment(host, display, privateServer,
                                             application.Screen().PixelsPerInch());
        }

        for (int run = 0; run < options.Runs; ++run) {
            Step(host, options,
                 "during run " + std::to_string(run + 1) + " of " + std::to_string(options.Runs));
            const auto [cpu, video] = ClickStartButton(application, form, trap);
            runs.push_back({ReadLine(cpu, texts::CpuLabel.Cp932),
                            ReadLine(video, texts::VideoLabel.Cp932), host.OneMinuteLoad()});
            if (!options.Json) Print(RunText(runs.back()));
        }

        const std::string pixelAccess = platform::PixelAccessName(
            platform::GdiApi().PixelAccessOf(form.WorkBitmap()->Image().Handle));
        environment.PixelAccess = pixelAccess;
        if (const auto warning = PixelAccessWarning(pixelAccess)) warnings += *warning;

        Step(host, options, "while closing the main window");
        CloseMainWindow(application, form);
        program.Run();
        trap.ThrowIfCaught();
    }
    if (privateServer) {
        Step(host, options, "while stopping the " + kind);
        host.StopPrivateDisplay();
    }
    host.DisarmWatchdog();

    if (options.Json) {
        Print(ReportJson(runs, environment, build)
                  .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
              "\n");
    } else {
        Print(SummaryText(runs));
    }
    if (const auto warning = BusyWarning(runs, host.DescribeMachine().Processors)) {
        warnings += *warning;
    }
    platform::WriteText(platform::StandardStream::Error, warnings);
    return RunnerExitSuccess;
}

}  // namespace

int RunRunner(const std::vector<std::string_view>& arguments, const BuildFacts& build) {
    // Before the first call to the display and the first child process.
    const std::unique_ptr<platform::RunnerHost> host = platform::MakeRunnerHost(RunnerProgramName);
    RunnerOptions options;
    try {
        options = ParseRunnerOptions(arguments);
        if (options.Help) {
            Print(RunnerUsageText(host->CanStartPrivateDisplay()));
            return RunnerExitSuccess;
        }
        if (options.Version) {
            Print(RunnerVersionText(build.Version));
            return RunnerExitSuccess;
        }
        const std::string given = host->GivenDisplay();
        CheckOptionsForDisplay(options, given.c_str(), host->CanStartPrivateDisplay());
    } catch (const RunnerUsageError& error) {
        platform::WriteText(platform::StandardStream::Error, std::string(error.what()) + "\n");
        return RunnerExitUsage;
    } catch (const RunnerRunError& error) {
        platform::WriteText(platform::StandardStream::Error, "qmk-run: " + std::string(error.what()) + "\n");
        return RunnerExitFailure;
    }

    host->EndOnRequest();
    try {
        return Execute(*host, options, build);
    } catch (const std::exception& error) {
        host->StopPrivateDisplay();
        host->DisarmWatchdog();
        std::fflush(stdout);
        platform::WriteText(platform::StandardStream::Error, "qmk-run: " + std::string(error.what()) + "\n");
        return RunnerExitFailure;
    }
}

}  // namespace qmk
