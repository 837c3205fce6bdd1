// The terminal's outputs: list, show and compare.
#include <algorithm>

#include "runner/results/Charts.h"
#include "runner/results/Comparability.h"
#include "runner/results/Renderers.h"
#include "runner/results/ResultsText.h"
#include "runner/results/SessionDocument.h"

namespace qmk::results {

namespace {

constexpr const char* Missing = "-";

std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    return count;
}

// Columns padded to the widest cell; the last one is not padded.
std::string Table(const std::vector<std::vector<std::string>>& rows, const std::string& indent = "") {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Characters(row[i]));
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line = indent;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - Characters(row[i]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + "\n";
    }
    return text;
}

std::string Median(const std::optional<Figures>& figures) {
    return figures ? Number(figures->Median) : Missing;
}

std::string Samples(const std::vector<std::int64_t>& samples) {
    if (samples.empty()) return Missing;
    std::string text;
    for (const std::int64_t sample : samples) text += (text.empty() ? "" : " ") + std::to_string(sample);
    return text;
}

template <typename T>
std::string Or(const std::optional<T>& value, const std::string& suffix = "") {
    if (!value) return Missing;
    if constexpr (std::is_same_v<T, std::string>) {
        return VisibleText(*value) + suffix;
    } else if constexpr (std::is_same_v<T, double>) {
        return Number(*value) + suffix;
    } else {
        return std::to_string(*value) + suffix;
    }
}

std::string TimeOfDay(const std::optional<std::string>& utc) {
    if (!utc) return Missing;
    const auto ms = UtcMilliseconds(*utc);
    return ms ? UtcText(*ms).substr(11) : Missing;
}

std::string SessionLine(const Session& session) {
    std::string line = session.Id + "  " + VisibleText(session.Machine);
    if (session.Label) line += "  \"" + VisibleText(*session.Label) + "\"";
    line += "  " + std::to_string(session.Runs.size()) + (session.Runs.size() == 1 ? " run" : " runs");
    return line;
}

std::string Signed(double value, int places) { return (value > 0 ? "+" : "") + Fixed(value, places); }

std::string PValue(const UTest& test) {
    const std::string p = test.PValue < 0.0001 ? "<0.0001" : Fixed(test.PValue, 4);
    return p + (test.Exact ? " (exact)" : " (normal)");
}

}  // namespace

std::string ListText(const std::vector<SessionSummary>& sessions) {
    std::vector<std::vector<std::string>> rows = {
        {"ID", "STARTED (UTC)", "MACHINE", "LABEL", "RUNS", "CPU", "VIDEO", "GROUP"}};
    for (const SessionSummary& summary : sessions) {
        const Session& s = *summary.Data;
        rows.push_back({s.Id, UtcText(summary.StartMilliseconds).substr(0, 16), Shortened(VisibleText(s.Machine), 24),
                        s.Label ? Shortened(VisibleText(*s.Label), 32) : Missing, std::to_string(s.Runs.size()),
                        Median(summary.Cpu), Median(summary.Video), summary.Group});
    }
    return Table(rows);
}

