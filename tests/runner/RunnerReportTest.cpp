// What qmk-run prints: scores read back from the result lines as the box
// shows them, the summary statistics, the text report and the JSON
// document's shape (parsed back).
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/ResultLines.h"
#include "runner/RunnerEnvironment.h"
#include "runner/RunnerReport.h"
#include "runner/RunnerStatistics.h"
#include "runtime/Extended.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"

namespace qmk::test {
namespace {

class RunnerReportTest : public ::testing::Test {
protected:
    void SetUp() override { SetExtendedPrecision(); }
    void TearDown() override { DecimalSeparatorChar = '.'; }
};

struct LineCase {
    std::int32_t Score;
    std::int32_t Reference;
    char Separator;
    const char* PercentText;
    double Percent;
};

TEST_F(RunnerReportTest, ReadsBackWhatTheResultLineShows) {
    const std::vector<LineCase> cases = {
        {1992, CpuReferenceScore, '.', "100.00", 100.0},
        {1, CpuReferenceScore, '.', "0.05", 0.05},
        {4740, VideoReferenceScore, '.', "200.00", 200.0},
        {591689, VideoReferenceScore, '.', "24965.78", 24965.78},
        {2523, CpuReferenceScore, ',', "126,66", 126.66},
        // From here on the percentage needs nine integer digits.
        {1991999991, CpuReferenceScore, '.', "1E8", 1e8},
        {2147483647, CpuReferenceScore, '.', "1.078054E8", 1.078054e8},
        {2147483647, CpuReferenceScore, ',', "1,078054E8", 1.078054e8},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.Score);
        DecimalSeparatorChar = c.Separator;
        const std::string_view label = c.Reference == CpuReferenceScore ? texts::CpuLabel.Cp932 : texts::VideoLabel.Cp932;
        const std::string line = ResultLineText(label, c.Score, c.Reference);
        const auto values = ParseResultLine(line, label, c.Separator);
        ASSERT_TRUE(values.has_value()) << line;
        EXPECT_EQ(values->Line, line);
        EXPECT_EQ(values->Score, c.Score);
        EXPECT_EQ(values->PercentText, c.PercentText);
        EXPECT_DOUBLE_EQ(values->Percent, c.Percent);
    }
}

TEST_F(RunnerReportTest, RefusesLinesWithoutAResult) {
    const std::string cpu(texts::CpuLabel.Cp932);
    const std::vector<std::string> lines = {
        cpu,                              // the bare label a failed run leaves
        "",
        cpu + "12",
        cpu + "12 (",
        cpu + "12 (0.60%",
        cpu + "12 0.60%)",
        cpu + " (0.60%)",
        cpu + "12 (%)",
        cpu + "12 (.60%)",
        cpu + "12 (0.%)",
        cpu + "12 (0.60)",
        cpu + "12 (0,60%)",               // not the separator it was written with
        cpu + "12 (1E%)",
        cpu + "-12 (0.60%)",
        cpu + "99999999999 (0.60%)",      // no 32-bit score
        std::string(texts::VideoLabel.Cp932) + "12 (0.50%)",  // the other line's label
        "CPU:12 (0.60%)",
    };
    for (const std::string& line : lines) {
        EXPECT_FALSE(ParseResultLine(line, texts::CpuLabel.Cp932, '.').has_value()) << line;
    }
}

struct SummaryCase {
    std::vector<std::int32_t> Scores;
    double Mean, Median;
    std::int32_t Min, Max;
    double StdDev;  // NaN: none
};

TEST_F(RunnerReportTest, SummarizesKnownScores) {
    const double none = std::nan("");
    const std::vector<SummaryCase> cases = {
        {{1000}, 1000, 1000, 1000, 1000, none},
        {{1000, 1002}, 1001, 1001, 1000, 1002, std::sqrt(2.0)},
        {{3, 1, 2}, 2, 2, 1, 3, 1},
        {{2, 4, 4, 4, 5, 5, 7, 9}, 5, 4.5, 2, 9, std::sqrt(32.0 / 7.0)},
        {{7, 7, 7}, 7, 7, 7, 7, 0},
        // Sums beyond 32 bits must not wrap.
        {{2147483647, 2147483647}, 2147483647, 2147483647, 2147483647, 2147483647, 0},
        {{2147483647, 1}, 1073741824, 1073741824, 1, 2147483647, 2147483646 / std::sqrt(2.0)},
    };
    for (const SummaryCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Scores));
        const ScoreSummary s = Summarize(c.Scores);
        EXPECT_EQ(s.Count, static_cast<int>(c.Scores.size()));
        EXPECT_DOUBLE_EQ(s.Mean, c.Mean);
        EXPECT_DOUBLE_EQ(s.Median, c.Median);
        EXPECT_EQ(s.Minimum, c.Min);
        EXPECT_EQ(s.Maximum, c.Max);
        if (std::isnan(c.StdDev)) {
            EXPECT_FALSE(s.StandardDeviation.has_value());
        } else {
            ASSERT_TRUE(s.StandardDeviation.has_value());
            EXPECT_NEAR(*s.StandardDeviation, c.StdDev, 1e-9 * (1 + c.StdDev));
        }
    }
    EXPECT_THROW(Summarize({}), std::invalid_argument);
}

