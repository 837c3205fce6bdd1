#include "runner/results/SessionStore.h"
#include "runner/results/SessionDocument.h"
#include "runner/results/SessionSamples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qmk::results {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

class ScratchFolder {
public:
    ScratchFolder() {
        path_ = fs::temp_directory_path() /
                ("qmk-store-test-" + NewSessionId(std::chrono::system_clock::now()));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(SessionId, HasTheUtcTimeAndEightHexDigits) {
    // 2026-12-08 01:15:02.900 UTC: the fraction is cut, not rounded.
    const auto start = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} + std::chrono::hours{1} +
                       std::chrono::minutes{15} + std::chrono::milliseconds{2900};
    const std::string id = NewSessionId(start);
    EXPECT_EQ(id.substr(0, 17), "20261208T011502Z-");
    EXPECT_TRUE(IsSessionId(id)) << id;
    EXPECT_NE(NewSessionId(start), NewSessionId(start));
}

TEST(SessionId, OnlyTheStoresOwnFormNamesAFile) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"20261208T011502Z-8f3a2c1d", true},
        {"20261208T011502Z-8F3A2C1D", false},
        {"20261208T011502Z-8f3a2c1", false},
        {"20261208T011502Z-8f3a2c1d0", false},
        {"20261208 011502Z-8f3a2c1d", false},
        {"../../etc/passwd-8f3a2c1d", false},
        {"2026120XT011502Z-8f3a2c1d", false},
        {"20261208T011502Z/8f3a2c1d", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSessionId(c.text), c.valid) << c.text;
}

TEST(SessionStore, SavesTheTextUnderItsIdCreatingTheFolder) {
    ScratchFolder scratch;
    const fs::path folder = scratch.Path() / "a" / "b";
    const std::string text = "{\"x\": 1}\n";
    const std::string id = SaveSessionDocument(folder, "20261208T011502Z-8f3a2c1d", text);
    EXPECT_EQ(id, "20261208T011502Z-8f3a2c1d");
    EXPECT_EQ(ReadAll(folder / (id + ".json")), text);
    EXPECT_EQ(Names(folder), std::set<std::string>{id + ".json"});
}

TEST(SessionStore, ANameClashDrawsANewRandomPartAndKeepsTheOldFile) {
    ScratchFolder scratch;
    const std::string first = SaveSessionDocument(scratch.Path(), "20261208T011502Z-00000000", "first");
    const std::string second = SaveSessionDocument(scratch.Path(), "20261208T011502Z-00000000", "second");
    EXPECT_EQ(first, "20261208T011502Z-00000000");
    EXPECT_NE(second, first);
    EXPECT_EQ(second.substr(0, 17), "20261208T011502Z-");
    EXPECT_TRUE(IsSessionId(second));
    EXPECT_EQ(ReadAll(scratch.Path() / (first + ".json")), "first");
    EXPECT_EQ(ReadAll(scratch.Path() / (second + ".json")), "second");
    EXPECT_EQ(Names(scratch.Path()).size(), 2u);
}

TEST(SessionStore, RefusesAnIdThatIsNotOneAndWritesNothing) {
    ScratchFolder scratch;
    EXPECT_THROW(SaveSessionDocument(scratch.Path(), "../escape", "x"), std::runtime_error);
    EXPECT_TRUE(Names(scratch.Path()).empty());
}

#ifndef _WIN32
TEST(SessionStore, AFolderItCannotWriteGivesTheFolderAndReasonAndLeavesNothing) {
    ScratchFolder scratch;
    // Root writes into read-only folders; not into /sys.
    const fs::path folder = geteuid() == 0 ? fs::path("/sys") : scratch.Path();
    if (geteuid() != 0) fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    const std::set<std::string> before = Names(folder);
    try {
        SaveSessionDocument(folder, "20261208T011502Z-8f3a2c1d", "x");
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("'" + folder.string() + "/.20261208T011502Z-8f3a2c1d.json.tmp-"),
                  std::string::npos)
            << error.what();
        EXPECT_NE(std::string(error.what()).find("Permission denied"), std::string::npos) << error.what();
    }
    fs::permissions(scratch.Path(), fs::perms::owner_all);
    EXPECT_EQ(Names(folder), before);
}
#endif

TEST(SessionStore, AFileWhereTheFolderShouldBeIsAnErrorNamingIt) {
    ScratchFolder scratch;
    std::ofstream(scratch.Path() / "file") << "x";
    try {
        SaveSessionDocument(scratch.Path() / "file" / "results", "20261208T011502Z-8f3a2c1d", "x");
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("results"), std::string::npos) << error.what();
    }
}

TEST(ResultsFolder, TheVariablesInOrder) {
    const char* saved[] = {std::getenv("QMK_RESULTS_DIR"), std::getenv("XDG_DATA_HOME"), std::getenv("HOME")};
    const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
    SetVariable("QMK_RESULTS_DIR", "/r");
    SetVariable("XDG_DATA_HOME", "/d");
    SetVariable("HOME", "/h");
#ifndef _WIN32
    EXPECT_EQ(ResultsFolder(), fs::path("/r"));
    SetVariable("QMK_RESULTS_DIR", nullptr);
    EXPECT_EQ(ResultsFolder(), fs::path("/d/qmk/results"));
    SetVariable("XDG_DATA_HOME", "relative");
    EXPECT_EQ(ResultsFolder(), fs::path("/h/.local/share/qmk/results"));
    SetVariable("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(ResultsFolder(), fs::path("/h/.local/share/qmk/results"));
    SetVariable("HOME", nullptr);
    EXPECT_THROW(ResultsFolder(), std::runtime_error);
#else
    EXPECT_EQ(ResultsFolder(), fs::path("/r"));
#endif
    SetVariable("QMK_RESULTS_DIR", saved[0] ? keep[0].c_str() : nullptr);
    SetVariable("XDG_DATA_HOME", saved[1] ? keep[1].c_str() : nullptr);
    SetVariable("HOME", saved[2] ? keep[2].c_str() : nullptr);
}

}  // namespace
}  // namespace qmk::results

