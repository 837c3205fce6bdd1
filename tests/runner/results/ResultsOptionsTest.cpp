#include "runner/results/ResultsCommand.h"

#include <gtest/gtest.h>

namespace qmk::results {
namespace {

std::string UsageError(const std::vector<std::string_view>& arguments) {
    try {
        ParseResultsOptions(arguments);
    } catch (const ResultsUsageError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(ResultsOptions, CommandsWithTheirArguments) {
    const ResultsOptions compare = ParseResultsOptions({"compare", "a", "--force", "b", "c"});
    EXPECT_EQ(compare.Command, "compare");
    EXPECT_EQ(compare.Arguments, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(compare.Force);
    const ResultsOptions report = ParseResultsOptions({"report", "--output=r.html", "x"});
    EXPECT_EQ(report.Output, std::filesystem::path("r.html"));
    const ResultsOptions exported = ParseResultsOptions({"export", "--format", "prom", "-o", "q.prom"});
    EXPECT_EQ(exported.Format, ExportFormat::Prometheus);
    // After "--" a file may start with a dash.
    const ResultsOptions imported = ParseResultsOptions({"import", "--machine", "m", "--", "-file.json"});
    EXPECT_EQ(imported.Arguments, (std::vector<std::string>{"-file.json"}));
    EXPECT_EQ(imported.Machine, "m");
    EXPECT_TRUE(ParseResultsOptions({"--help"}).Help);
    EXPECT_TRUE(ParseResultsOptions({"list", "--version"}).Version);
}

TEST(ResultsOptions, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<std::string_view> arguments;
        const char* message;
    } table[] = {
        {{}, "qmk-results: no command given (see --help)"},
        {{"lst"}, "qmk-results: unknown command 'lst' (see --help)"},
        {{"list", "--frce"}, "qmk-results: unknown option '--frce' (see --help)"},
        {{"list", "x"}, "qmk-results: list takes no arguments, got 'x'"},
        {{"show"}, "qmk-results: show needs one session id (or latest)"},
        {{"show", "a", "b"}, "qmk-results: show needs one session id (or latest), got 2"},
        {{"compare", "a"}, "qmk-results: compare needs a base session and at least one new one"},
        {{"report"}, "qmk-results: report needs -o FILE.html"},
        {{"report", "-o"}, "qmk-results: -o needs a file name"},
        {{"report", "--output="}, "qmk-results: --output needs a file name"},
        {{"export"}, "qmk-results: export needs --format csv, json, prom or influx"},
        {{"export", "--format", "xml"}, "qmk-results: --format must be csv, json, prom or influx, got 'xml'"},
        {{"import"}, "qmk-results: import needs at least one file"},
        {{"remove"}, "qmk-results: remove needs one session id"},
        {{"list", "--force"}, "qmk-results: --force applies only to compare (see --help)"},
        {{"show", "x", "--format=csv"}, "qmk-results: --format applies only to export (see --help)"},
        {{"list", "-o", "f"}, "qmk-results: --output applies only to report and export (see --help)"},
        {{"compare", "a", "b", "--machine", "m"}, "qmk-results: --machine applies only to import (see --help)"},
        {{"compare", "a", "b", "--force=yes"}, "qmk-results: --force takes no value, got 'yes'"},
        {{"show", "\x1b[2J"}, "accepted"},
        {{"\x1b[2J"}, "qmk-results: unknown command '\\x1b[2J' (see --help)"},
    };
    for (const auto& row : table) EXPECT_EQ(UsageError(row.arguments), row.message);
}

}  // namespace
}  // namespace qmk::results
