// The main window driven as qmk-run drives it, on the recording backends
// with a clock that moves 100 ms per reading (10 iterations a second): a
// click runs the whole benchmark inside one message frame, and an error
// that the framework would show in a box ends the runner's run instead.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/QMKForm.h"
#include "runner/RunnerSession.h"
#include "runtime/Errors.h"
#include "support/Readable.h"

namespace qmk::test {
namespace {

using Call = platform::RecordingGdi::Call;

class RunnerSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        kernel_.SetSystemTime(At(12, 34, 56, 789));
        kernel_.SetLocalTimeSource(platform::ScriptedKernel::SteppingClock(At(10, 20, 0, 0), 100));
        ReadLocaleSettings();
        InitializeGraphics();
        trap_ = std::make_unique<RunnerErrorTrap>();
        application_ = std::make_unique<TApplication>();
        form_ = &application_->CreateForm<TQMKForm>();
    }
    void TearDown() override {
        application_.reset();
        trap_.reset();
        GeneratorState = 0;
    }

    platform::RecordingGdi gdi_;
    platform::RecordingUser user_{&gdi_};
    platform::ScriptedKernel kernel_;
    platform::ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<RunnerErrorTrap> trap_;
    std::unique_ptr<TApplication> application_;
    TQMKForm* form_ = nullptr;
};

TEST_F(RunnerSessionTest, EachClickGivesBothLinesItsCountsAndGivesBackEveryContext) {
    ShowMainWindow(*application_, *form_);
    EXPECT_TRUE(form_->Showing());
    const int contextsBefore = gdi_.LiveDcCount();
    std::vector<BenchmarkPhase> told;
    form_->OnPhaseStart = [&told](BenchmarkPhase phase) { told.push_back(phase); };
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const auto [cpu, video] = ClickStartButton(*application_, *form_, *trap_);
        EXPECT_EQ(Readable(cpu), "ＣＰＵ：10 (0.50%)");
        EXPECT_EQ(Readable(video), "ビデオ：10 (0.42%)");
        EXPECT_EQ(form_->LastSamples().Cpu, (std::array<std::int32_t, 2>{10, 10}));
        EXPECT_EQ(form_->LastSamples().Video, (std::array<std::int32_t, 3>{10, 10, 10}));
        EXPECT_EQ(told.size(), 2u * (run + 1));
        // The frame around the click gave back what the run borrowed.
        EXPECT_EQ(gdi_.LiveDcCount(), contextsBefore);
    }
}

TEST_F(RunnerSessionTest, AnErrorOfTheRunEndsItInsteadOfShowingABox) {
    ShowMainWindow(*application_, *form_);
    const std::size_t windowsMade = user_.Calls("CreateWindow").size();
    // Armed once the CPU line is written: the next context taken is the
    // panel's, for the video phase's first copy.
    bool armed = false;
    kernel_.SetLocalTimeSource(
        [this, &armed, clock = platform::ScriptedKernel::SteppingClock(At(10, 20, 0, 0), 100)] {
            if (!armed && form_->Kekka->Lines().Get(0) != CpuLabelBytes) {
                gdi_.FailNext(Call::GetDC);
                armed = true;
            }
            return clock();
        });
    try {
        ClickStartButton(*application_, *form_, *trap_);
        FAIL() << "the run succeeded";
    } catch (const RunnerRunError& error) {
        const std::string text = error.what();
        EXPECT_EQ(text.rfind("EOutOfResources: ", 0), 0u) << text;
        EXPECT_EQ(text.back(), '.') << text;
    }
    EXPECT_EQ(user_.Calls("CreateWindow").size(), windowsMade);  // no error box was made
    EXPECT_EQ(Readable(form_->Kekka->Lines().Get(0)), "ＣＰＵ：10 (0.50%)");
    EXPECT_EQ(Readable(form_->Kekka->Lines().Get(1)), "ビデオ：");
    // The first error stays the one reported, also on the next click.
    EXPECT_THROW(ClickStartButton(*application_, *form_, *trap_), RunnerRunError);
}

TEST_F(RunnerSessionTest, WithoutTheTrapTheFrameworkHandlesErrorsAsBefore) {
    trap_.reset();
    EXPECT_FALSE(TApplication::OnException);
    bool called = false;
    {
        RunnerErrorTrap trap;
        EXPECT_TRUE(TApplication::OnException);
        TApplication::OnException(EInvalidOperation("x"));
        try {
            trap.ThrowIfCaught();
        } catch (const RunnerRunError& error) {
            called = true;
            EXPECT_STREQ(error.what(), "EInvalidOperation: x.");
        }
    }
    EXPECT_TRUE(called);
    EXPECT_FALSE(TApplication::OnException);
}

TEST_F(RunnerSessionTest, ClosingRunsFormCloseAndEndsTheLoop) {
    ShowMainWindow(*application_, *form_);
    ASSERT_NE(form_->WorkBitmap(), nullptr);
    CloseMainWindow(*application_, *form_);
    EXPECT_EQ(form_->WorkBitmap(), nullptr);
    EXPECT_TRUE(application_->Terminated());
}

}  // namespace
}  // namespace qmk::test
