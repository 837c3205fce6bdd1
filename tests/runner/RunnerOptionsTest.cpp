// qmk-run's command line: what each accepted form sets, and the one-line
// error of every refused one.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "runner/RunnerOptions.h"

namespace qmk::test {
namespace {

struct AcceptedCase {
    std::vector<std::string_view> Arguments;
    int Runs;
    bool Json;
    int Depth;  // 0: not given
    int Dpi;    // 0: not given
};

TEST(RunnerOptionsTest, AcceptsEachFormOfEachOption) {
    const std::vector<AcceptedCase> cases = {
        {{}, 1, false, 0, 0},
        {{"--runs", "3"}, 3, false, 0, 0},
        {{"--runs=12"}, 12, false, 0, 0},
        {{"--json"}, 1, true, 0, 0},
        {{"--runs", "2", "--json", "--display-depth", "16", "--dpi", "120"}, 2, true, 16, 120},
        {{"--display-depth=24", "--dpi=48"}, 1, false, 24, 48},
        {{"--dpi", "480"}, 1, false, 0, 480},
        {{"--runs", "1", "--runs", "5"}, 5, false, 0, 0},  // the last one counts
        {{"--runs", "2147483647"}, 2147483647, false, 0, 0},
    };
    for (const AcceptedCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Arguments));
        const RunnerOptions options = ParseRunnerOptions(c.Arguments);
        EXPECT_EQ(options.Runs, c.Runs);
        EXPECT_EQ(options.Json, c.Json);
        EXPECT_EQ(options.DisplayDepth.value_or(0), c.Depth);
        EXPECT_EQ(options.Dpi.value_or(0), c.Dpi);
        EXPECT_FALSE(options.Help);
        EXPECT_FALSE(options.Version);
    }
}