namespace qmk::results {
namespace {

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(LoadFolder, DamagedFilesAreNamedAndSkippedTheRestIsRead) {
    ScratchFolder scratch;
    const fs::path& folder = scratch.Path();
    const Session good = testing::FullSession("20261208T011502Z-00000001");
    const std::string goodText = SessionToJson(good).dump(2);
    SaveSessionDocument(folder, good.Id, goodText);
    SaveSessionDocument(folder, "20261201T000000Z-00000002",
                        SessionToJson(testing::FullSession("20261201T000000Z-00000002")).dump());
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } damaged[] = {
        {"20261208T011503Z-0000000a.json", goodText.substr(0, goodText.size() / 2), "not JSON"},
        {"20261208T011503Z-0000000b.json", "not json at all", "not JSON"},
        {"20261208T011503Z-0000000c.json", "", "not JSON"},
        {"20261208T011503Z-0000000d.json", "{\"schema\":\"qmk-session\",\"schema_version\":7}", "schema version 7"},
        {"copy of a session.json", goodText, "the name is not that of a saved session"},
    };
    for (const auto& d : damaged) WriteFile(folder / d.name, d.text);
    // A writer's temporary file and what is not a document are not looked at.
    WriteFile(folder / ".20261208T011504Z-00000003.json.tmp-abcdef", "{");
    WriteFile(folder / "notes.txt", "x");
    fs::create_directories(folder / "sub.json");

    // Saved under a new name after a clash: the name is the id.
    WriteFile(folder / "20261208T011502Z-0000000f.json", goodText);

    const FolderContents contents = LoadFolder(folder);
    ASSERT_EQ(contents.Sessions.size(), 3u);
    EXPECT_EQ(contents.Sessions[0].Data.Id, "20261201T000000Z-00000002");
    EXPECT_EQ(contents.Sessions[1].Data, good);
    EXPECT_EQ(contents.Sessions[2].Data.Id, "20261208T011502Z-0000000f");
    EXPECT_EQ(contents.Sessions[2].Data.Runs, good.Runs);
    std::vector<std::string> skipped;
    for (const SkippedFile& s : contents.Skipped) skipped.push_back(s.File.filename().string() + ": " + s.Reason);
    ASSERT_EQ(skipped.size(), 6u) << ::testing::PrintToString(skipped);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(skipped[i].rfind(damaged[i].name, 0), 0u) << skipped[i];
        EXPECT_NE(skipped[i].find(damaged[i].reason), std::string::npos) << skipped[i];
    }
    EXPECT_EQ(skipped[5].rfind("sub.json: ", 0), 0u) << skipped[5];
}

TEST(LoadFolder, AFolderThatIsNotThereHoldsNothing) {
    const FolderContents contents = LoadFolder(fs::temp_directory_path() / "qmk-no-such-folder-20261208");
    EXPECT_TRUE(contents.Sessions.empty());
    EXPECT_TRUE(contents.Skipped.empty());
}

TEST(LoadFolder, ReadSessionFileNamesTheFileAndTheField) {
    ScratchFolder scratch;
    nlohmann::json document = SessionToJson(testing::FullSession());
    document["runs"][1]["video"]["samples"][0] = -3;
    WriteFile(scratch.Path() / "x.json", document.dump());
    try {
        ReadSessionFile(scratch.Path() / "x.json");
        FAIL() << "accepted";
    } catch (const DocumentError& error) {
        EXPECT_EQ(std::string(error.what()), "'" + (scratch.Path() / "x.json").string() +
                                                 "': runs[1].video.samples[0]: must be a whole number from 0 to "
                                                 "2147483647, got -3");
    }
}

TEST(RemoveSession, RemovesOnlyAWholeIdThatIsThere) {
    ScratchFolder scratch;
    SaveSessionDocument(scratch.Path(), "20261208T011502Z-8f3a2c1d", "{}");
    EXPECT_THROW(RemoveSession(scratch.Path(), "20261208T011502Z"), std::runtime_error);
    EXPECT_THROW(RemoveSession(scratch.Path(), "20261208T011502Z-00000000"), std::runtime_error);
    RemoveSession(scratch.Path(), "20261208T011502Z-8f3a2c1d");
    EXPECT_TRUE(Names(scratch.Path()).empty());
}

TEST(WriteFileAtomically, ReplacesTheWholeFileAndLeavesNoTemporary) {
    ScratchFolder scratch;
    const fs::path file = scratch.Path() / "qmk.prom";
    WriteFile(file, "old contents that are longer");
    WriteFileAtomically(file, "new");
    EXPECT_EQ(ReadAll(file), "new");
    EXPECT_EQ(Names(scratch.Path()), std::set<std::string>{"qmk.prom"});
    EXPECT_THROW(WriteFileAtomically(scratch.Path() / "missing" / "x.prom", "x"), std::runtime_error);
}

}  // namespace
}  // namespace qmk::results