RunRecord Record(std::int32_t cpu, std::int32_t video) {
    const auto cpuLine = ResultLineText(texts::CpuLabel.Cp932, cpu, CpuReferenceScore);
    const auto videoLine = ResultLineText(texts::VideoLabel.Cp932, video, VideoReferenceScore);
    const auto cpuValues = ParseResultLine(cpuLine, texts::CpuLabel.Cp932, DecimalSeparatorChar);
    const auto videoValues = ParseResultLine(videoLine, texts::VideoLabel.Cp932, DecimalSeparatorChar);
    if (!cpuValues || !videoValues) throw std::logic_error("unreadable line: " + cpuLine + videoLine);
    RunRecord record;
    record.Cpu = *cpuValues;
    record.Video = *videoValues;
    return record;
}

TEST_F(RunnerReportTest, TextShowsTheLinesInUtf8AndASummaryForRepeatedRuns) {
    const std::vector<RunRecord> runs = {Record(1992, 2370), Record(996, 4740)};
    EXPECT_EQ(RunText(runs[0]), "ＣＰＵ：1992 (100.00%)\nビデオ：2370 (100.00%)\n");
    EXPECT_EQ(SummaryText({runs[0]}), "");
    EXPECT_EQ(SummaryText(runs),
              "summary of 2 runs (stddev: sample standard deviation, n - 1)\n"
              "ＣＰＵ：mean 1494.00  median 1494.00  min 996  max 1992  stddev 704.28\n"
              "ビデオ：mean 3555.00  median 3555.00  min 2370  max 4740  stddev 1675.84\n");
}

TEST_F(RunnerReportTest, SummaryNumbersIgnoreTheLocaleSeparator) {
    DecimalSeparatorChar = ',';
    const std::string text = SummaryText({Record(1000, 2000), Record(1001, 2000)});
    EXPECT_NE(text.find("mean 1000.50"), std::string::npos) << text;
}

EnvironmentFacts Facts() {
    EnvironmentFacts facts;
    facts.Display = ":5";
    facts.PrivateServer = true;
    facts.Server.ServerVendor = "The X.Org Foundation";
    facts.Server.VendorRelease = 12101007;
    facts.Server.Depth = 16;
    facts.Server.VisualClass = "TrueColor";
    facts.Server.ScreenWidth = 1024;
    facts.Server.ScreenHeight = 768;
    facts.Dpi = 120;
    facts.Locale = "ja_JP.UTF-8";
    facts.TimePattern = "H:mm:ss";
    facts.DecimalSeparator = ".";
    facts.Machine.Processor = "Cyrix 6x86";
    facts.Machine.Processors = 2;
    facts.Load = 0.25;
    return facts;
}