TEST(RunnerOptionsTest, HelpAndVersion) {
    EXPECT_TRUE(ParseRunnerOptions({"--help"}).Help);
    EXPECT_TRUE(ParseRunnerOptions({"-h"}).Help);
    EXPECT_TRUE(ParseRunnerOptions({"--version"}).Version);
    EXPECT_EQ(RunnerVersionText("1.0.0"), "qmk-run 1.0.0\n");
    const std::string usage = RunnerUsageText();
    for (const char* option : {"--runs", "--json", "--display-depth", "--dpi", "--help", "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

struct RefusedCase {
    std::vector<std::string_view> Arguments;
    std::string Message;
};

TEST(RunnerOptionsTest, RefusesWithOneLineNamingTheProblem) {
    const std::vector<RefusedCase> cases = {
        {{"--runs", "x"}, "qmk-run: --runs needs a number, got 'x'"},
        {{"--runs", ""}, "qmk-run: --runs needs a number, got ''"},
        {{"--runs", "3x"}, "qmk-run: --runs needs a number, got '3x'"},
        {{"--runs", "+3"}, "qmk-run: --runs needs a number, got '+3'"},
        {{"--runs", " 3"}, "qmk-run: --runs needs a number, got ' 3'"},
        {{"--runs", "1.5"}, "qmk-run: --runs needs a number, got '1.5'"},
        {{"--runs", "0"}, "qmk-run: --runs must be at least 1, got '0'"},
        {{"--runs", "-2"}, "qmk-run: --runs must be at least 1, got '-2'"},
        {{"--runs", "99999999999"}, "qmk-run: --runs is out of range, got '99999999999'"},
        {{"--runs"}, "qmk-run: --runs needs a number"},
        {{"--json", "--runs"}, "qmk-run: --runs needs a number"},
        // A missing value does not swallow the next option silently.
        {{"--runs", "--json"}, "qmk-run: --runs needs a number, got '--json'"},
        {{"--runs="}, "qmk-run: --runs needs a number, got ''"},
        {{"--display-depth", "8"}, "qmk-run: --display-depth must be 16 or 24, got '8'"},
        {{"--display-depth", "32"}, "qmk-run: --display-depth must be 16 or 24, got '32'"},
        {{"--display-depth", "deep"}, "qmk-run: --display-depth needs a number, got 'deep'"},
        {{"--display-depth"}, "qmk-run: --display-depth needs a number"},
        {{"--dpi", "47"}, "qmk-run: --dpi must be between 48 and 480, got '47'"},
        {{"--dpi", "481"}, "qmk-run: --dpi must be between 48 and 480, got '481'"},
        {{"--dpi", "-96"}, "qmk-run: --dpi must be between 48 and 480, got '-96'"},
        {{"--dpi"}, "qmk-run: --dpi needs a number"},
        {{"--json=yes"}, "qmk-run: --json takes no value, got 'yes'"},
        {{"--help=1"}, "qmk-run: --help takes no value, got '1'"},
        {{"--fast"}, "qmk-run: unknown option '--fast' (see --help)"},
        {{"--fast=1"}, "qmk-run: unknown option '--fast' (see --help)"},
        {{"-r"}, "qmk-run: unknown option '-r' (see --help)"},
        {{"3"}, "qmk-run: unexpected argument '3' (see --help)"},
        {{"--runs", "2", "extra"}, "qmk-run: unexpected argument 'extra' (see --help)"},
        {{"--timeout", "-1"}, "qmk-run: --timeout must be between 0 and 86400 seconds, got '-1'"},
        {{"--timeout", "86401"}, "qmk-run: --timeout must be between 0 and 86400 seconds, got '86401'"},
        {{"--timeout", "1m"}, "qmk-run: --timeout needs a number, got '1m'"},
        {{"--timeout"}, "qmk-run: --timeout needs a number"},
        // What the user typed comes back quoted, never as raw control bytes.
        {{"--runs", "\x1b]0;owned\x07"}, "qmk-run: --runs needs a number, got '\\x1b]0;owned\\x07'"},
        {{"--\x1b[2J"}, "qmk-run: unknown option '--\\x1b[2J' (see --help)"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Arguments));
        try {
            ParseRunnerOptions(c.Arguments);
            ADD_FAILURE() << "accepted";
        } catch (const RunnerUsageError& error) {
            EXPECT_EQ(error.what(), c.Message);
        }
    }
}

struct SessionCase {
    std::vector<std::string_view> Arguments;
    bool Save;
    std::optional<std::string> Label;
    std::vector<std::string> Tags;
    std::optional<std::string> Machine;
};

TEST(RunnerOptionsTest, DescribesTheSavedSession) {
    const std::string longest(MaxLabelBytes, 'x');
    const std::vector<SessionCase> cases = {
        {{}, true, std::nullopt, {}, std::nullopt},
        {{"--no-save"}, false, std::nullopt, {}, std::nullopt},
        {{"--label", "after the driver update"}, true, "after the driver update", {}, std::nullopt},
        {{"--label=--fast"}, true, "--fast", {}, std::nullopt},
        {{"--tag", "nightly", "--tag=kernel-6.1", "--tag", "nightly"}, true, std::nullopt,
         {"nightly", "kernel-6.1"}, std::nullopt},
        {{"--machine", "ラボ-3", "--no-save"}, false, std::nullopt, {}, "ラボ-3"},
        {{"--label", longest}, true, longest, {}, std::nullopt},
    };
    for (const SessionCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Arguments));
        const RunnerOptions options = ParseRunnerOptions(c.Arguments);
        EXPECT_EQ(options.Save, c.Save);
        EXPECT_EQ(options.Label, c.Label);
        EXPECT_EQ(options.Tags, c.Tags);
        EXPECT_EQ(options.Machine, c.Machine);
    }
}

