// qmk-run's saved sessions and its progress line, as its users meet them:
// the file in the results folder is the document it printed, nothing is
// saved without --no-save's absence or when saving is impossible, and the
// line on a terminal (a pseudo-terminal here) shows each test and is gone
// when the runner ends, by a signal too. A pipe gets none of it.
#include <chrono>
#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "RunnerProcess.h"

namespace qmk::test {
namespace {

const std::string Erase = "\r\x1b[K";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string HostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

class RunnerSavingTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(RunnerPath.c_str(), X_OK) != 0) FAIL() << RunnerPath << " is not built";
    }
};

TEST_F(RunnerSavingTest, TheSavedFileIsTheDocumentItPrinted) {
    const TempFolder results;
    RunnerProcess runner({"--json", "--runs", "2", "--label", "<after> the \"driver\" update", "--tag", "nightly",
                          "--tag=kernel-6.1", "--machine", "lab-3"},
                         std::getenv("DISPLAY"), nullptr, SavingIn(results.Path()));
    const Finished done = runner.Wait();
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    // Standard error is a pipe: no progress, no word about the saving.
    EXPECT_EQ(WithoutBusyWarning(done.Err), "");
    const nlohmann::json doc = RunnerDocument(done.Out);
    ASSERT_EQ(doc["runs"].size(), 2u);
    const std::string id = doc["session"]["id"];
    EXPECT_TRUE(std::regex_match(id, std::regex(R"(\d{8}T\d{6}Z-[0-9a-f]{8})"))) << id;
    EXPECT_EQ(doc["session"]["label"], "<after> the \"driver\" update");
    EXPECT_EQ(doc["session"]["tags"], nlohmann::json::parse(R"(["nightly", "kernel-6.1"])"));
    EXPECT_EQ(doc["session"]["machine"], "lab-3");
    // The session's start and the id's are the same second.
    const std::string started = doc["session"]["started_utc"];
    EXPECT_EQ(id.substr(0, 15), started.substr(0, 4) + started.substr(5, 2) + started.substr(8, 5) +
                                    started.substr(14, 2) + started.substr(17, 2));
    EXPECT_GE(doc["session"]["wall_seconds"].get<double>(),
              doc["runs"][0]["wall_seconds"].get<double>() + doc["runs"][1]["wall_seconds"].get<double>());

    // One file, named by the id, holding byte for byte what was printed;
    // no temporary file is left.
    ASSERT_EQ(results.Names(), std::vector<std::string>{id + ".json"});
    EXPECT_EQ(ReadFile(results.Path() + "/" + id + ".json"), done.Out);
}

TEST_F(RunnerSavingTest, TextOutputSavesTooAndNoSaveSavesNothing) {
    const TempFolder results;
    RunnerProcess saving({}, std::getenv("DISPLAY"), nullptr, SavingIn(results.Path()));
    const Finished saved = saving.Wait();
    ASSERT_EQ(saved.ExitCode, 0) << saved.Err;
    EXPECT_EQ(Lines(saved.Out).size(), 2u) << saved.Out;
    const std::vector<std::string> names = results.Names();
    ASSERT_EQ(names.size(), 1u);
    const nlohmann::json doc = RunnerDocument(ReadFile(results.Path() + "/" + names[0]));
    EXPECT_EQ(doc["session"]["id"].get<std::string>() + ".json", names[0]);
    EXPECT_EQ(doc["session"]["machine"], HostName().empty() ? "unknown" : HostName());
    EXPECT_TRUE(doc["session"]["label"].is_null());
    EXPECT_EQ(doc["session"]["tags"], nlohmann::json::array());
    // The lines printed are the saved run's.
    EXPECT_EQ(Lines(saved.Out)[0], doc["runs"][0]["cpu"]["line"]);

    // Not even the folder is made.
    const std::string untouched = results.Path() + "/not-made";
    RunnerProcess notSaving({"--no-save", "--json"}, std::getenv("DISPLAY"), nullptr, SavingIn(untouched));
    const Finished done = notSaving.Wait();
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    RunnerDocument(done.Out);
    EXPECT_FALSE(std::filesystem::exists(untouched));
}