TEST_F(RunnerReportTest, JsonDocumentHasEveryRunTheSummaryAndTheFacts) {
    const std::vector<RunRecord> runs = {Record(1992, 2370), Record(996, 4740), Record(1000, 4000)};
    const BuildFacts build{"1.0.0", "Release", "GNU 12.2.0", "-O2 -DNDEBUG"};
    const auto text = ReportJson(runs, {}, Facts(), build).dump();
    const nlohmann::json doc = nlohmann::json::parse(text);

    EXPECT_EQ(doc["program"]["name"], "qmk-run");
    EXPECT_EQ(doc["program"]["version"], "1.0.0");
    ASSERT_EQ(doc["runs"].size(), 3u);
    const nlohmann::json& second = doc["runs"][1];
    EXPECT_EQ(second["cpu"]["score"], 996);
    EXPECT_EQ(second["cpu"]["percent"], 50.0);
    EXPECT_EQ(second["cpu"]["percent_text"], "50.00");
    EXPECT_EQ(second["cpu"]["line"], "ＣＰＵ：996 (50.00%)");
    EXPECT_EQ(second["video"]["score"], 4740);
    EXPECT_EQ(second["video"]["percent"], 200.0);
    EXPECT_EQ(second["video"]["line"], "ビデオ：4740 (200.00%)");

    const nlohmann::json& summary = doc["summary"];
    EXPECT_EQ(summary["count"], 3);
    EXPECT_EQ(summary["stddev_kind"], "sample (n - 1)");
    EXPECT_EQ(summary["cpu"]["min"], 996);
    EXPECT_EQ(summary["cpu"]["max"], 1992);
    EXPECT_EQ(summary["cpu"]["median"], 1000.0);
    EXPECT_NEAR(summary["cpu"]["mean"].get<double>(), 3988.0 / 3, 1e-9);
    EXPECT_NEAR(summary["video"]["stddev"].get<double>(), 1212.5317865, 1e-6);

    const nlohmann::json& environment = doc["environment"];
    EXPECT_EQ(environment["x_server"]["display"], ":5");
    EXPECT_EQ(environment["x_server"]["private"], true);
    EXPECT_EQ(environment["x_server"]["vendor"], "The X.Org Foundation");
    EXPECT_EQ(environment["x_server"]["vendor_release"], 12101007);
    EXPECT_EQ(environment["x_server"]["depth"], 16);
    EXPECT_EQ(environment["x_server"]["visual_class"], "TrueColor");
    EXPECT_EQ(environment["dpi"], 120);
    EXPECT_EQ(environment["locale"]["name"], "ja_JP.UTF-8");
    EXPECT_EQ(environment["locale"]["time_pattern"], "H:mm:ss");
    EXPECT_EQ(environment["processor"], "Cyrix 6x86");
    EXPECT_EQ(environment["processors"], 2);
    EXPECT_EQ(environment["load_average_1min"], 0.25);
    EXPECT_TRUE(doc["runs"][0]["load_average_1min"].is_null());
    EXPECT_EQ(doc["build"]["type"], "Release");
    EXPECT_EQ(doc["build"]["compiler"], "GNU 12.2.0");
    EXPECT_EQ(doc["build"]["flags"], "-O2 -DNDEBUG");
}

