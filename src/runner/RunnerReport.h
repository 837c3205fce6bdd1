// What qmk-run prints: each run's two result lines as the window shows
// them, the scores read back from those lines, the summary of repeated
// runs, and (with --json) one JSON document with what the scores depend on.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/RunnerHost.h"
#include "runner/RunnerStatistics.h"

namespace qmk {

// One result line, read back from the text the result box shows:
// label, score digits, " (", percentage, "%)".
struct ResultLineValues {
    std::string Line;         // as shown, code page 932
    std::int32_t Score = 0;
    std::string PercentText;  // as shown: the locale's decimal separator, maybe "1E8"
    double Percent = 0;
};

// Reads a line of the given label; decimalSeparator is the one the
// percentage was written with. Nothing for a line that does not have this
// form (for example the bare label a failed run leaves).
std::optional<ResultLineValues> ParseResultLine(std::string_view line, std::string_view label,
                                                char decimalSeparator);

struct RunRecord {
    ResultLineValues Cpu;
    ResultLineValues Video;
    // The one-minute load average when the run ended, if the system says.
    std::optional<double> Load;
    // The iterations of each whole second of each phase, in order.
    std::vector<std::int32_t> CpuSamples;
    std::vector<std::int32_t> VideoSamples;
    std::string StartedUtc;  // UtcText of the click
    double WallSeconds = 0;  // from the click to its last line
};

// One invocation of qmk-run, as the saved document names it.
struct SessionFacts {
    std::string Id;
    std::string Machine;
    std::optional<std::string> Label;
    std::vector<std::string> Tags;
    std::string StartedUtc;
    double WallSeconds = 0;
};

inline constexpr std::string_view SessionSchema = "qmk-session";
inline constexpr int SessionSchemaVersion = 1;

// ISO 8601 in UTC with milliseconds: "2026-12-08T01:15:02.123Z".
std::string UtcText(std::chrono::system_clock::time_point time);

// The score a phase's per-second counts give by the meter's rule:
// (sum div n + max) div 2 in 32-bit two's complement, each division
// truncating toward zero; 0 for no counts.
std::int32_t ScoreOfSamples(const std::vector<std::int32_t>& samples);

// The build the scores came from (filled in by the executable from its
// compile definitions).
struct BuildFacts {
    std::string Version;
    std::string BuildType;
    std::string Compiler;
    std::string Flags;
};

// What the scores depend on besides the code.
struct EnvironmentFacts {
    std::string Display;
    bool PrivateServer = false;
    platform::DisplayFacts Server;
    int Dpi = 0;
    std::string Locale;       // setlocale(LC_ALL, nullptr)
    std::string TimePattern;  // the pattern of the time texts, UTF-8
    std::string DecimalSeparator;
    platform::MachineFacts Machine;
    std::optional<double> Load;  // one-minute load average before the runs
    // How the CPU test reached the bitmap's pixels (platform::PixelAccessName).
    std::string PixelAccess;
};

// The two lines of a run, UTF-8, each ended by a line feed.
std::string RunText(const RunRecord& run);
// The summary of two or more runs, UTF-8 (nothing for fewer).
std::string SummaryText(const std::vector<RunRecord>& runs);

// A busy machine gives scores several times lower: the warning for runs
// that ended with a one-minute load average above the processor count,
// nothing when none did (or the counts are unknown).
std::optional<std::string> BusyWarning(const std::vector<RunRecord>& runs, int processors);

// Pixels reached by a request to the display server per pixel make a CPU
// score of another kind: the warning for such runs, nothing otherwise.
std::optional<std::string> PixelAccessWarning(std::string_view pixelAccess);

// The session's document, as --json prints it and as it is saved.
nlohmann::ordered_json ReportJson(const std::vector<RunRecord>& runs, const SessionFacts& session,
                                  const EnvironmentFacts& environment, const BuildFacts& build);

}  // namespace qmk
