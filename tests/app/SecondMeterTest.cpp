// The second meter on a scripted clock: alignment, counting per whole
// second, scores, and locales whose time format has no seconds.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AppFixture.h"
#include "app/SecondMeter.h"
#include "runtime/TimeText.h"

namespace qmk::test {
namespace {

using platform::SystemTime;

class SecondMeterTest : public ::testing::Test {
protected:
    SecondMeterTest() { ReadLocaleSettings(); }
    ~SecondMeterTest() override {
        kernel_.ClearLocale();
        ReadLocaleSettings();
    }
    void UseLocaleTimeFormat(const std::string& format) {
        kernel_.SetLocaleItem(platform::locale_item::TimeFormat, format);
        ReadLocaleSettings();
    }

    // Align on the readings 10:00:00.999 then 10:00:01.000, then one
    // reading per iteration: each count c is c - 1 readings inside the
    // second and one in the next.
    void QueueCounts(const std::vector<int>& counts) {
        kernel_.QueueLocalTimes({At(10, 0, 0, 999), At(10, 0, 1, 0)});
        std::uint16_t second = 1;
        for (int count : counts) {
            for (int i = 1; i < count; ++i) {
                kernel_.QueueLocalTime(At(10, 0, second, static_cast<std::uint16_t>(i % 1000)));
            }
            ++second;
            kernel_.QueueLocalTime(At(10, 0, second, 0));
        }
    }
    // What a phase does: align, reset, count until the phase length.
    void RunPhase(SecondMeter& meter, std::int32_t seconds) {
        meter.Align();
        meter.Reset();
        do {
            meter.CountAndCheck();
        } while (!meter.Finished(seconds));
    }