// The saved session's own members, and what each run adds to today's.
TEST_F(RunnerReportTest, JsonDocumentNamesItsSchemaTheSessionAndEachRunsSeconds) {
    RunRecord run = Record(13, 1002);
    run.CpuSamples = {10, 11, 15};
    run.VideoSamples = {1000, 1003};
    run.StartedUtc = "2026-12-08T01:15:03.120Z";
    run.WallSeconds = 5.873;
    SessionFacts session;
    session.Id = "20261208T011502Z-8f3a2c1d";
    session.Machine = "lab-3";
    session.Tags = {"nightly", "kernel-6.1"};
    session.StartedUtc = "2026-12-08T01:15:02.123Z";
    session.WallSeconds = 17.412;
    const nlohmann::json doc = nlohmann::json::parse(ReportJson({run}, session, Facts(), {}).dump());

    EXPECT_EQ(doc["schema"], "qmk-session");
    EXPECT_EQ(doc["schema_version"], 1);
    EXPECT_EQ(doc["session"],
              nlohmann::json::parse(R"({"id": "20261208T011502Z-8f3a2c1d", "machine": "lab-3", "label": null,
                                        "tags": ["nightly", "kernel-6.1"],
                                        "started_utc": "2026-12-08T01:15:02.123Z", "wall_seconds": 17.412})"));
    EXPECT_EQ(doc["phases"], nlohmann::json::parse(R"({"cpu_seconds": 2, "video_seconds": 3})"));
    const nlohmann::json& saved = doc["runs"][0];
    EXPECT_EQ(saved["cpu"]["samples"], nlohmann::json::parse("[10, 11, 15]"));
    EXPECT_EQ(saved["video"]["samples"], nlohmann::json::parse("[1000, 1003]"));
    EXPECT_EQ(saved["started_utc"], "2026-12-08T01:15:03.120Z");
    EXPECT_EQ(saved["wall_seconds"], 5.873);
    // Today's members stay where callers find them.
    for (const char* member : {"program", "runs", "summary", "environment", "build"}) {
        EXPECT_TRUE(doc.contains(member)) << member;
    }

    session.Label = "<after> the \"driver\" update";
    session.Tags.clear();
    const nlohmann::json labelled = nlohmann::json::parse(ReportJson({}, session, Facts(), {}).dump());
    EXPECT_EQ(labelled["session"]["label"], "<after> the \"driver\" update");
    EXPECT_TRUE(labelled["session"]["tags"].is_array());
    EXPECT_TRUE(labelled["session"]["tags"].empty());
}

// Counts that were never kept are unknown, not zero.
TEST_F(RunnerReportTest, MissingSamplesAndTimesAreNull) {
    const nlohmann::json doc = nlohmann::json::parse(ReportJson({Record(1992, 2370)}, {}, Facts(), {}).dump());
    EXPECT_TRUE(doc["runs"][0]["cpu"]["samples"].is_null());
    EXPECT_TRUE(doc["runs"][0]["started_utc"].is_null());
    EXPECT_TRUE(doc["session"]["started_utc"].is_null());
}

struct SamplesCase {
    std::vector<std::int32_t> Samples;
    std::int32_t Score;
};

TEST(RunnerSamplesTest, ScoreComesFromTheSamplesByTheMetersRule) {
    const std::vector<SamplesCase> cases = {
        {{1000, 1003}, 1002},     // (2003 / 2 = 1001 + 1003) / 2
        {{10, 11, 15}, 13},       // (36 / 3 = 12 + 15) / 2 = 13.5, truncated
        {{2, 3}, 2},              // (5 / 2 = 2 + 3) / 2 = 2.5, truncated
        {{9, 2, 2}, 6},           // the best second first
        {{1, 1}, 1},
        {{}, 0},
        // The sum wraps in 32 bits as the meter's total does: 2^31 - 1 twice
        // adds up to -2, whose half is -1.
        {{2147483647, 2147483647}, (-1 + 2147483647) / 2},
        // The sum wraps to 2147482351, the mean 715827450 plus the best to
        // -1431656199, whose half truncates toward zero.
        {{2147483000, 2147483000, 2147483647}, -715828099},
    };
    for (const SamplesCase& c : cases) {
        EXPECT_EQ(ScoreOfSamples(c.Samples), c.Score) << ::testing::PrintToString(c.Samples);
    }
}

struct UtcCase {
    std::int64_t Milliseconds;  // since 1970-01-01T00:00:00Z
    const char* Text;
};

