// The report: one HTML file that needs nothing else (no script, no font,
// no picture from elsewhere), readable on screen and on paper. Each chart
// has the numbers it draws in a table beside it.
#include <algorithm>
#include <map>
#include <set>

#include "runner/results/Charts.h"
#include "runner/results/Renderers.h"
#include "runner/results/ResultsText.h"
#include "runner/results/SessionDocument.h"

namespace qmk::results {

namespace {

constexpr const char* Style = R"(
body { font-family: sans-serif; color: #111; background: #fff; margin: 1.5em; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 1.6em; } h3 { font-size: 1em; }
h4 { font-size: 0.9em; font-weight: normal; margin: 0.6em 0 0.2em; }
table { border-collapse: collapse; font-size: 0.85em; }
th, td { border: 1px solid #bbb; padding: 0.15em 0.5em; text-align: left; vertical-align: top; white-space: nowrap; }
td.w { white-space: normal; min-width: 10em; }
td.n, th.n { text-align: right; font-variant-numeric: tabular-nums; }
.pair { display: flex; flex-wrap: wrap; gap: 1.5em; align-items: flex-start; }
.pair, figure, table, tr { break-inside: avoid; page-break-inside: avoid; }
figure { margin: 0; }
svg.chart { max-width: 100%; height: auto; font-size: 11px; }
svg .axis { stroke: #333; stroke-width: 1; }
svg .grid { stroke: #ddd; stroke-width: 1; }
svg .bar { fill: #6b8fc7; }
svg .whisker { stroke: #111; stroke-width: 1.5; }
svg .reference { stroke: #c0392b; stroke-width: 1.5; stroke-dasharray: 4 3; }
svg .reference-label { fill: #c0392b; }
svg .dot { fill: #1f4e99; fill-opacity: 0.75; }
svg .line { fill: none; stroke-width: 1.5; }
svg .label, svg .tick, svg .legend, svg .value { fill: #111; }
svg .series0 { stroke: #1f4e99; fill: #1f4e99; } svg .series1 { stroke: #c0392b; fill: #c0392b; }
svg .series2 { stroke: #27853a; fill: #27853a; } svg .series3 { stroke: #8e44ad; fill: #8e44ad; }
svg .series4 { stroke: #d35400; fill: #d35400; } svg .series5 { stroke: #16808a; fill: #16808a; }
svg .series6 { stroke: #7f6000; fill: #7f6000; } svg .series7 { stroke: #555; fill: #555; }
svg .dot.series0, svg .dot.series1, svg .dot.series2, svg .dot.series3, svg .dot.series4, svg .dot.series5,
svg .dot.series6, svg .dot.series7 { stroke: none; }
.note { color: #444; font-size: 0.9em; }
@media print {
  body { margin: 0; max-width: none; font-size: 10pt; }
  h2 { break-after: avoid; page-break-after: avoid; }
  svg .bar { fill: #999; }
}
)";

// The line charts need room on the left for their y ticks only, and on
// the right for half of the last x tick's text.
constexpr double LinePlotLeft = 70;
constexpr double LinePlotRightMargin = 60;

std::string Cell(const std::string& text, bool number = false) {
    return std::string(number ? "<td class=\"n\">" : "<td>") + MarkupText(text) + "</td>";
}

// A cell of free text (a label, tags, flags) that may wrap.
std::string TextCell(const std::string& text) { return "<td class=\"w\">" + MarkupText(text) + "</td>"; }

std::string HeaderRow(std::initializer_list<const char*> names) {
    std::string row = "<tr>";
    for (const char* name : names) row += std::string("<th>") + name + "</th>";
    return row + "</tr>\n";
}

std::string SessionName(const SessionSummary& s) {
    return s.Data->Machine + ", " + UtcText(s.StartMilliseconds).substr(0, 16);
}

std::string Pair(const Drawing& drawing, const std::string& table) {
    return "<div class=\"pair\"><figure>" + SvgOf(drawing) + "</figure>\n<table>\n" + table + "</table></div>\n";
}

double HighestPercent(const std::vector<SessionSummary>& sessions, ScoreKind kind) {
    double highest = 100;
    for (const SessionSummary& s : sessions) {
        if (s.Of(kind)) highest = std::max(highest, InPercent(*s.Of(kind), kind).Maximum);
    }
    return highest;
}

std::string MedianSection(const std::vector<SessionSummary>& sessions, ScoreKind kind) {
    std::vector<MedianBar> bars;
    std::string table = HeaderRow({"session", "machine", "median %", "min %", "max %", "median", "runs"});
    for (const SessionSummary& s : sessions) {
        if (!s.Of(kind)) continue;
        const Figures p = InPercent(*s.Of(kind), kind);
        bars.push_back({SessionName(s), p.Median, p.Minimum, p.Maximum});
        table += "<tr>" + Cell(s.Data->Id) + Cell(s.Data->Machine) + Cell(Fixed(p.Median, 2), true) +
                 Cell(Fixed(p.Minimum, 2), true) + Cell(Fixed(p.Maximum, 2), true) +
                 Cell(Number(s.Of(kind)->Median), true) + Cell(std::to_string(s.Of(kind)->Count), true) + "</tr>\n";
    }
    const std::string title = std::string(ScoreKindTitle(kind)) + ": median of each session as % of the reference";
    const Drawing chart = MedianChart(title, bars, ValueScale(0, NiceCeiling(HighestPercent(sessions, kind) * 1.05)));
    return "<h3>" + MarkupText(title) + "</h3>\n" + Pair(chart, table);
}

std::string DotSection(const std::vector<SessionSummary>& sessions, ScoreKind kind) {
    std::vector<DotRow> rows;
    double highest = 1;
    std::string table = HeaderRow({"session", "machine", "scores of the runs"});
    for (const SessionSummary& s : sessions) {
        DotRow row{SessionName(s), {}};
        std::string scores;
        for (const Run& run : s.Data->Runs) {
            row.Values.push_back(run.Test(kind).Score);
            highest = std::max(highest, static_cast<double>(run.Test(kind).Score));
            scores += (scores.empty() ? "" : " ") + std::to_string(run.Test(kind).Score);
        }
        rows.push_back(std::move(row));
        table += "<tr>" + Cell(s.Data->Id) + Cell(s.Data->Machine) + Cell(scores, true) + "</tr>\n";
    }
    const std::string title = std::string(ScoreKindTitle(kind)) + ": the score of every run";
    const Drawing chart = DotChart(title, rows, ValueScale(0, NiceCeiling(highest * 1.05)), "");
    return "<h3>" + MarkupText(title) + "</h3>\n" + Pair(chart, table);
}

std::string HistorySection(const std::vector<SessionSummary>& sessions, ScoreKind kind) {
    std::map<std::string, Series> byMachine;
    std::int64_t first = 0, last = 0;
    bool any = false;
    double highest = 100;
    std::string table = HeaderRow({"machine", "started (UTC)", "median %"});
    for (const SessionSummary& s : sessions) {
        if (!s.Of(kind)) continue;
        const double percent = InPercent(*s.Of(kind), kind).Median;
        Series& series = byMachine[s.Data->Machine];
        series.Label = s.Data->Machine;
        series.Points.emplace_back(static_cast<double>(s.StartMilliseconds), percent);
        first = any ? std::min(first, s.StartMilliseconds) : s.StartMilliseconds;
        last = any ? std::max(last, s.StartMilliseconds) : s.StartMilliseconds;
        any = true;
        highest = std::max(highest, percent);
        table += "<tr>" + Cell(s.Data->Machine) + Cell(UtcText(s.StartMilliseconds)) + Cell(Fixed(percent, 2), true) +
                 "</tr>\n";
    }
    std::vector<Series> series;
    for (auto& [machine, entry] : byMachine) series.push_back(std::move(entry));
    const double height = 220;
    const Scale x{static_cast<double>(first), static_cast<double>(last), LinePlotLeft, ChartWidth - LinePlotRightMargin};
    const Scale y{0, NiceCeiling(highest * 1.05), height - 30, TopMargin};
    std::vector<double> ticks;
    std::vector<std::string> labels;
    if (any) {
        ticks = first == last ? std::vector<double>{static_cast<double>(first)}
                              : std::vector<double>{static_cast<double>(first), (first + last) / 2.0,
                                                    static_cast<double>(last)};
        // Dates, unless the sessions lie within two days of each other.
        const std::size_t shown = last - first < 2 * 86400000LL ? 16 : 10;
        for (const double tick : ticks) labels.push_back(UtcText(static_cast<std::int64_t>(tick)).substr(0, shown));
    }
    const std::string title = std::string(ScoreKindTitle(kind)) + ": median per machine over time, % of the reference";
    const Drawing chart = LineChart(title, series, x, y, ticks, labels, " %", height);
    return "<h3>" + MarkupText(title) + "</h3>\n" + Pair(chart, table);
}

std::string SamplesSection(const SessionSummary& s, ScoreKind kind) {
    std::vector<Series> series;
    std::size_t seconds = 0;
    double highest = 1;
    std::string table = HeaderRow({"run", "iterations in each second"});
    for (std::size_t i = 0; i < s.Data->Runs.size(); ++i) {
        const auto& samples = s.Data->Runs[i].Test(kind).Samples;
        Series entry{"run " + std::to_string(i + 1), {}};
        std::string text;
        for (std::size_t k = 0; k < samples.size(); ++k) {
            entry.Points.emplace_back(static_cast<double>(k + 1), static_cast<double>(samples[k]));
            highest = std::max(highest, static_cast<double>(samples[k]));
            text += (text.empty() ? "" : " ") + std::to_string(samples[k]);
        }
        seconds = std::max(seconds, samples.size());
        series.push_back(std::move(entry));
        table += "<tr>" + Cell(std::to_string(i + 1), true) + Cell(text.empty() ? "none recorded" : text, true) +
                 "</tr>\n";
    }
    if (seconds == 0) {
        return "<p class=\"note\">" + std::string(ScoreKindTitle(kind)) +
               ": no per-second samples (a document of qmk-run 1.0.0).</p>\n";
    }
    const double height = 160;
    const Scale x{0.5, static_cast<double>(seconds) + 0.5, LinePlotLeft, ChartWidth - LinePlotRightMargin};
    const Scale y{0, NiceCeiling(highest * 1.05), height - 30, TopMargin};
    std::vector<double> ticks;
    std::vector<std::string> labels;
    for (std::size_t k = 1; k <= seconds; ++k) {
        ticks.push_back(static_cast<double>(k));
        labels.push_back("second " + std::to_string(k));
    }
    const std::string title = std::string(ScoreKindTitle(kind)) + " test of " + s.Data->Id + ": iterations per second";
    return "<h4>" + std::string(ScoreKindTitle(kind)) + " test</h4>\n" +
           Pair(LineChart(title, series, x, y, ticks, labels, "", height), table);
}

}  // namespace

std::string HtmlReport(const std::vector<SessionSummary>& sessions) {
    std::set<std::string> machines;
    for (const SessionSummary& s : sessions) machines.insert(s.Data->Machine);
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>QMK results</title>\n<style>" +
        std::string(Style) + "</style>\n</head>\n<body>\n<h1>QMK results</h1>\n";
    html += "<p>" + std::to_string(sessions.size()) + (sessions.size() == 1 ? " session" : " sessions") + " from " +
            std::to_string(machines.size()) + (machines.size() == 1 ? " machine" : " machines") +
            ". The reference machine scores " + Number(CpuReferenceScore) + " in the CPU test and " +
            Number(VideoReferenceScore) + " in the video test (100 %).</p>\n";

    html += "<h2>Sessions</h2>\n<table>\n" +
            HeaderRow({"session", "started (UTC)", "machine", "label", "tags", "runs", "CPU median", "video median",
                       "version", "build", "group"});
    for (const SessionSummary& s : sessions) {
        std::string tags;
        for (const std::string& tag : s.Data->Tags) tags += (tags.empty() ? "" : ", ") + tag;
        html += "<tr>" + Cell(s.Data->Id) + Cell(UtcText(s.StartMilliseconds)) + Cell(s.Data->Machine) +
                TextCell(s.Data->Label.value_or("")) + TextCell(tags) + Cell(std::to_string(s.Data->Runs.size()), true) +
                Cell(s.Cpu ? Number(s.Cpu->Median) : "", true) + Cell(s.Video ? Number(s.Video->Median) : "", true) +
                Cell(s.Data->ProgramVersion) + TextCell(s.Data->BuildFacts.Type + " " + s.Data->BuildFacts.Flags) +
                Cell(s.Group) + "</tr>\n";
    }
    html += "</table>\n";
    if (sessions.empty()) return html + "<p>No saved sessions.</p>\n</body>\n</html>\n";

    html += "<h2>Medians against the reference machine</h2>\n";
    html += "<p class=\"note\">Bars: the median of the session's runs; whiskers: its lowest and highest run; the "
            "dashed line: the reference machine.</p>\n";
    for (const ScoreKind kind : ScoreKinds) html += MedianSection(sessions, kind);
    html += "<h2>Every run</h2>\n";
    for (const ScoreKind kind : ScoreKinds) html += DotSection(sessions, kind);
    html += "<h2>Each machine over time</h2>\n";
    for (const ScoreKind kind : ScoreKinds) html += HistorySection(sessions, kind);
    html += "<h2>Per-second samples</h2>\n";
    html += "<p class=\"note\">The meter's iteration count in each whole second of each test, one line per run.</p>\n";
    for (const SessionSummary& s : sessions) {
        html += "<h3>" + MarkupText(s.Data->Id + " \u2014 " + s.Data->Machine) +
                (s.Data->Label ? " \u2014 " + MarkupText(*s.Data->Label) : "") + "</h3>\n";
        for (const ScoreKind kind : ScoreKinds) html += SamplesSection(s, kind);
    }
    return html + "</body>\n</html>\n";
}

}  // namespace qmk::results
