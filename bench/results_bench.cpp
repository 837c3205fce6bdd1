// qmk-results over a folder of 1000 saved sessions: list and report read
// every file, check it, work out the figures and write their output. Both
// should take well under a second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "runner/results/Renderers.h"
#include "runner/results/SessionDocument.h"
#include "runner/results/SessionStore.h"

namespace {

using namespace qmk::results;
namespace fs = std::filesystem;

constexpr int SessionCount = 1000;
constexpr int RunsPerSession = 5;

Session Example(int index, std::mt19937& random) {
    Session s;
    const auto start = std::chrono::sys_days{std::chrono::year{2026} / 1 / 1} + std::chrono::hours{6 * index};
    s.Id = NewSessionId(start);
    s.Machine = "machine-" + std::to_string(index % 20);
    s.Label = "nightly run " + std::to_string(index);
    s.Tags = {"nightly"};
    s.ProgramName = "qmk-run";
    s.ProgramVersion = "1.1.0";
    s.CpuSeconds = 2;
    s.VideoSeconds = 3;
    std::uniform_int_distribution<int> noise(-20, 20);
    for (int r = 0; r < RunsPerSession; ++r) {
        Run run;
        run.Cpu.Samples = {1500 + noise(random), 1500 + noise(random)};
        run.Cpu.Score = static_cast<std::int32_t>(run.Cpu.Samples[0]);
        run.Cpu.Percent = run.Cpu.Score / 19.92;
        run.Video.Samples = {2300 + noise(random), 2300 + noise(random), 2300 + noise(random)};
        run.Video.Score = static_cast<std::int32_t>(run.Video.Samples[1]);
        run.Video.Percent = run.Video.Score / 23.70;
        run.LoadAverage = 0.2;
        s.Runs.push_back(run);
    }
    s.Env.Depth = 24;
    s.Env.PixelAccess = "shared-memory";
    s.BuildFacts = {"Release", "GNU 12.2.0", "-O2 -DNDEBUG"};
    return s;
}

class SavedSessions {
public:
    SavedSessions() : folder_(fs::temp_directory_path() / ("qmk-results-bench-" + NewSessionId(std::chrono::system_clock::now()))) {
        std::mt19937 random(1);
        for (int i = 0; i < SessionCount; ++i) {
            const Session s = Example(i, random);
            SaveSessionDocument(folder_, s.Id, SessionToJson(s).dump(2));
        }
    }
    ~SavedSessions() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const fs::path& Folder() const { return folder_; }

private:
    fs::path folder_;
};

const SavedSessions& Saved() {
    static const SavedSessions saved;
    return saved;
}

std::vector<SessionSummary> SummariesOf(const FolderContents& contents) {
    std::vector<SessionSummary> summaries;
    for (const StoredSession& stored : contents.Sessions) summaries.push_back(Summarize(stored.Data));
    return summaries;
}

void BM_List1000Sessions(benchmark::State& state) {
    const fs::path& folder = Saved().Folder();
    for (auto _ : state) {
        const FolderContents contents = LoadFolder(folder);
        const std::string text = ListText(SummariesOf(contents));
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_List1000Sessions)->Unit(benchmark::kMillisecond);

void BM_Report1000Sessions(benchmark::State& state) {
    const fs::path& folder = Saved().Folder();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const FolderContents contents = LoadFolder(folder);
        const std::string html = HtmlReport(SummariesOf(contents));
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["report_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Report1000Sessions)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