TEST(RunnerSamplesTest, StartTimesAreUtcWithMilliseconds) {
    const std::vector<UtcCase> cases = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1796692502123, "2026-12-08T01:15:02.123Z"},
        {1709251199999, "2024-02-29T23:59:59.999Z"},  // a leap day's last millisecond
        {951782400000, "2000-02-29T00:00:00.000Z"},
        {-1, "1969-12-31T23:59:59.999Z"},  // before the epoch, floored, not truncated
    };
    for (const UtcCase& c : cases) {
        EXPECT_EQ(UtcText(std::chrono::system_clock::time_point(std::chrono::milliseconds(c.Milliseconds))),
                  c.Text);
    }
    // Below a millisecond is cut, never rounded up into the next second.
    const auto almost = std::chrono::system_clock::time_point(std::chrono::milliseconds(1999)) +
                        std::chrono::microseconds(999);
    EXPECT_EQ(UtcText(std::chrono::time_point_cast<std::chrono::system_clock::duration>(almost)),
              "1970-01-01T00:00:01.999Z");
}

TEST_F(RunnerReportTest, JsonOfOneRunHasNoStandardDeviationAndUnknownProcessorIsNull) {
    EnvironmentFacts facts = Facts();
    facts.Machine.Processor.clear();
    const nlohmann::json doc =
        nlohmann::json::parse(ReportJson({Record(1992, 2370)}, {}, facts, {}).dump());
    EXPECT_TRUE(doc["summary"]["cpu"]["stddev"].is_null());
    EXPECT_EQ(doc["summary"]["cpu"]["mean"], 1992.0);
    EXPECT_TRUE(doc["environment"]["processor"].is_null());
}

TEST_F(RunnerReportTest, LoadOfEachRunAndUnknownCountsAreNull) {
    EnvironmentFacts facts = Facts();
    facts.Machine.Processors = 0;
    facts.Load.reset();
    RunRecord run = Record(1992, 2370);
    run.Load = 3.5;
    const nlohmann::json doc = nlohmann::json::parse(ReportJson({run}, {}, facts, {}).dump());
    EXPECT_EQ(doc["runs"][0]["load_average_1min"], 3.5);
    EXPECT_TRUE(doc["environment"]["processors"].is_null());
    EXPECT_TRUE(doc["environment"]["load_average_1min"].is_null());
}

TEST(RunnerBusyTest, WarnsOnlyWhenTheLoadWasAboveTheProcessorCount) {
    const auto runs = [](std::vector<std::optional<double>> loads) {
        std::vector<RunRecord> records(loads.size());
        for (std::size_t i = 0; i < loads.size(); ++i) records[i].Load = loads[i];
        return records;
    };
    EXPECT_FALSE(BusyWarning(runs({1.9, 2.0}), 2));  // at the count is not above it
    EXPECT_FALSE(BusyWarning(runs({5.0}), 0));       // count unknown
    EXPECT_FALSE(BusyWarning(runs({std::nullopt}), 2));
    EXPECT_FALSE(BusyWarning({}, 2));
    EXPECT_EQ(BusyWarning(runs({3.456}), 2),
              "qmk-run: warning: the machine was busy during the run (one-minute load average "
              "3.46 on 2 processors); the scores are lower than this machine reaches when idle\n");
    EXPECT_EQ(BusyWarning(runs({0.5, 1.25, 0.5}), 1),
              "qmk-run: warning: the machine was busy during run 2 of 3 (one-minute load average "
              "1.25 on 1 processor); the scores are lower than this machine reaches when idle\n");
    EXPECT_EQ(BusyWarning(runs({4.0, 1.0, 6.5, std::nullopt}), 2),
              "qmk-run: warning: the machine was busy during 2 of 4 runs (one-minute load average "
              "6.50 on 2 processors); the scores are lower than this machine reaches when idle\n");
}

}  // namespace
}  // namespace qmk::test