TEST(RunnerOptionsTest, RefusesTextsThatCannotDescribeASession) {
    std::vector<std::string> manyTags;
    for (std::size_t i = 0; i <= MaxTags; ++i) manyTags.push_back("--tag=t" + std::to_string(i));
    const std::vector<std::string_view> tooMany(manyTags.begin(), manyTags.end());
    const std::string tooLong(MaxLabelBytes + 1, 'x');
    const std::string tooLongTag(MaxTagBytes + 1, 't');
    const std::string tooLongMachine(MaxMachineBytes + 1, 'm');
    const std::vector<RefusedCase> cases = {
        {{"--label"}, "qmk-run: --label needs a text"},
        {{"--label", "--json"},
         "qmk-run: --label needs a text, got '--json' (write --label=--json if that is the text)"},
        {{"--label="}, "qmk-run: --label must not be empty, got ''"},
        {{"--label", tooLong},
         "qmk-run: --label must be at most 200 bytes, got '" + std::string(60, 'x') + "'... (201 bytes)"},
        {{"--label", "a", "--label", "b"}, "qmk-run: --label may be given once"},
        {{"--label", "two\nlines"}, "qmk-run: --label must not contain control characters, got 'two\\nlines'"},
        {{"--label", "\x1b[31mred"},
         "qmk-run: --label must not contain control characters, got '\\x1b[31mred'"},
        {{"--label", "del\x7f"}, "qmk-run: --label must not contain control characters, got 'del\\x7f'"},
        {{"--label", "c1 \xc2\x9b"},
         "qmk-run: --label must not contain control characters, got 'c1 \\u{009b}'"},
        {{"--label", "rtl \xe2\x80\xae"},
         "qmk-run: --label must not contain control characters, got 'rtl \\u{202e}'"},
        {{"--label", "latin1 \xe9t\xe9"}, "qmk-run: --label must be UTF-8, got 'latin1 \\xe9t\\xe9'"},
        {{"--tag", ""}, "qmk-run: --tag must not be empty, got ''"},
        {{"--tag", tooLongTag},
         "qmk-run: --tag must be at most 64 bytes, got '" + std::string(60, 't') + "'... (65 bytes)"},
        {tooMany, "qmk-run: --tag may be given at most 32 times"},
        {{"--machine", "a\tb"}, "qmk-run: --machine must not contain control characters, got 'a\\tb'"},
        {{"--machine", tooLongMachine},
         "qmk-run: --machine must be at most 64 bytes, got '" + std::string(60, 'm') + "'... (65 bytes)"},
        {{"--machine", "a", "--machine", "b"}, "qmk-run: --machine may be given once"},
        {{"--no-save=1"}, "qmk-run: --no-save takes no value, got '1'"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Arguments));
        try {
            ParseRunnerOptions(c.Arguments);
            ADD_FAILURE() << "accepted";
        } catch (const RunnerUsageError& error) {
            EXPECT_EQ(error.what(), c.Message);
        }
    }
}

TEST(RunnerOptionsTest, TimeoutDefaultsToAMinuteAndZeroMeansNone) {
    EXPECT_EQ(ParseRunnerOptions({}).TimeoutSeconds, 60);
    EXPECT_EQ(ParseRunnerOptions({"--timeout", "5"}).TimeoutSeconds, 5);
    EXPECT_EQ(ParseRunnerOptions({"--timeout=0"}).TimeoutSeconds, 0);
    EXPECT_EQ(ParseRunnerOptions({"--timeout", "86400"}).TimeoutSeconds, 86400);
    EXPECT_NE(RunnerUsageText().find("--timeout SECONDS"), std::string::npos);
}

