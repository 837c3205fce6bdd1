// A whole run on the recording backends and a scripted clock that moves
// 100 ms per reading, so every counted second holds 10 iterations: the
// result lines, the order in which the lines change, the contexts each
// phase borrows and gives back, and errors of the drawing layer.
#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "AppFixture.h"
#include "app/BenchmarkRun.h"
#include "runtime/Errors.h"
#include "support/Readable.h"

namespace qmk::test {
namespace {

using platform::RecordingGdi;
using Call = RecordingGdi::Call;

// What the program looked like at one clock reading.
struct Snapshot {
    std::string Line0, Line1;
    std::size_t MemoryContexts, WindowContexts;
};

class BenchmarkRunTest : public AppTest {
protected:
    BenchmarkRunTest() {
        kernel_.SetSystemTime(At(12, 34, 56, 789));
        Memo().Lines().Assign({"old cpu line", "old video line"});
        auto clock = platform::ScriptedKernel::SteppingClock(At(10, 20, 0, 0), 100);
        kernel_.SetLocalTimeSource([this, clock] {
            snapshots_.push_back({Line(0), Line(1), LiveMemoryContexts().size(),
                                  LiveWindowContexts().size()});
            if (onReading_) onReading_();
            return clock();
        });
        gdi_.ClearLog();
        kernel_.ClearCounts();
    }

    void Run() { RunBenchmark(Bitmap(), Box(), Memo()); }