    platform::ScriptedKernel kernel_;
    platform::ScopedBackend backend_{{nullptr, nullptr, &kernel_}};
};

TEST_F(SecondMeterTest, AlignWaitsForTheFirstReadingInANewSecond) {
    kernel_.QueueLocalTimes({At(10, 0, 0, 100), At(10, 0, 0, 500), At(10, 0, 0, 999),
                             At(10, 0, 1, 0), At(10, 0, 1, 1)});
    SecondMeter meter;
    meter.Align();
    EXPECT_EQ(kernel_.LocalTimeCalls(), 4);
    EXPECT_EQ(meter.LastTime, TimeFromFields(10, 0, 1, 0));
}

TEST_F(SecondMeterTest, EachCheckReadsTheClockOnce) {
    QueueCounts({3, 3});
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    kernel_.ClearCounts();
    for (int i = 1; i <= 6; ++i) {
        meter.CountAndCheck();
        EXPECT_EQ(kernel_.LocalTimeCalls(), i);
    }
    EXPECT_TRUE(meter.Finished(2));
}

TEST_F(SecondMeterTest, BoundaryClosesTheCountOfTheIterationThatFoundIt) {
    SecondMeter meter;
    kernel_.QueueLocalTimes({At(10, 0, 0, 999), At(10, 0, 1, 0), At(10, 0, 1, 999),
                             At(10, 0, 2, 0)});
    meter.Align();
    meter.Reset();
    meter.CountAndCheck();  // 10:00:01.999: same second
    EXPECT_EQ(meter.CurrentCount, 1);
    EXPECT_EQ(meter.SecondsCounted, 0);
    meter.CountAndCheck();  // 10:00:02.000: new second, closes a count of 2
    EXPECT_EQ(meter.SecondsCounted, 1);
    EXPECT_EQ(meter.CurrentCount, 0);
    EXPECT_EQ(meter.BestCount, 2);
    EXPECT_EQ(meter.TotalCount, 2);
    EXPECT_EQ(meter.LastTime, TimeFromFields(10, 0, 2, 0));
}

struct ScoreCase {
    const char* Name;
    std::vector<int> Counts;
    std::int32_t Best, Total, Score;
};

class MeterScoreTest : public SecondMeterTest, public ::testing::WithParamInterface<ScoreCase> {};

TEST_P(MeterScoreTest, ScoreIsMeanAndBestAveraged) {
    const ScoreCase& c = GetParam();
    QueueCounts(c.Counts);
    SecondMeter meter;
    RunPhase(meter, static_cast<std::int32_t>(c.Counts.size()));
    EXPECT_EQ(meter.SecondsCounted, static_cast<std::int32_t>(c.Counts.size()));
    EXPECT_EQ(meter.BestCount, c.Best);
    EXPECT_EQ(meter.TotalCount, c.Total);
    EXPECT_EQ(meter.Score(), c.Score);
    // Each second's count as it closed, in order: what a saved run keeps.
    const std::span<const std::int32_t> samples = meter.Samples();
    EXPECT_EQ(std::vector<int>(samples.begin(), samples.end()), c.Counts);
}

INSTANTIATE_TEST_SUITE_P(Counts, MeterScoreTest,
                         ::testing::Values(ScoreCase{"Example2", {1000, 1003}, 1003, 2003, 1002},
                                           ScoreCase{"Example3", {10, 11, 15}, 15, 36, 13},
                                           ScoreCase{"Smallest", {1, 1}, 1, 2, 1},
                                           ScoreCase{"BestFirst", {9, 2, 2}, 9, 13, 6},
                                           ScoreCase{"Truncates", {2, 3}, 3, 5, 2}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SecondMeterTest, AnIterationLongerThanASecondClosesACountOfOne) {
    kernel_.QueueLocalTimes({At(10, 0, 0, 999), At(10, 0, 1, 0), At(10, 0, 5, 500)});
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    meter.CountAndCheck();
    EXPECT_EQ(meter.SecondsCounted, 1);
    EXPECT_EQ(meter.BestCount, 1);
    EXPECT_EQ(meter.TotalCount, 1);
}

TEST_F(SecondMeterTest, AClockJumpCountsOnce) {
    // Backwards (a manual change) and then on within the new second.
    kernel_.QueueLocalTimes({At(10, 0, 0, 999), At(10, 0, 1, 0), At(10, 0, 1, 400),
                             At(3, 0, 0, 0), At(3, 0, 0, 300), At(3, 0, 0, 600)});
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    for (int i = 0; i < 4; ++i) meter.CountAndCheck();
    EXPECT_EQ(meter.SecondsCounted, 1);
    EXPECT_EQ(meter.TotalCount, 2);
    EXPECT_EQ(meter.CurrentCount, 2);
}

TEST_F(SecondMeterTest, ResetClearsTheCountersOnly) {
    QueueCounts({4});
    SecondMeter meter;
    RunPhase(meter, 1);
    const TimeValue last = meter.LastTime;
    meter.Reset();
    EXPECT_EQ(meter.SecondsCounted, 0);
    EXPECT_EQ(meter.CurrentCount, 0);
    EXPECT_EQ(meter.BestCount, 0);
    EXPECT_EQ(meter.TotalCount, 0);
    EXPECT_EQ(meter.LastTime, last);
    EXPECT_EQ(meter.Score(), 0);
    EXPECT_TRUE(meter.Samples().empty());
}

// A phase longer than the meter keeps counts for (none is, today) keeps
// the first ones and writes nothing beyond them.
TEST_F(SecondMeterTest, KeepsTheCountsOfTheFirstSecondsOnly) {
    QueueCounts({4, 5, 6, 7, 8});
    SecondMeter meter;
    RunPhase(meter, 5);
    const std::span<const std::int32_t> samples = meter.Samples();
    EXPECT_EQ(std::vector<int>(samples.begin(), samples.end()), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(meter.Score(), (30 / 5 + 8) / 2);
}

struct PatternCase {
    const char* Pattern;
    bool ShowsSeconds;
};

// Each pattern examined as the long time pattern, which is how the meter
// uses it: an empty pattern and "tt" bring in the long pattern itself.
TEST_F(SecondMeterTest, TellsPatternsWithSecondsFromThoseWithout) {
    const PatternCase cases[] = {
        {"hh:mm:ss", true},   {"H:mm:ss", true},   {"h:mm:ss AMPM", true},
        {"AMPM h:mm:ss", true}, {"s", true},       {"H:mm", false},
        {"hh:mm AMPM", false}, {"", false},        {"H:mm 'ss'", false},
        {"tt", false},
    };
    for (const PatternCase& c : cases) {
        TimePatternLong = c.Pattern;
        EXPECT_EQ(PatternShowsSeconds(TimePatternLong), c.ShowsSeconds) << '"' << c.Pattern << '"';
    }
}

struct LocaleCase {
    const char* Name;
    const char* TimeFormat;
    bool UsesDefault;
};

class MeterLocaleTest : public SecondMeterTest, public ::testing::WithParamInterface<LocaleCase> {};

// A format without seconds would count minutes (a frozen window for
// minutes, scores sixty times too high) and an empty one would never end
// the alignment; the meter then compares hh:mm:ss texts and counts real
// seconds. A clock moving 100 ms per reading gives 10 iterations a second.
TEST_P(MeterLocaleTest, PhaseCountsRealSeconds) {
    const LocaleCase& c = GetParam();
    UseLocaleTimeFormat(c.TimeFormat);
    kernel_.SetLocalTimeSource(platform::ScriptedKernel::SteppingClock(At(10, 20, 0, 0), 100));
    SecondMeter meter;
    RunPhase(meter, 2);
    EXPECT_EQ(meter.UsesDefaultPattern(), c.UsesDefault);
    EXPECT_EQ(meter.SecondsCounted, 2);
    EXPECT_EQ(meter.BestCount, 10);
    EXPECT_EQ(meter.Score(), 10);
    // Align: 11 readings up to 10:20:01.000; then 20 iterations.
    EXPECT_EQ(kernel_.LocalTimeCalls(), 31);
    EXPECT_EQ(meter.LastTime, TimeFromFields(10, 20, 3, 0));
}

INSTANTIATE_TEST_SUITE_P(Formats, MeterLocaleTest,
                         ::testing::Values(LocaleCase{"WithSeconds", "H:mm:ss", false},
                                           LocaleCase{"TwelveHour", "h:mm:ss tt", false},
                                           LocaleCase{"WithoutSeconds", "H:mm", true},
                                           LocaleCase{"Empty", "", true}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SecondMeterTest, WithoutSecondsTheLocaleTextIsStillWhatTheRestOfTheProgramSees) {
    UseLocaleTimeFormat("H:mm");
    EXPECT_EQ(TimePatternLong, "H:mm");
    kernel_.SetLocalTimeSource(platform::ScriptedKernel::SteppingClock(At(10, 20, 0, 0), 250));
    SecondMeter meter;
    meter.Align();
    EXPECT_EQ(TimePatternLong, "H:mm");
    EXPECT_EQ(TimeText(TimeFromFields(10, 20, 5, 0)).ToString(), "10:20");
}

}  // namespace
}  // namespace qmk::test