TEST(RunnerOptionsTest, QuotedArgumentsShowWhatIsThereWithoutActingOnTheTerminal) {
    struct Case {
        std::string Text;
        std::string Shown;
    };
    const std::vector<Case> cases = {
        {"", "''"},
        {"plain text 1.5", "'plain text 1.5'"},
        {"it's a \\", "'it\\'s a \\\\'"},
        {"\t\n\r", "'\\t\\n\\r'"},
        {std::string("a\0b", 3), "'a\\x00b'"},
        {"\x1b[31mred\x7f", "'\\x1b[31mred\\x7f'"},
        // Valid UTF-8 stays readable; broken sequences show their bytes.
        {"\xe3\x82\xb9\xe3\x82\xbf\xe3\x83\xbc\xe3\x83\x88", "'\xe3\x82\xb9\xe3\x82\xbf\xe3\x83\xbc\xe3\x83\x88'"},
        {"\xff\xe3\x82", "'\\xff\\xe3\\x82'"},
        {"\xc0\xaf", "'\\xc0\\xaf'"},          // overlong '/'
        {"\xed\xa0\x80", "'\\xed\\xa0\\x80'"},  // a surrogate
        // C1 controls (0x9B is a one-byte CSI) and characters that hide or
        // reorder text.
        {"\xc2\x9b" "2J", "'\\u{009b}2J'"},
        {"abc\xe2\x80\xae" "dcb", "'abc\\u{202e}dcb'"},
        {"\xef\xbb\xbf" "x", "'\\u{feff}x'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Text));
        EXPECT_EQ(QuotedArgument(c.Text), c.Shown);
    }
}

TEST(RunnerOptionsTest, LongArgumentsAreCutAtACharacterWithTheirLengthSaid) {
    EXPECT_EQ(QuotedArgument(std::string(60, 'a')), "'" + std::string(60, 'a') + "'");
    EXPECT_EQ(QuotedArgument(std::string(100000, 'x')),
              "'" + std::string(60, 'x') + "'... (100000 bytes)");
    // A three-byte character that starts at byte 59 is shown whole.
    const std::string text = std::string(59, 'a') + "\xe3\x82\xb9" + std::string(50, 'b');
    EXPECT_EQ(QuotedArgument(text), "'" + std::string(59, 'a') + "\xe3\x82\xb9'... (112 bytes)");
    const std::string huge(100000, 'z');
    try {
        ParseRunnerOptions({huge});
        ADD_FAILURE() << "accepted";
    } catch (const RunnerUsageError& error) {
        EXPECT_LT(std::string(error.what()).size(), 140u);
    }
}

TEST(RunnerOptionsTest, ServerFormatOnlyWithoutAGivenDisplay) {
    RunnerOptions plain;
    RunnerOptions depth;
    depth.DisplayDepth = 16;
    RunnerOptions dpi;
    dpi.Dpi = 120;
    EXPECT_NO_THROW(CheckOptionsForDisplay(plain, ":0"));
    EXPECT_NO_THROW(CheckOptionsForDisplay(depth, nullptr));
    EXPECT_NO_THROW(CheckOptionsForDisplay(dpi, ""));
    EXPECT_THROW(CheckOptionsForDisplay(depth, ":0"), RunnerUsageError);
    try {
        CheckOptionsForDisplay(dpi, ":7");
        ADD_FAILURE() << "accepted";
    } catch (const RunnerUsageError& error) {
        const std::string text = error.what();
        EXPECT_EQ(text.rfind("qmk-run: --dpi ", 0), 0u) << text;
        EXPECT_NE(text.find("':7'"), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
    }
}

// Where the runner cannot start a server of its own, the format options
// are refused whatever DISPLAY says, and neither the message nor the help
// sends the user to DISPLAY or Xvfb.
TEST(RunnerOptionsTest, ServerFormatRefusedWhereNoPrivateServerCanStart) {
    RunnerOptions plain;
    RunnerOptions dpi;
    dpi.Dpi = 120;
    RunnerOptions depth;
    depth.DisplayDepth = 16;
    EXPECT_NO_THROW(CheckOptionsForDisplay(plain, "desktop", false));
    for (const RunnerOptions* options : {&dpi, &depth}) {
        for (const char* display : {"desktop", "", static_cast<const char*>(nullptr)}) {
            try {
                CheckOptionsForDisplay(*options, display, false);
                ADD_FAILURE() << "accepted";
            } catch (const RunnerUsageError& error) {
                const std::string text = error.what();
                EXPECT_NE(text.find(" is not available here"), std::string::npos) << text;
                EXPECT_EQ(text.find("DISPLAY"), std::string::npos) << text;
            }
        }
    }
    const std::string help = RunnerUsageText(false);
    EXPECT_EQ(help.find("Xvfb"), std::string::npos);
    EXPECT_EQ(help.find("DISPLAY"), std::string::npos);
    EXPECT_NE(help.find("--dpi N"), std::string::npos);
    EXPECT_NE(RunnerUsageText(true).find("private Xvfb"), std::string::npos);
}

}  // namespace
}  // namespace qmk::test
