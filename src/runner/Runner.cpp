#include "runner/Runner.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "app/BenchmarkRun.h"
#include "app/QMKForm.h"
#include "app/ResultLines.h"
#include "app/Startup.h"
#include "graphics/Bitmap.h"
#include "platform/Platform.h"
#include "platform/RunnerHost.h"
#include "runner/RunnerEnvironment.h"
#include "runner/RunnerOptions.h"
#include "runner/RunnerProgress.h"
#include "runner/RunnerSession.h"
#include "runner/results/SessionStore.h"
#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"
#include "ui/Application.h"

namespace qmk {

namespace {

using SystemClock = std::chrono::system_clock;
using SteadyClock = std::chrono::steady_clock;

constexpr std::string_view RunnerProgramName = "qmk-run";
constexpr int PrivateServerDepth = 24;
constexpr int PrivateServerDpi = 96;
constexpr std::string_view UnknownMachine = "unknown";

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

// Standard output may be the terminal the progress line stands on.
void Print(ProgressLine& progress, const std::string& text) {
    progress.Clear();
    Print(text);
}

ResultLineValues ReadLine(const std::string& line, std::string_view label) {
    std::optional<ResultLineValues> values = ParseResultLine(line, label, DecimalSeparatorChar);
    if (!values) {
        throw RunnerRunError("the result box shows no result: '" + Cp932ToUtf8(line) + "'");
    }
    return *values;
}

// Counts that do not give the score the line shows would make every later
// comparison of the saved session wrong: the run fails instead.
std::vector<std::int32_t> CheckedSamples(std::span<const std::int32_t> counts, const ResultLineValues& line,
                                         std::string_view test) {
    std::vector<std::int32_t> samples(counts.begin(), counts.end());
    if (ScoreOfSamples(samples) != line.Score) {
        std::string list;
        for (const std::int32_t count : samples) list += (list.empty() ? "" : ", ") + std::to_string(count);
        throw RunnerRunError("the " + std::string(test) + " test's counts per second (" + list +
                             ") do not give its score " + std::to_string(line.Score));
    }
    return samples;
}

double Seconds(SteadyClock::duration elapsed) {
    // Milliseconds are all a clock read around a whole run can tell.
    return std::round(std::chrono::duration<double>(elapsed).count() * 1000.0) / 1000.0;
}

std::string MachineName(const RunnerOptions& options, platform::RunnerHost& host) {
    if (options.Machine) return *options.Machine;
    std::string name = host.HostName();
    return DescriptionProblem(name, MaxMachineBytes) ? std::string(UnknownMachine) : name;
}

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

int Execute(platform::RunnerHost& host, const RunnerOptions& options, const BuildFacts& build) {
    const SystemClock::time_point sessionStart = SystemClock::now();
    const SteadyClock::time_point sessionTimer = SteadyClock::now();
    // The document is made for --json and for the saved session.
    const bool document = options.Json || options.Save;
    ProgressLine progress(host);

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
    // Outlive the form, whose hook refers to them.
    int run = 0;
    std::optional<ProgressScores> last;
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
        if (document) {
            Step(host, options, "while reading the facts of display " + QuotedArgument(display));
            environment = CollectEnvironment(host, display, privateServer,
                                             application.Screen().PixelsPerInch());
        }

        // Without a terminal the run has no one to tell.
        if (progress.Enabled()) {
            form.OnPhaseStart = [&](BenchmarkPhase phase) {
                progress.Show(ProgressText(run + 1, options.Runs, phase, last, progress.Columns()));
            };
        }
        for (; run < options.Runs; ++run) {
            Step(host, options,
                 "during run " + std::to_string(run + 1) + " of " + std::to_string(options.Runs));
            const SystemClock::time_point clicked = SystemClock::now();
            const SteadyClock::time_point timer = SteadyClock::now();
            const auto [cpu, video] = ClickStartButton(application, form, trap);
            const double wall = Seconds(SteadyClock::now() - timer);
            RunRecord record;
            record.Cpu = ReadLine(cpu, texts::CpuLabel.Cp932);
            record.Video = ReadLine(video, texts::VideoLabel.Cp932);
            record.Load = host.OneMinuteLoad();
            record.WallSeconds = wall;
            record.StartedUtc = UtcText(clicked);
            record.CpuSamples = CheckedSamples(form.LastSamples().Cpu, record.Cpu, "CPU");
            record.VideoSamples = CheckedSamples(form.LastSamples().Video, record.Video, "video");
            runs.push_back(std::move(record));
            last = ProgressScores{runs.back().Cpu.Score, runs.back().Video.Score};
            if (!options.Json) Print(progress, RunText(runs.back()));
        }
        form.OnPhaseStart = nullptr;

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

    SessionFacts session;
    std::string documentText;
    if (document) {
        session.Id = results::NewSessionId(sessionStart);
        session.Machine = MachineName(options, host);
        session.Label = options.Label;
        session.Tags = options.Tags;
        session.StartedUtc = UtcText(sessionStart);
        session.WallSeconds = Seconds(SteadyClock::now() - sessionTimer);
        documentText = ReportJson(runs, session, environment, build)
                           .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                       "\n";
    }
    Print(progress, options.Json ? documentText : SummaryText(runs));
    if (const auto warning = BusyWarning(runs, host.DescribeMachine().Processors)) {
        warnings += *warning;
    }
    platform::WriteText(platform::StandardStream::Error, warnings);

    if (options.Save) {
        // After the results are out: a folder that cannot be written loses
        // nothing that was measured.
        std::filesystem::path folder;
        std::string id;
        try {
            folder = results::ResultsFolder();
            id = results::SaveSessionDocument(folder, session.Id, documentText);
        } catch (const std::exception& error) {
            platform::WriteText(platform::StandardStream::Error,
                                "qmk-run: the session was not saved: " + std::string(error.what()) + "\n");
            return RunnerExitFailure;
        }
        // Only when another session took the name in the same second with
        // the same random part: the file's name, which readers go by, then
        // differs from the id inside it.
        if (id != session.Id) {
            platform::WriteText(platform::StandardStream::Error,
                                "qmk-run: warning: the name " + session.Id + ".json was taken; session " +
                                    session.Id + " saved as " + id + ".json\n");
        }
        // A script reading standard error gets nothing it did not ask for.
        if (progress.Enabled()) {
            platform::WriteText(platform::StandardStream::Error,
                                "qmk-run: session " + id + " saved in " + PathText(folder) + "\n");
        }
    }
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
