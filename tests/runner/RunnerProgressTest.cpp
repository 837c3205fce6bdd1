// The progress line of qmk-run: its text, cut to the terminal's width, and
// how it stands on standard error: rewritten in place, erased before
// anything else is written, marked for the host's abrupt ways out, and
// absent when standard error is not a terminal.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/RunnerHost.h"
#include "runner/RunnerProgress.h"

namespace qmk::test {
namespace {

struct TextCase {
    int Run, Runs;
    BenchmarkPhase Phase;
    std::optional<ProgressScores> Last;
    int Columns;
    std::string Text;
};

TEST(RunnerProgressTest, TextSaysTheRunTheTestAndTheLastScores) {
    const std::vector<TextCase> cases = {
        {1, 1, BenchmarkPhase::Cpu, std::nullopt, 0, "qmk-run: run 1 of 1, CPU test"},
        {1, 3, BenchmarkPhase::Video, std::nullopt, 80, "qmk-run: run 1 of 3, video test"},
        {2, 10, BenchmarkPhase::Video, ProgressScores{2398, 515000}, 0,
         "qmk-run: run 2 of 10, video test (last: CPU 2398, video 515000)"},
        // The largest scores still fit a terminal of 80 columns.
        {100, 100, BenchmarkPhase::Cpu, ProgressScores{2147483647, 2147483647}, 80,
         "qmk-run: run 100 of 100, CPU test (last: CPU 2147483647, video 2147483647)"},
        // Narrower: cut one short of the width, so the cursor never wraps
        // to a line a carriage return cannot take back.
        {2, 10, BenchmarkPhase::Video, ProgressScores{2398, 515000}, 30, "qmk-run: run 2 of 10, video t"},
        {2, 10, BenchmarkPhase::Cpu, std::nullopt, 1, "qmk-run: run 2 of 10, CPU test"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(ProgressText(c.Run, c.Runs, c.Phase, c.Last, c.Columns), c.Text);
    }
}

// A host whose standard error is (or is not) a terminal, keeping what the
// line told it.
class TerminalHost : public platform::RunnerHost {
public:
    explicit TerminalHost(std::optional<int> columns) : columns_(columns) {}
    std::string GivenDisplay() override { return ""; }
    bool CanStartPrivateDisplay() const override { return false; }
    std::string_view PrivateDisplayKind() const override { return "none"; }
    std::string StartPrivateDisplay(int, int) override { return ""; }
    void StopPrivateDisplay() override {}
    platform::DisplayFacts DescribeDisplay(const std::string&) override { return {}; }
    platform::MachineFacts DescribeMachine() override { return {}; }
    std::optional<double> OneMinuteLoad() override { return std::nullopt; }
    std::string LocaleName() override { return "C"; }
    void EndOnRequest() override {}
    void ArmWatchdog(int, const std::string&) override {}
    void DisarmWatchdog() override {}
    std::string HostName() override { return ""; }
    std::optional<int> ErrorTerminalColumns() override { return columns_; }
    void SetTransientLineShown(bool shown) override { marks.push_back(shown); }

    std::vector<bool> marks;

private:
    std::optional<int> columns_;
};

TEST(RunnerProgressTest, OnATerminalTheLineIsRewrittenThenErasedOnce) {
    TerminalHost host(80);
    ::testing::internal::CaptureStderr();
    {
        ProgressLine line(host);
        EXPECT_TRUE(line.Enabled());
        EXPECT_EQ(line.Columns(), 80);
        line.Show("one");
        line.Show("two");
        line.Clear();
        line.Clear();  // nothing more: it is gone
        line.Show("three");
    }  // the end of the scope erases it
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "\r" "one\x1b[K" "\r" "two\x1b[K" "\r\x1b[K" "\r" "three\x1b[K" "\r\x1b[K");
    // Marked before each showing, unmarked after each erasing.
    EXPECT_EQ(host.marks, (std::vector<bool>{true, true, false, true, false}));
}

TEST(RunnerProgressTest, WithoutATerminalNothingIsWritten) {
    TerminalHost host(std::nullopt);
    ::testing::internal::CaptureStderr();
    {
        ProgressLine line(host);
        EXPECT_FALSE(line.Enabled());
        line.Show("one");
        line.Clear();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(host.marks.empty());
}

}  // namespace
}  // namespace qmk::test
