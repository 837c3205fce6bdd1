// The result model: one saved session (one invocation of qmk-run) with its
// runs, their per-second samples and the facts the scores depend on.
// Everything else (the store, statistics, every output format) reads this.
// A value the document did not have is empty, never 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qmk::results {

// The reference machine's scores: 100 % of each test.
inline constexpr double CpuReferenceScore = 1992;
inline constexpr double VideoReferenceScore = 2370;

enum class ScoreKind { Cpu, Video };
inline constexpr ScoreKind ScoreKinds[] = {ScoreKind::Cpu, ScoreKind::Video};

// "cpu", "video": the names in documents, exports and labels.
const char* ScoreKindName(ScoreKind kind);
// "CPU", "video": the names in text meant for people.
const char* ScoreKindTitle(ScoreKind kind);
double ReferenceScore(ScoreKind kind);

// One test of one run.
struct TestResult {
    std::int32_t Score = 0;
    std::optional<double> Percent;
    std::string PercentText;  // as the window showed it
    std::string Line;         // the result line, UTF-8
    // The meter's count for each whole second of the test, in order;
    // empty when the document has none (qmk-run 1.0.0).
    std::vector<std::int64_t> Samples;

    bool operator==(const TestResult&) const = default;
};

struct Run {
    TestResult Cpu;
    TestResult Video;
    std::optional<double> LoadAverage;
    std::optional<std::string> StartedUtc;
    std::optional<double> WallSeconds;

    bool operator==(const Run&) const = default;
    const TestResult& Test(ScoreKind kind) const { return kind == ScoreKind::Cpu ? Cpu : Video; }
};

struct Environment {
    std::optional<std::string> Display;
    std::optional<bool> PrivateServer;
    std::optional<std::string> ServerVendor;
    std::optional<std::int64_t> VendorRelease;
    std::optional<int> Depth;
    std::optional<std::string> VisualClass;
    std::optional<int> ScreenWidth;
    std::optional<int> ScreenHeight;
    std::optional<int> Dpi;
    std::optional<std::string> Locale;
    std::optional<std::string> TimePattern;
    std::optional<std::string> DecimalSeparator;
    std::optional<std::string> Processor;
    std::optional<int> Processors;
    std::optional<double> LoadAverage;
    // "shared-memory", "protocol", "gdi"; empty: a version that did not say.
    std::optional<std::string> PixelAccess;

    bool operator==(const Environment&) const = default;
};

struct Build {
    std::string Type;
    std::string Compiler;
    std::string Flags;

    bool operator==(const Build&) const = default;
};

struct Session {
    std::string Id;
    std::string Machine;
    std::optional<std::string> Label;
    std::vector<std::string> Tags;
    std::optional<std::string> StartedUtc;
    std::optional<double> WallSeconds;
    std::string ProgramName;
    std::string ProgramVersion;
    std::optional<int> CpuSeconds;
    std::optional<int> VideoSeconds;
    std::vector<Run> Runs;
    Environment Env;
    Build BuildFacts;
    // Read from a document of qmk-run 1.0.0's --json (no samples, no
    // session facts of its own).
    bool FromOlderFormat = false;

    bool operator==(const Session&) const = default;
};

}  // namespace qmk::results