std::string ShowText(const SessionSummary& summary) {
    const Session& s = *summary.Data;
    const Environment& env = s.Env;
    std::string tags;
    for (const std::string& tag : s.Tags) tags += (tags.empty() ? "" : ", ") + VisibleText(tag);
    std::string started = s.StartedUtc ? UtcText(summary.StartMilliseconds) + " UTC" : std::string(Missing);
    if (s.WallSeconds) started += " (" + Fixed(*s.WallSeconds, 1) + " s)";
    const ComparabilityKey key = KeyOf(s);
    std::vector<std::vector<std::string>> facts = {
        {"session", s.Id + (s.FromOlderFormat ? " (imported from qmk-run 1.0.0 --json)" : "")},
        {"machine", VisibleText(s.Machine)},
        {"label", Or(s.Label)},
        {"tags", tags.empty() ? Missing : tags},
        {"started", started},
        {"program", VisibleText(s.ProgramName + " " + s.ProgramVersion)},
        {"build", VisibleText(s.BuildFacts.Type + ", " + s.BuildFacts.Compiler + ", " + s.BuildFacts.Flags)},
        {"group", summary.Group + " (pixel access " + VisibleText(key.PixelAccess) + ", CPU test " + key.CpuSeconds +
                      " s, video test " + key.VideoSeconds + " s, depth " + key.Depth + ")"},
        {"display", Or(env.Display) + (env.PrivateServer.value_or(false) ? " (private)" : "") + ", " +
                        Or(env.ScreenWidth) + "x" + Or(env.ScreenHeight) + ", depth " + Or(env.Depth) + ", " +
                        Or(env.Dpi) + " dpi, " + Or(env.ServerVendor)},
        {"processor", Or(env.Processor) + ", " + Or(env.Processors) + " processors"},
        {"locale", Or(env.Locale)},
        {"load", Or(env.LoadAverage) + " (one-minute average before the runs)"},
    };
    std::string text = Table(facts);
    text += "\nruns\n";
    std::vector<std::vector<std::string>> runs = {
        {"RUN", "STARTED", "SECONDS", "CPU", "PER SECOND", "VIDEO", "PER SECOND", "LOAD"}};
    for (std::size_t i = 0; i < s.Runs.size(); ++i) {
        const Run& run = s.Runs[i];
        runs.push_back({std::to_string(i + 1), TimeOfDay(run.StartedUtc),
                        run.WallSeconds ? Fixed(*run.WallSeconds, 3) : Missing, std::to_string(run.Cpu.Score),
                        Samples(run.Cpu.Samples), std::to_string(run.Video.Score), Samples(run.Video.Samples),
                        Or(run.LoadAverage)});
    }
    text += Table(runs, "  ");
    text += "\nsummary of " + std::to_string(s.Runs.size()) + (s.Runs.size() == 1 ? " run" : " runs") +
            " (stddev: sample standard deviation, n - 1)\n";
    std::vector<std::vector<std::string>> figures = {{"", "MEDIAN", "MEAN", "MIN", "MAX", "STDDEV", "OF REFERENCE"}};
    for (const ScoreKind kind : ScoreKinds) {
        const auto& f = summary.Of(kind);
        if (!f) continue;
        figures.push_back({ScoreKindTitle(kind), Number(f->Median), Fixed(f->Mean, 2), Number(f->Minimum),
                           Number(f->Maximum), f->StandardDeviation ? Fixed(*f->StandardDeviation, 2) : Missing,
                           Fixed(InPercent(*f, kind).Median, 2) + " %"});
    }
    text += Table(figures, "  ");
    return text;
}

std::string CompareText(const std::vector<ComparisonView>& comparisons) {
    std::string text;
    for (const ComparisonView& view : comparisons) {
        if (!text.empty()) text += "\n";
        const bool forced = !view.Differences.empty();
        text += "base  " + SessionLine(*view.Base) + "\n";
        text += "new   " + SessionLine(*view.New) + "\n";
        if (forced) {
            text += "!     not comparable, compared because of --force:\n";
            for (const std::string& difference : view.Differences) text += "!       " + VisibleText(difference) + "\n";
        }
        std::vector<std::vector<std::string>> rows = {
            {"", "", "BASE MEDIAN", "NEW MEDIAN", "CHANGE", "U", "P", "VERDICT"}};
        for (const ScoreComparison& c : view.Scores) {
            rows.push_back({forced ? "!" : "", ScoreKindTitle(c.Kind), Number(c.Base.Median), Number(c.New.Median),
                            c.ChangePercent ? Signed(*c.ChangePercent, 2) + " %" : Missing,
                            Number(std::min(c.Test.U1, c.Test.U2)), PValue(c.Test), VerdictText(c.Outcome)});
        }
        text += Table(rows);
        text += "(two-sided Mann-Whitney U test of " + std::to_string(view.Scores.front().Base.Count) + " and " +
                std::to_string(view.Scores.front().New.Count) + " runs, significance level " +
                Fixed(SignificanceLevel, 2) + "; a higher score is faster)\n";
    }
    return text;
}

}  // namespace qmk::results
