#include "runner/RunnerReport.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "app/ResultLines.h"
#include "app/SecondMeter.h"
#include "runtime/Cp932.h"
#include "runtime/ProgramTexts.h"

namespace qmk {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t at) {
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at;
}

// The percentage as FixedText lays it out: digits, optionally the
// separator and more digits, optionally "E" and a signed exponent.
bool ParsePercent(std::string_view text, char separator, double& value) {
    std::size_t at = SkipDigits(text, 0);
    if (at == 0) return false;
    std::string plain(text.substr(0, at));
    if (at < text.size() && text[at] == separator) {
        const std::size_t end = SkipDigits(text, at + 1);
        if (end == at + 1) return false;
        plain += '.';
        plain += text.substr(at + 1, end - at - 1);
        at = end;
    }
    if (at < text.size() && text[at] == 'E') {
        std::size_t digits = at + 1;
        if (digits < text.size() && text[digits] == '-') ++digits;
        const std::size_t end = SkipDigits(text, digits);
        if (end == digits) return false;
        plain += text.substr(at, end - at);
        at = end;
    }
    if (at != text.size()) return false;
    // from_chars reads the same whatever the C locale's decimal point is.
    const auto [stop, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    return error == std::errc() && stop == plain.data() + plain.size();
}

// Numbers of the summary always with a full stop, whatever the locale.
std::string Decimal(double value) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 2);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

nlohmann::ordered_json LoadJson(const std::optional<double>& load) {
    return load ? nlohmann::ordered_json(*load) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json LineJson(const ResultLineValues& values, const std::vector<std::int32_t>& samples) {
    return {{"score", values.Score},
            {"percent", values.Percent},
            {"percent_text", Cp932ToUtf8(values.PercentText)},
            {"line", Cp932ToUtf8(values.Line)},
            {"samples", samples.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(samples)}};
}

nlohmann::ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

std::int32_t Wrapped(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFF));
}

nlohmann::ordered_json SummaryJson(const ScoreSummary& summary) {
    nlohmann::ordered_json json = {{"mean", summary.Mean},
                           {"median", summary.Median},
                           {"min", summary.Minimum},
                           {"max", summary.Maximum}};
    json["stddev"] = summary.StandardDeviation ? nlohmann::ordered_json(*summary.StandardDeviation)
                                               : nlohmann::ordered_json(nullptr);
    return json;
}

std::vector<std::int32_t> Scores(const std::vector<RunRecord>& runs, bool video) {
    std::vector<std::int32_t> scores;
    for (const RunRecord& run : runs) scores.push_back(video ? run.Video.Score : run.Cpu.Score);
    return scores;
}

std::string SummaryLine(std::string_view label, const ScoreSummary& summary) {
    return Cp932ToUtf8(label) + "mean " + Decimal(summary.Mean) + "  median " +
           Decimal(summary.Median) + "  min " + std::to_string(summary.Minimum) + "  max " +
           std::to_string(summary.Maximum) + "  stddev " +
           Decimal(summary.StandardDeviation.value_or(0)) + "\n";
}

}  // namespace

std::string UtcText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto milliseconds = floor<std::chrono::milliseconds>(time);
    const auto day = floor<days>(milliseconds);
    const year_month_day date(day);
    const hh_mm_ss clock(milliseconds - day);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return buffer;
}

std::int32_t ScoreOfSamples(const std::vector<std::int32_t>& samples) {
    if (samples.empty()) return 0;
    std::int32_t sum = 0, best = 0;
    for (const std::int32_t count : samples) {
        sum = Wrapped(static_cast<std::int64_t>(sum) + count);
        best = std::max(best, count);
    }
    const std::int32_t mean = sum / static_cast<std::int32_t>(samples.size());
    return Wrapped(static_cast<std::int64_t>(mean) + best) / 2;
}

std::optional<ResultLineValues> ParseResultLine(std::string_view line, std::string_view label,
                                                char decimalSeparator) {
    if (line.substr(0, label.size()) != label) return std::nullopt;
    const std::string_view rest = line.substr(label.size());
    const std::size_t digitsEnd = SkipDigits(rest, 0);
    constexpr std::string_view Open = " (";
    constexpr std::string_view Close = "%)";
    if (digitsEnd == 0 || rest.substr(digitsEnd, Open.size()) != Open) return std::nullopt;
    if (rest.size() < digitsEnd + Open.size() + Close.size() ||
        rest.substr(rest.size() - Close.size()) != Close) {
        return std::nullopt;
    }
    ResultLineValues values;
    values.Line = std::string(line);
    const auto [stop, error] = std::from_chars(rest.data(), rest.data() + digitsEnd, values.Score);
    if (error != std::errc() || stop != rest.data() + digitsEnd) return std::nullopt;
    const std::size_t percentStart = digitsEnd + Open.size();
    values.PercentText =
        std::string(rest.substr(percentStart, rest.size() - Close.size() - percentStart));
    if (!ParsePercent(values.PercentText, decimalSeparator, values.Percent)) return std::nullopt;
    return values;
}

