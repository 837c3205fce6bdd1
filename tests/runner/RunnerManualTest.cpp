// qmk-run's manual page and its --help text describe the same command
// line: the same options with the same value placeholders, and the same
// exit codes. The page is read in its source form.
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runner/RunnerOptions.h"

namespace qmk::test {
namespace {

const std::string PagePath = std::string(QMK_SOURCE_DIR) + "/packaging/man/qmk-run.1.in";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::string ReadPage() {
    std::ifstream in(PagePath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> SplitList(const std::string& text) {
    std::set<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(", ", start);
        const std::size_t end = comma == std::string::npos ? text.size() : comma;
        if (end > start) items.insert(text.substr(start, end - start));
        if (comma == std::string::npos) break;
        start = comma + 2;
    }
    return items;
}

// The text a font macro line prints: ".BI \-\-runs \" N\"" gives "--runs N".
// Alternating-font macros (.BI, .BR, .IR, ...) join their arguments
// without spaces; .B and .I join them with one.
std::string MacroText(const std::string& line) {
    const std::size_t space = line.find(' ');
    const std::string macro = line.substr(0, space);
    std::vector<std::string> arguments;
    if (space != std::string::npos) {
        std::string current;
        bool quoted = false;
        bool any = false;
        for (std::size_t i = space + 1; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') {
                quoted = !quoted;
                any = true;
            } else if (c == ' ' && !quoted) {
                if (any) arguments.push_back(current);
                current.clear();
                any = false;
            } else {
                current += c;
                any = true;
            }
        }
        if (any) arguments.push_back(current);
    }
    std::string text;
    const bool alternating = macro.size() == 3;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0 && !alternating) text += ' ';
        text += arguments[i];
    }
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
        text.replace(at, 2, "-");
    }
    return text;
}

// The tags of the .TP items of one section of the page.
std::vector<std::string> SectionTags(const std::string& page, const std::string& section) {
    std::vector<std::string> tags;
    const std::vector<std::string> lines = Lines(page);
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(".SH ", 0) == 0) inside = lines[i] == ".SH " + section;
        if (inside && lines[i] == ".TP" && i + 1 < lines.size()) tags.push_back(MacroText(lines[i + 1]));
    }
    return tags;
}

// Option entries of the help text: indented lines that start with '-', up
// to the gap before their description.
std::set<std::string> HelpOptions(const std::string& help) {
    std::set<std::string> options;
    for (const std::string& line : Lines(help)) {
        if (line.rfind("  -", 0) != 0) continue;
        const std::size_t gap = line.find("  ", 2);
        for (const std::string& item : SplitList(line.substr(2, gap - 2))) options.insert(item);
    }
    return options;
}

std::set<int> Numbers(const std::string& text) {
    std::set<int> numbers;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        numbers.insert(std::stoi(text.substr(i, end - i)));
        i = end;
    }
    return numbers;
}

TEST(RunnerManualTest, PageListsTheOptionsOfTheHelpText) {
    const std::string page = ReadPage();
    ASSERT_FALSE(page.empty()) << PagePath;
    std::set<std::string> pageOptions;
    for (const std::string& tag : SectionTags(page, "OPTIONS")) {
        for (const std::string& item : SplitList(tag)) pageOptions.insert(item);
    }
    const std::set<std::string> helpOptions = HelpOptions(RunnerUsageText());
    // Neither list may be empty because its reading broke.
    EXPECT_TRUE(helpOptions.count("--runs N")) << ::testing::PrintToString(helpOptions);
    EXPECT_EQ(pageOptions, helpOptions);
}

TEST(RunnerManualTest, PageGivesTheExitCodesOfTheHelpText) {
    std::set<int> pageCodes;
    for (const std::string& tag : SectionTags(ReadPage(), "EXIT STATUS")) {
        for (const std::string& item : SplitList(tag)) pageCodes.insert(std::stoi(item));
    }
    const std::string help = RunnerUsageText();
    const std::size_t exitStatus = help.find("Exit status:");
    ASSERT_NE(exitStatus, std::string::npos);
    EXPECT_EQ(pageCodes, Numbers(help.substr(exitStatus)));
    EXPECT_TRUE(pageCodes.count(RunnerExitUsage));
}

}  // namespace
}  // namespace qmk::test
