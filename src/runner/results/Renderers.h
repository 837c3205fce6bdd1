// The outputs of qmk-results, each a function from the model (and the
// figures worked out for it) to one text. None reads a file or computes
// a statistic of its own, so every format shows the same numbers.
#pragma once

#include <string>
#include <vector>

#include "runner/results/ResultsStatistics.h"

namespace qmk::results {

// list: one line per session with a heading line.
std::string ListText(const std::vector<SessionSummary>& sessions);
// show: the session's facts, its runs with their per-second samples, and
// its summary.
std::string ShowText(const SessionSummary& session);

struct ComparisonView {
    const Session* Base = nullptr;
    const Session* New = nullptr;
    std::vector<ScoreComparison> Scores;
    // What makes them not comparable (compared anyway with --force).
    std::vector<std::string> Differences;
};
std::string CompareText(const std::vector<ComparisonView>& comparisons);

// One self-contained HTML document: no script, nothing from elsewhere.
std::string HtmlReport(const std::vector<SessionSummary>& sessions);

// One row per run, RFC 4180 (CRLF, quotes where needed).
std::string CsvExport(const std::vector<SessionSummary>& sessions);
// A list of session documents of the current schema.
std::string JsonExport(const std::vector<SessionSummary>& sessions);
// The Prometheus text format for the node exporter's textfile collector:
// the latest session of each machine and program version.
std::string PrometheusExport(const std::vector<SessionSummary>& sessions);
// InfluxDB line protocol: one point per run, one per per-second sample.
std::string InfluxExport(const std::vector<SessionSummary>& sessions);

}  // namespace qmk::results