std::optional<std::string> BusyWarning(const std::vector<RunRecord>& runs, int processors) {
    if (processors <= 0) return std::nullopt;
    std::vector<std::size_t> busy;
    double highest = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (!runs[i].Load || *runs[i].Load <= processors) continue;
        busy.push_back(i + 1);
        highest = std::max(highest, *runs[i].Load);
    }
    if (busy.empty()) return std::nullopt;
    std::string which;
    if (runs.size() == 1) {
        which = "during the run";
    } else if (busy.size() == 1) {
        which = "during run " + std::to_string(busy.front()) + " of " + std::to_string(runs.size());
    } else {
        which = "during " + std::to_string(busy.size()) + " of " + std::to_string(runs.size()) + " runs";
    }
    return "qmk-run: warning: the machine was busy " + which + " (one-minute load average " +
           Decimal(highest) + " on " + std::to_string(processors) + (processors == 1 ? " processor" : " processors") +
           "); the scores are lower than this machine reaches when idle\n";
}

std::optional<std::string> PixelAccessWarning(std::string_view pixelAccess) {
    if (pixelAccess != "protocol") return std::nullopt;
    return "qmk-run: warning: the CPU test read and wrote the bitmap's pixels by requests to the "
           "X server (this display shares no memory with the program: a remote or TCP connection, "
           "or a server without shared pixmaps); its CPU scores are not comparable with "
           "shared-memory runs\n";
}

std::string RunText(const RunRecord& run) {
    return Cp932ToUtf8(run.Cpu.Line) + "\n" + Cp932ToUtf8(run.Video.Line) + "\n";
}

std::string SummaryText(const std::vector<RunRecord>& runs) {
    if (runs.size() < 2) return {};
    std::string text = "summary of " + std::to_string(runs.size()) +
                       " runs (stddev: sample standard deviation, n - 1)\n";
    text += SummaryLine(texts::CpuLabel.Cp932, Summarize(Scores(runs, false)));
    text += SummaryLine(texts::VideoLabel.Cp932, Summarize(Scores(runs, true)));
    return text;
}

nlohmann::ordered_json ReportJson(const std::vector<RunRecord>& runs, const SessionFacts& session,
                                  const EnvironmentFacts& environment, const BuildFacts& build) {
    nlohmann::ordered_json json;
    json["schema"] = SessionSchema;
    json["schema_version"] = SessionSchemaVersion;
    json["program"] = {{"name", "qmk-run"}, {"version", build.Version}};
    json["session"] = {{"id", session.Id},
                       {"machine", session.Machine},
                       {"label", session.Label ? nlohmann::ordered_json(*session.Label) : nlohmann::ordered_json(nullptr)},
                       {"tags", session.Tags},
                       {"started_utc", TextOrNull(session.StartedUtc)},
                       {"wall_seconds", session.WallSeconds}};
    json["phases"] = {{"cpu_seconds", CpuPhaseSeconds}, {"video_seconds", VideoPhaseSeconds}};

    nlohmann::ordered_json runList = nlohmann::ordered_json::array();
    for (const RunRecord& run : runs) {
        runList.push_back({{"cpu", LineJson(run.Cpu, run.CpuSamples)},
                           {"video", LineJson(run.Video, run.VideoSamples)},
                           {"load_average_1min", LoadJson(run.Load)},
                           {"started_utc", TextOrNull(run.StartedUtc)},
                           {"wall_seconds", run.WallSeconds}});
    }
    json["runs"] = runList;

    nlohmann::ordered_json summary = {{"count", runs.size()},
                              {"stddev_kind", "sample (n - 1)"}};
    if (!runs.empty()) {
        summary["cpu"] = SummaryJson(Summarize(Scores(runs, false)));
        summary["video"] = SummaryJson(Summarize(Scores(runs, true)));
    }
    json["summary"] = summary;

    json["environment"] = {
        {"x_server",
         {{"display", environment.Display},
          {"private", environment.PrivateServer},
          {"vendor", environment.Server.ServerVendor},
          {"vendor_release", environment.Server.VendorRelease},
          {"depth", environment.Server.Depth},
          {"visual_class", environment.Server.VisualClass},
          {"width", environment.Server.ScreenWidth},
          {"height", environment.Server.ScreenHeight}}},
        {"dpi", environment.Dpi},
        {"locale",
         {{"name", environment.Locale},
          {"time_pattern", environment.TimePattern},
          {"decimal_separator", environment.DecimalSeparator}}},
        {"processor", environment.Machine.Processor.empty() ? nlohmann::ordered_json(nullptr)
                                                    : nlohmann::ordered_json(environment.Machine.Processor)},
        {"processors", environment.Machine.Processors > 0 ? nlohmann::ordered_json(environment.Machine.Processors)
                                                  : nlohmann::ordered_json(nullptr)},
        {"load_average_1min", LoadJson(environment.Load)},
        {"pixel_access", environment.PixelAccess},
    };
    json["build"] = {{"type", build.BuildType},
                     {"compiler", build.Compiler},
                     {"flags", build.Flags}};
    return json;
}

}  // namespace qmk
