// What was found to hold when the program was tried against hostile
// surroundings, kept true: servers of every usual format and one without
// RENDER, no fonts at all, a locale that does not exist, and the X server
// or the runner's connection killed in either test.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "RunnerProcess.h"
#include "platform/x11/XvfbServer.h"

// Last: it brings Xlib, whose macros (None, Bool) the headers above use as names.
#include "KillClient.h"

namespace qmk::test {
namespace {

// Two result lines, each with its label and a percentage.
void ExpectTwoResultLines(const Finished& done) {
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    const std::vector<std::string> lines = Lines(done.Out);
    ASSERT_EQ(lines.size(), 2u) << done.Out;
    EXPECT_EQ(lines[0].rfind("ＣＰＵ：", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("ビデオ：", 0), 0u) << lines[1];
    for (const std::string& line : lines) EXPECT_NE(line.find("%)"), std::string::npos) << line;
}

struct ServerFormat {
    const char* Name;
    int Depth;
    std::vector<std::string> Arguments;
};

void PrintTo(const ServerFormat& format, std::ostream* out) { *out << format.Name; }

class RunnerServerFormatTest : public ::testing::TestWithParam<ServerFormat> {};

TEST_P(RunnerServerFormatTest, ARunOnTheServerGivesBothLines) {
    platform::x11::XvfbServer::Options options;
    options.Depth = GetParam().Depth;
    options.ExtraArguments = GetParam().Arguments;
    platform::x11::XvfbServer server(options);
    RunnerProcess runner({}, server.DisplayName().c_str());
    ExpectTwoResultLines(runner.Wait());
}

INSTANTIATE_TEST_SUITE_P(
    UsualFormats, RunnerServerFormatTest,
    ::testing::Values(ServerFormat{"PseudoColor8", 8, {}}, ServerFormat{"Depth15", 15, {}},
                      ServerFormat{"Depth16", 16, {}}, ServerFormat{"Depth30", 30, {}},
                      ServerFormat{"WithoutRender", 24, {"-extension", "RENDER"}}),
    [](const ::testing::TestParamInfo<ServerFormat>& info) { return std::string(info.param.Name); });

TEST(RunnerSurroundingsTest, NoFontsAndABogusLocaleStillRun) {
    char name[] = "/tmp/qmk-no-fonts-XXXXXX";
    const std::string folder = mkdtemp(name);
    const std::string config = folder + "/fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" << folder
                          << "</cachedir></fontconfig>\n";
    RunnerProcess noFonts({}, std::getenv("DISPLAY"), nullptr,
                          [&config] { setenv("FONTCONFIG_FILE", config.c_str(), 1); });
    ExpectTwoResultLines(noFonts.Wait());
    RunnerProcess bogus({}, std::getenv("DISPLAY"), nullptr, [] { setenv("LC_ALL", "xx_YY.bogus", 1); });
    ExpectTwoResultLines(bogus.Wait());
    std::system(("rm -rf '" + folder + "'").c_str());
}

enum class Victim { Server, Client };

struct KillCase {
    const char* Name;
    Victim What;
    // From the main window's appearance: the run then aligns to a second
    // (at most one), runs the CPU test for two seconds, aligns again and
    // runs the video test for three.
    std::chrono::milliseconds After;
};

void PrintTo(const KillCase& c, std::ostream* out) { *out << c.Name; }

class RunnerKilledTest : public ::testing::TestWithParam<KillCase> {};

TEST_P(RunnerKilledTest, TheRunnerEndsWithStatusOneAndSaysWhy) {
    const KillCase& c = GetParam();
    RunnerProcess runner({"--runs", "2"}, nullptr);
    const std::optional<pid_t> server = runner.WaitForServer();
    ASSERT_TRUE(server.has_value());
    const std::optional<std::string> display = DisplayOf(*server);
    ASSERT_TRUE(display.has_value());
    ASSERT_TRUE(WaitForMainWindow(*display));
    std::this_thread::sleep_for(c.After);
    const auto killed = Clock::now();
    if (c.What == Victim::Server) {
        ASSERT_EQ(kill(*server, SIGKILL), 0);
    } else {
        KillFirstClientOf(*display);
    }
    const Finished done = runner.Wait(60s);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(WithoutBusyWarning(done.Err), "qmk-run: lost the connection to the X server\n");
    // Within moments (0.6 s on an idle machine); the bound allows for a
    // loaded one.
    EXPECT_LT(Clock::now() - killed, 15s);
    EXPECT_FALSE(Alive(*server));
}

INSTANTIATE_TEST_SUITE_P(
    BothTests, RunnerKilledTest,
    ::testing::Values(KillCase{"ServerInTheCpuTest", Victim::Server, 1500ms},
                      KillCase{"ServerInTheVideoTest", Victim::Server, 5000ms},
                      KillCase{"ClientInTheVideoTest", Victim::Client, 5000ms}),
    [](const ::testing::TestParamInfo<KillCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace qmk::test
