#include "runner/results/SessionStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

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
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    ScratchFolder scratch;
    fs::permissions(scratch.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    try {
        SaveSessionDocument(scratch.Path(), "20261208T011502Z-8f3a2c1d", "x");
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(scratch.Path().string()), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("Permission denied"), std::string::npos) << error.what();
    }
    fs::permissions(scratch.Path(), fs::perms::owner_all);
    EXPECT_TRUE(Names(scratch.Path()).empty());
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
