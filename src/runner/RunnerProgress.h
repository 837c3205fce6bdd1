// Where a run of qmk-run is, on one line of the terminal that it rewrites:
// ten runs take over a minute, and --json prints nothing until the end.
// Only on a terminal: a pipe or a file gets nothing of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/BenchmarkRun.h"

namespace qmk {

namespace platform {
class RunnerHost;
}

struct ProgressScores {
    std::int32_t Cpu = 0;
    std::int32_t Video = 0;
};

// "qmk-run: run 2 of 10, video test (last: CPU 1234, video 5678)": run
// counts from 1; last is the previous run's scores, if there was one. Cut
// to columns - 1 characters when the terminal's width is known (columns >
// 0), so that it never wraps and a carriage return can take it back.
std::string ProgressText(int run, int runs, BenchmarkPhase phase, const std::optional<ProgressScores>& last,
                         int columns);

// The line on standard error. Whatever shows it next, or the end of its
// owner's scope, erases it first; so does every abrupt way out of the host
// while it stands.
class ProgressLine {
public:
    // Shown only when the host says standard error is a terminal.
    explicit ProgressLine(platform::RunnerHost& host);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool Enabled() const { return columns_.has_value(); }
    int Columns() const { return columns_.value_or(0); }

    void Show(const std::string& text);
    // Before anything else is written to the terminal.
    void Clear();

private:
    platform::RunnerHost& host_;
    std::optional<int> columns_;
    bool shown_ = false;
};

}  // namespace qmk