// A folder that cannot be made (below a plain file: refused even to root)
// fails the session after its results are out, and says where and why.
TEST_F(RunnerSavingTest, AFolderThatCannotBeWrittenFailsAfterTheResults) {
    const TempFolder scratch;
    std::ofstream(scratch.Path() + "/plain") << "not a folder\n";
    const std::string folder = scratch.Path() + "/plain/results";
    RunnerProcess runner({}, std::getenv("DISPLAY"), nullptr, SavingIn(folder));
    const Finished done = runner.Wait();
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(Lines(done.Out).size(), 2u) << done.Out;
    const std::vector<std::string> err = Lines(WithoutBusyWarning(done.Err));
    ASSERT_EQ(err.size(), 1u) << done.Err;
    EXPECT_EQ(err[0].rfind("qmk-run: the session was not saved: ", 0), 0u) << err[0];
    EXPECT_NE(err[0].find(scratch.Path() + "/plain"), std::string::npos) << err[0];
    EXPECT_EQ(scratch.Names(), std::vector<std::string>{"plain"});
}

// The last text the line showed before the terminal's end, and what came
// after the last erasing.
std::string AfterLastErase(const std::string& shown) {
    const std::size_t at = shown.rfind(Erase);
    return at == std::string::npos ? shown : shown.substr(at + Erase.size());
}

TEST_F(RunnerSavingTest, OnATerminalTheLineShowsEachTestAndIsErasedAtTheEnd) {
    const TempFolder results;
    RunnerProcess runner({"--runs", "2"}, nullptr, nullptr, SavingIn(results.Path()), Terminal{});
    const Finished done = runner.Wait();
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    EXPECT_EQ(Lines(done.Out).size(), 2u * 2 + 3) << done.Out;  // two runs, the summary
    const std::string& shown = done.Err;
    // Each test of each run, rewritten in place; the second run's with the
    // first run's scores, as printed.
    const std::vector<std::string> lines = Lines(done.Out);
    const std::regex score(R"(：(\d+) )");
    std::smatch cpu, video;
    ASSERT_TRUE(std::regex_search(lines[0], cpu, score) && std::regex_search(lines[1], video, score));
    for (const std::string& text :
         {std::string("qmk-run: run 1 of 2, CPU test"), std::string("qmk-run: run 1 of 2, video test"),
          "qmk-run: run 2 of 2, CPU test (last: CPU " + cpu[1].str() + ", video " + video[1].str() + ")",
          "qmk-run: run 2 of 2, video test (last: CPU " + cpu[1].str() + ", video " + video[1].str() + ")"}) {
        EXPECT_NE(shown.find("\r" + text + "\x1b[K"), std::string::npos) << text << "\n" << ::testing::PrintToString(shown);
    }
    // Erased before the end: after the last erasing only the word about the
    // saved session (and the warning of a loaded machine).
    const std::vector<std::string> names = results.Names();
    ASSERT_EQ(names.size(), 1u);
    const std::string id = names[0].substr(0, names[0].size() - 5);
    EXPECT_EQ(WithoutBusyWarning(AfterLastErase(shown)),
              "qmk-run: session " + id + " saved in " + results.Path() + "\n")
        << ::testing::PrintToString(shown);
}

TEST_F(RunnerSavingTest, OnATerminalASignalErasesTheLineAndSavesNothing) {
    const TempFolder results;
    RunnerProcess runner({"--runs", "3"}, nullptr, nullptr, SavingIn(results.Path()), Terminal{});
    ASSERT_TRUE(runner.WaitForError("run 1 of 3, CPU test"));
    ASSERT_EQ(kill(runner.Pid(), SIGINT), 0);
    const Finished done = runner.Wait(30s);
    EXPECT_EQ(done.ExitCode, 130);
    EXPECT_EQ(AfterLastErase(done.Err), "") << ::testing::PrintToString(done.Err);
    EXPECT_TRUE(results.Names().empty()) << ::testing::PrintToString(results.Names());
}

}  // namespace
}  // namespace qmk::test
