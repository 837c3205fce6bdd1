#include "runner/RunnerProgress.h"

#include "platform/Platform.h"
#include "platform/RunnerHost.h"

namespace qmk {

namespace {

// Moves to the start of the line; erases to its end.
constexpr std::string_view LineStart = "\r";
constexpr std::string_view EraseToEnd = "\x1b[K";

}  // namespace

std::string ProgressText(int run, int runs, BenchmarkPhase phase, const std::optional<ProgressScores>& last,
                         int columns) {
    std::string text = "qmk-run: run " + std::to_string(run) + " of " + std::to_string(runs) + ", " +
                       (phase == BenchmarkPhase::Cpu ? "CPU test" : "video test");
    if (last) {
        text += " (last: CPU " + std::to_string(last->Cpu) + ", video " + std::to_string(last->Video) + ")";
    }
    // All of it is ASCII, one column a byte.
    if (columns > 1 && text.size() > static_cast<std::size_t>(columns - 1)) {
        text.resize(static_cast<std::size_t>(columns - 1));
    }
    return text;
}

ProgressLine::ProgressLine(platform::RunnerHost& host) : host_(host), columns_(host.ErrorTerminalColumns()) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(const std::string& text) {
    if (!Enabled()) return;
    // Marked first: a signal in the middle of the write still erases it.
    host_.SetTransientLineShown(true);
    shown_ = true;
    platform::WriteText(platform::StandardStream::Error, std::string(LineStart).append(text).append(EraseToEnd));
}

void ProgressLine::Clear() {
    if (!shown_) return;
    shown_ = false;
    platform::WriteText(platform::StandardStream::Error, std::string(LineStart).append(EraseToEnd));
    // Unmarked last: a signal before this erases it once more, harmlessly.
    host_.SetTransientLineShown(false);
}

}  // namespace qmk