    std::vector<Snapshot> snapshots_;
    std::function<void()> onReading_;
};

const std::string CpuResult = CpuLabelBytes + "10 (0.50%)";
const std::string VideoResult = VideoLabelBytes + "10 (0.42%)";

TEST_F(BenchmarkRunTest, WritesBothResultLines) {
    Run();
    EXPECT_EQ(Line(0), CpuResult);
    EXPECT_EQ(Line(1), VideoResult);
    EXPECT_EQ(Line(2), "");
    EXPECT_EQ(kernel_.SystemTimeCalls(), 1);
    // CPU: 11 readings to align, 2 × 10 counted; video: 10 to align (the
    // CPU phase's last reading is not reused), 3 × 10 counted.
    EXPECT_EQ(kernel_.LocalTimeCalls(), 11 + 20 + 10 + 30);
}

// The counts of each second and the hook at each phase's start: the hook
// before the phase's first clock reading (so nothing it does is counted),
// never again during the phase, and the readings exactly those of a run
// without them.
TEST_F(BenchmarkRunTest, KeepsTheCountsOfEachSecondAndTellsEachPhaseBeforeItsFirstReading) {
    std::vector<std::pair<BenchmarkPhase, std::size_t>> told;
    BenchmarkSamples samples;
    samples.Cpu = {7, 7};
    RunBenchmark(Bitmap(), Box(), Memo(), &samples,
                 [&](BenchmarkPhase phase) { told.emplace_back(phase, snapshots_.size()); });
    EXPECT_EQ(samples.Cpu, (std::array<std::int32_t, 2>{10, 10}));
    EXPECT_EQ(samples.Video, (std::array<std::int32_t, 3>{10, 10, 10}));
    const std::vector<std::pair<BenchmarkPhase, std::size_t>> expected = {
        {BenchmarkPhase::Cpu, 0}, {BenchmarkPhase::Video, 11 + 20}};
    EXPECT_EQ(told, expected);
    EXPECT_EQ(kernel_.LocalTimeCalls(), 11 + 20 + 10 + 30);
    EXPECT_EQ(Line(0), CpuResult);
    EXPECT_EQ(Line(1), VideoResult);
}

// A locale whose time format has no seconds, or none at all, still gives a
// run of whole seconds: the same readings, the same lines.
class BenchmarkRunLocaleTest : public BenchmarkRunTest,
                               public ::testing::WithParamInterface<const char*> {};

TEST_P(BenchmarkRunLocaleTest, RunCountsSeconds) {
    kernel_.SetLocaleItem(platform::locale_item::TimeFormat, GetParam());
    ReadLocaleSettings();
    Run();
    EXPECT_EQ(Line(0), CpuResult);
    EXPECT_EQ(Line(1), VideoResult);
    EXPECT_EQ(kernel_.LocalTimeCalls(), 11 + 20 + 10 + 30);
}

INSTANTIATE_TEST_SUITE_P(Formats, BenchmarkRunLocaleTest, ::testing::Values("H:mm", "", "H:mm:ss"));

TEST_F(BenchmarkRunTest, LinesChangeInOrderAndPhasesBorrowTheirContextsAfresh) {
    Run();
    ASSERT_EQ(snapshots_.size(), 71u);
    // Before the first reading both lines are blank labels and nothing is held.
    EXPECT_EQ(Readable(snapshots_[0].Line0), "ＣＰＵ：");
    EXPECT_EQ(Readable(snapshots_[0].Line1), "ビデオ：");
    EXPECT_EQ(snapshots_[0].MemoryContexts, 0u);
    EXPECT_EQ(snapshots_[0].WindowContexts, 0u);
    for (std::size_t i = 1; i < 31; ++i) {
        EXPECT_EQ(Readable(snapshots_[i].Line0), "ＣＰＵ：") << i;
        EXPECT_EQ(Readable(snapshots_[i].Line1), "ビデオ：") << i;
        // The CPU iterations hold the bitmap's memory context from their first pixel on.
        EXPECT_EQ(snapshots_[i].MemoryContexts, i <= 10 ? 0u : 1u) << i;
        EXPECT_EQ(snapshots_[i].WindowContexts, 0u) << i;
    }
    // Writing the CPU line handed every context back before the video align.
    for (std::size_t i = 31; i < 71; ++i) {
        EXPECT_EQ(snapshots_[i].Line0, CpuResult) << i;
        EXPECT_EQ(Readable(snapshots_[i].Line1), "ビデオ：") << i;
        const std::size_t held = i <= 40 ? 0u : 1u;
        EXPECT_EQ(snapshots_[i].MemoryContexts, held) << i;
        EXPECT_EQ(snapshots_[i].WindowContexts, held) << i;
    }
    // And writing the video line gave them back at the end.
    EXPECT_TRUE(LiveMemoryContexts().empty());
    EXPECT_TRUE(LiveWindowContexts().empty());

    // One memory context per phase, one panel context for the video phase.
    const auto gets = gdi_.Calls(Call::GetDC);
    const std::string panel = "GetDC(" + platform::RecordingUser::WindowName(form_->Panel1->Handle()) + ")";
    EXPECT_EQ(std::count(gets.begin(), gets.end(), panel), 1);
    std::size_t stretches = 0, pixels = 0;
    for (std::size_t n = 0; n < gdi_.LogSize(); ++n) {
        const Call id = gdi_.LogEntry(n).Id;
        if (id == Call::StretchBlt) ++stretches;
        if (id == Call::SetPixel || id == Call::GetPixel) ++pixels;
    }
    EXPECT_EQ(pixels, 20u * 24u);
    EXPECT_EQ(stretches, 30u);
    EXPECT_EQ(gdi_.Calls(Call::CreateCompatibleDC).size(), 2u);
}

TEST_F(BenchmarkRunTest, SeedsFromTheClockOncePerRun) {
    Run();
    // 12:34:56.789 UTC: the first dot is colour 8201394 at row 51, column 61.
    const RecordingGdi::CallRecord* first = nullptr;
    for (std::size_t n = 0; n < gdi_.LogSize() && first == nullptr; ++n) {
        if (gdi_.LogEntry(n).Id == Call::SetPixel) first = &gdi_.LogEntry(n);
    }
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Args[1], 61);
    EXPECT_EQ(first->Args[2], 51);
    EXPECT_EQ(first->Args[3], 8201394);
    // 20 CPU iterations of 56 draws and 30 video iterations of 2.
    GeneratorModel generator(45296789);
    for (int i = 0; i < 20 * 56 + 30 * 2; ++i) generator.Draw(1);
    EXPECT_EQ(GeneratorState, generator.State());
}

TEST_F(BenchmarkRunTest, TakesNoMessageFromTheQueue) {
    platform::Message click;
    click.Window = form_->Handle();
    click.Kind = platform::MessageKind::KeyDown;
    click.Key = platform::vk::Return;
    user_.Post(click);
    Run();
    EXPECT_EQ(user_.PendingCount(), 1u);
}

TEST_F(BenchmarkRunTest, ErrorInTheCpuPhaseLeavesTheBareLabels) {
    // The first memory context after the blanking is the bitmap's.
    onReading_ = [this] {
        if (snapshots_.size() == 1) gdi_.FailNext(Call::CreateCompatibleDC);
    };
    EXPECT_THROW(Run(), EInvalidOperation);
    EXPECT_EQ(Readable(Line(0)), "ＣＰＵ：");
    EXPECT_EQ(Readable(Line(1)), "ビデオ：");
}

TEST_F(BenchmarkRunTest, ErrorInTheVideoPhaseKeepsTheCpuLine) {
    bool armed = false;
    onReading_ = [this, &armed] {
        if (!armed && snapshots_.back().Line0 != CpuLabelBytes) {
            gdi_.FailNext(Call::GetDC);  // the panel's context
            armed = true;
        }
    };
    EXPECT_THROW(Run(), EOutOfResources);
    EXPECT_EQ(Line(0), CpuResult);
    EXPECT_EQ(Readable(Line(1)), "ビデオ：");
}

TEST_F(BenchmarkRunTest, RunsAgainWithTheDotsOfTheFirstRun) {
    Run();
    const platform::RecordingSurface afterFirst = BitmapPixels();
    kernel_.SetSystemTime(At(1, 2, 3, 4));
    Run();
    EXPECT_EQ(Line(0), CpuResult);
    EXPECT_EQ(Line(1), VideoResult);
    // The second run wrote more dots on top: some pixel differs, and white
    // is not everywhere.
    std::size_t changed = 0;
    for (std::int32_t y = 0; y < 190; ++y)
        for (std::int32_t x = 0; x < 174; ++x)
            if (BitmapPixels().Pixel(x, y) != afterFirst.Pixel(x, y)) ++changed;
    EXPECT_GT(changed, 0u);
}

}  // namespace
}  // namespace qmk::test
