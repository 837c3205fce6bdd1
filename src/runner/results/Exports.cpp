// The machine-readable outputs: CSV, JSON, Prometheus, InfluxDB.
#include <map>

#include "runner/results/Comparability.h"
#include "runner/results/Renderers.h"
#include "runner/results/ResultsText.h"
#include "runner/results/SessionDocument.h"

namespace qmk::results {

namespace {

// RFC 4180: a field with a comma, quote or line break is quoted, its
// quotes doubled. Texts are written as the file has them (valid UTF-8
// after JSON's own check), so the CSV reads back to the same values.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvSamples(const std::vector<std::int64_t>& samples) {
    std::string text;
    for (const std::int64_t sample : samples) text += (text.empty() ? "" : " ") + std::to_string(sample);
    return text;
}

template <typename T>
std::string CsvOptional(const std::optional<T>& value) {
    if (!value) return "";
    if constexpr (std::is_same_v<T, std::string>) {
        return *value;
    } else if constexpr (std::is_same_v<T, double>) {
        return Number(*value);
    } else {
        return std::to_string(*value);
    }
}

// A label value of the text format: backslash, quote and line feed
// escaped; the rest made visible, as a scrape must not meet other
// control characters or bytes that are not UTF-8.
std::string PrometheusLabel(const std::string& text) {
    std::string out;
    for (const char c : VisibleText(text)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// Line protocol: tag keys and values escape commas, equals signs and
// spaces; a line feed cannot be in one at all (VisibleText writes it as
// \x0a). Field texts are quoted with backslash and quote escaped.
std::string InfluxTag(const std::string& text) {
    std::string out;
    for (const char c : VisibleText(text)) {
        if (c == ',' || c == '=' || c == ' ') out += '\\';
        out += c;
    }
    return out;
}

std::string InfluxString(const std::string& text) {
    std::string out = "\"";
    for (const char c : VisibleText(text)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string CsvExport(const std::vector<SessionSummary>& sessions) {
    static const char* const Header[] = {
        "session_id",  "machine",        "label",         "tags",           "session_started_utc", "program_version",
        "build_type",  "build_flags",    "pixel_access",  "display_depth",  "cpu_seconds",         "video_seconds",
        "group",       "run",            "run_started_utc", "run_wall_seconds", "load_average_1min", "cpu_score",
        "cpu_percent", "cpu_samples",    "video_score",   "video_percent",  "video_samples"};
    std::string csv;
    for (const char* name : Header) csv += (csv.empty() ? "" : ",") + std::string(name);
    csv += "\r\n";
    for (const SessionSummary& summary : sessions) {
        const Session& s = *summary.Data;
        std::string tags;
        for (const std::string& tag : s.Tags) tags += (tags.empty() ? "" : ";") + tag;
        for (std::size_t i = 0; i < s.Runs.size(); ++i) {
            const Run& run = s.Runs[i];
            const std::vector<std::string> fields = {
                s.Id,
                s.Machine,
                CsvOptional(s.Label),
                tags,
                CsvOptional(s.StartedUtc),
                s.ProgramVersion,
                s.BuildFacts.Type,
                s.BuildFacts.Flags,
                CsvOptional(s.Env.PixelAccess),
                CsvOptional(s.Env.Depth),
                CsvOptional(s.CpuSeconds),
                CsvOptional(s.VideoSeconds),
                summary.Group,
                std::to_string(i + 1),
                CsvOptional(run.StartedUtc),
                CsvOptional(run.WallSeconds),
                CsvOptional(run.LoadAverage),
                std::to_string(run.Cpu.Score),
                CsvOptional(run.Cpu.Percent),
                CsvSamples(run.Cpu.Samples),
                std::to_string(run.Video.Score),
                CsvOptional(run.Video.Percent),
                CsvSamples(run.Video.Samples),
            };
            std::string line;
            for (std::size_t f = 0; f < fields.size(); ++f) line += (f ? "," : "") + CsvField(fields[f]);
            csv += line + "\r\n";
        }
    }
    return csv;
}

std::string JsonExport(const std::vector<SessionSummary>& sessions) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SessionSummary& summary : sessions) list.push_back(SessionToJson(*summary.Data));
    return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string PrometheusExport(const std::vector<SessionSummary>& sessions) {
    // A series may appear once in a scrape: the latest session of each
    // machine and version stands for it (sessions come oldest first).
    std::map<std::pair<std::string, std::string>, const SessionSummary*> latest;
    for (const SessionSummary& summary : sessions) {
        if (summary.Data->Runs.empty()) continue;
        latest[{summary.Data->Machine, summary.Data->ProgramVersion}] = &summary;
    }
    const auto labels = [](const SessionSummary& s) {
        return "machine=\"" + PrometheusLabel(s.Data->Machine) + "\",version=\"" +
               PrometheusLabel(s.Data->ProgramVersion) + "\"";
    };
    struct Metric {
        const char* name;
        const char* help;
        double (*value)(const Figures&, ScoreKind);
    };
    static const Metric ScoreMetrics[] = {
        {"qmk_score_median", "Median score of the runs of the latest saved session.",
         [](const Figures& f, ScoreKind) { return f.Median; }},
        {"qmk_score_min", "Lowest score of the runs of the latest saved session.",
         [](const Figures& f, ScoreKind) { return f.Minimum; }},
        {"qmk_score_max", "Highest score of the runs of the latest saved session.",
         [](const Figures& f, ScoreKind) { return f.Maximum; }},
        {"qmk_score_reference_percent",
         "Median score of the latest saved session as a percentage of the reference machine's.",
         [](const Figures& f, ScoreKind kind) { return InPercent(f, kind).Median; }},
    };
    std::string text;
    for (const Metric& metric : ScoreMetrics) {
        text += std::string("# HELP ") + metric.name + " " + metric.help + "\n";
        text += std::string("# TYPE ") + metric.name + " gauge\n";
        for (const auto& [key, summary] : latest) {
            for (const ScoreKind kind : ScoreKinds) {
                text += std::string(metric.name) + "{" + labels(*summary) + ",score=\"" + ScoreKindName(kind) +
                        "\"} " + Number(metric.value(*summary->Of(kind), kind)) + "\n";
            }
        }
    }
    text += "# HELP qmk_session_runs Number of runs of the latest saved session.\n";
    text += "# TYPE qmk_session_runs gauge\n";
    for (const auto& [key, summary] : latest) {
        text += "qmk_session_runs{" + labels(*summary) + "} " + std::to_string(summary->Data->Runs.size()) + "\n";
    }
    text += "# HELP qmk_session_start_time_seconds Start of the latest saved session, seconds since 1970 UTC.\n";
    text += "# TYPE qmk_session_start_time_seconds gauge\n";
    for (const auto& [key, summary] : latest) {
        text += "qmk_session_start_time_seconds{" + labels(*summary) + "} " +
                Number(static_cast<double>(summary->StartMilliseconds) / 1000.0) + "\n";
    }
    return text;
}

std::string InfluxExport(const std::vector<SessionSummary>& sessions) {
    std::string text;
    for (const SessionSummary& summary : sessions) {
        const Session& s = *summary.Data;
        const std::string tags = ",machine=" + InfluxTag(s.Machine) + ",version=" + InfluxTag(s.ProgramVersion) +
                                 ",group=" + summary.Group + ",session=" + s.Id;
        for (std::size_t i = 0; i < s.Runs.size(); ++i) {
            const Run& run = s.Runs[i];
            std::int64_t ms = summary.StartMilliseconds;
            if (run.StartedUtc) ms = UtcMilliseconds(*run.StartedUtc).value_or(ms);
            const std::string time = std::to_string(ms) + "000000";
            std::string fields = "run=" + std::to_string(i + 1) + "i";
            for (const ScoreKind kind : ScoreKinds) {
                const TestResult& test = run.Test(kind);
                fields += "," + std::string(ScoreKindName(kind)) + "_score=" + std::to_string(test.Score) + "i";
                if (test.Percent) fields += "," + std::string(ScoreKindName(kind)) + "_percent=" + Number(*test.Percent);
            }
            if (run.LoadAverage) fields += ",load_average_1min=" + Number(*run.LoadAverage);
            if (run.WallSeconds) fields += ",wall_seconds=" + Number(*run.WallSeconds);
            if (s.Label) fields += ",label=" + InfluxString(*s.Label);
            text += "qmk_run" + tags + " " + fields + " " + time + "\n";
            for (const ScoreKind kind : ScoreKinds) {
                const auto& samples = run.Test(kind).Samples;
                for (std::size_t k = 0; k < samples.size(); ++k) {
                    text += "qmk_sample" + tags + ",run=" + std::to_string(i + 1) + ",score=" + ScoreKindName(kind) +
                            ",second=" + std::to_string(k + 1) + " iterations=" + std::to_string(samples[k]) + "i " +
                            time + "\n";
                }
            }
        }
    }
    return text;
}

}  // namespace qmk::results
