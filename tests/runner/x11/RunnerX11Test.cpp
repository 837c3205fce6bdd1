// qmk-run as its users start it, as a child process: on the test's display,
// on a private Xvfb of its own when DISPLAY is unset, and stopped by a
// signal or by losing its X connection. Whatever way it ends, its Xvfb
// must be gone when it has exited.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "RunnerProcess.h"
#include "platform/x11/XvfbServer.h"
#include "runtime/NumberText.h"

// Last: it brings Xlib, whose macros (None, Bool) the headers above use as names.
#include "KillClient.h"

namespace qmk::test {
namespace {

// The lines as the result box shows them, in UTF-8: the score, then its
// percentage with two decimals or in the scientific form.
const std::regex CpuLine(R"(^ＣＰＵ：\d+ \((\d+\.\d\d|\d(\.\d+)?E\d+)%\)$)");
const std::regex VideoLine(R"(^ビデオ：\d+ \((\d+\.\d\d|\d(\.\d+)?E\d+)%\)$)");

// The percentage of a printed line is the runtime's for the printed score
// (the line after its 12-byte label: score, " (", percentage, "%)").
void ExpectRuntimePercentage(const std::string& line, std::int32_t reference) {
    const std::string rest = line.substr(std::min<std::size_t>(12, line.size()));
    const std::size_t open = rest.find(" (");
    ASSERT_TRUE(open != std::string::npos && rest.size() > open + 4) << line;
    const std::int32_t score = std::stoi(rest.substr(0, open));
    EXPECT_EQ(rest.substr(open + 2, rest.size() - open - 4), FixedText(ScorePercentage(score, reference), 8, 2))
        << line;
}

class RunnerX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(RunnerPath.c_str(), X_OK) != 0) FAIL() << RunnerPath << " is not built";
    }
};

TEST_F(RunnerX11Test, WithoutADisplayRunsOnItsOwnServerAndStopsIt) {
    RunnerProcess runner({"--runs", "1"}, nullptr);
    const std::optional<pid_t> server = runner.WaitForServer();
    ASSERT_TRUE(server.has_value()) << "no Xvfb child appeared";
    const Finished done = runner.Wait();
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    // A loaded machine (as under ctest -j) adds the warning about it.
    EXPECT_EQ(WithoutBusyWarning(done.Err), "");
    const std::vector<std::string> lines = Lines(done.Out);
    ASSERT_EQ(lines.size(), 2u) << done.Out;
    EXPECT_TRUE(std::regex_match(lines[0], CpuLine)) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], VideoLine)) << lines[1];
    ExpectRuntimePercentage(lines[0], 1992);
    ExpectRuntimePercentage(lines[1], 2370);
    EXPECT_FALSE(Alive(*server)) << "Xvfb " << *server << " outlived the runner";
}

TEST_F(RunnerX11Test, OnTheGivenDisplayPrintsOneJsonDocument) {
    RunnerProcess runner({"--json"}, std::getenv("DISPLAY"));
    const Finished done = runner.Wait();
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    const nlohmann::json doc = RunnerDocument(done.Out);
    ASSERT_EQ(doc["runs"].size(), 1u);
    const nlohmann::json& run = doc["runs"][0];
    EXPECT_TRUE(std::regex_match(run["cpu"]["line"].get<std::string>(), CpuLine)) << run;
    EXPECT_TRUE(std::regex_match(run["video"]["line"].get<std::string>(), VideoLine)) << run;
    EXPECT_GT(run["cpu"]["score"].get<int>(), 0);
    EXPECT_EQ(doc["summary"]["count"], 1);
    EXPECT_EQ(doc["environment"]["x_server"]["display"], std::getenv("DISPLAY"));
    EXPECT_EQ(doc["environment"]["x_server"]["private"], false);
    EXPECT_EQ(doc["environment"]["x_server"]["vendor"].get<std::string>().empty(), false);
    EXPECT_EQ(doc["environment"]["dpi"], 96);
    EXPECT_FALSE(doc["environment"]["locale"]["time_pattern"].get<std::string>().empty());
    EXPECT_FALSE(doc["build"]["type"].get<std::string>().empty());
    EXPECT_GT(doc["environment"]["processors"].get<int>(), 0);
    EXPECT_GE(doc["environment"]["load_average_1min"].get<double>(), 0.0);
    EXPECT_GE(run["load_average_1min"].get<double>(), 0.0);
    EXPECT_EQ(doc["environment"]["pixel_access"], "shared-memory");
}

TEST_F(RunnerX11Test, OverTcpThePixelsAreRequestsAndTheCpuScoreIsMarkedNotComparable) {
    platform::x11::XvfbServer::Options options;
    options.ExtraArguments = {"-listen", "tcp"};
    platform::x11::XvfbServer server(options);
    const std::string display = "localhost" + server.DisplayName();
    RunnerProcess runner({"--json"}, display.c_str());
    const Finished done = runner.Wait();
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    const nlohmann::json doc = RunnerDocument(done.Out);
    EXPECT_EQ(doc["environment"]["pixel_access"], "protocol");
    EXPECT_TRUE(std::regex_match(doc["runs"][0]["cpu"]["line"].get<std::string>(), CpuLine));
    EXPECT_EQ(WithoutBusyWarning(done.Err),
              "qmk-run: warning: the CPU test read and wrote the bitmap's pixels by requests to the X "
              "server (this display shares no memory with the program: a remote or TCP connection, or "
              "a server without shared pixmaps); its CPU scores are not comparable with shared-memory "
              "runs\n");
}

TEST_F(RunnerX11Test, PrivateServerTakesTheChosenDepthAndDpi) {
    RunnerProcess runner({"--json", "--display-depth", "16", "--dpi", "120"}, "");
    const Finished done = runner.Wait();
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    const nlohmann::json doc = RunnerDocument(done.Out);
    EXPECT_EQ(doc["environment"]["x_server"]["private"], true);
    EXPECT_EQ(doc["environment"]["x_server"]["depth"], 16);
    EXPECT_EQ(doc["environment"]["dpi"], 120);
    EXPECT_TRUE(std::regex_match(doc["runs"][0]["cpu"]["line"].get<std::string>(), CpuLine));
}

TEST_F(RunnerX11Test, AWindowDestroyedByAnotherProgramIsNamedAsTheCause) {
    const std::string display = std::getenv("DISPLAY");
    const TempFolder results;
    RunnerProcess runner({"--runs", "2"}, display.c_str(), nullptr, SavingIn(results.Path()));
    std::string window;
    {
        FILE* search = popen(("DISPLAY=" + display +
                              " timeout 20 xdotool search --sync --onlyvisible --name Plimbo 2>/dev/null")
                                 .c_str(),
                             "r");
        ASSERT_NE(search, nullptr);
        char line[64] = {};
        if (std::fgets(line, sizeof line, search) != nullptr) window = line;
        pclose(search);
    }
    while (!window.empty() && window.back() == '\n') window.pop_back();
    ASSERT_FALSE(window.empty());
    std::this_thread::sleep_for(1000ms);  // into the first run
    ASSERT_EQ(std::system(("DISPLAY=" + display + " xdotool windowclose " + window).c_str()), 0);
    const Finished done = runner.Wait(30s);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(done.Err, "qmk-run: the main window was destroyed by another program\n");
    // A failed run saves nothing, not even a temporary file.
    EXPECT_TRUE(results.Names().empty()) << ::testing::PrintToString(results.Names());
}

struct SignalCase {
    int Signal;
    int ExitCode;
};

// Neither the server's socket nor its lock file is left behind. Tests run
// side by side, so another test's server may already have taken the freed
// display number: its lock names a live process other than ours.
void ExpectNoLeftovers(const std::string& display, pid_t server) {
    const std::string number = display.substr(1);
    std::ifstream lock("/tmp/.X" + number + "-lock");
    pid_t holder = 0;
    if (lock >> holder && holder != server && holder > 0 && ::kill(holder, 0) == 0) return;
    struct stat info {};
    EXPECT_NE(stat(("/tmp/.X11-unix/X" + number).c_str(), &info), 0) << "socket of " << display << " left";
    EXPECT_NE(stat(("/tmp/.X" + number + "-lock").c_str(), &info), 0) << "lock of " << display << " left";
}

TEST_F(RunnerX11Test, ASignalStopsItsServerAndEndsWithTheSignalsCode) {
    for (const SignalCase c : {SignalCase{SIGINT, 130}, SignalCase{SIGTERM, 143}, SignalCase{SIGHUP, 129}}) {
        SCOPED_TRACE(c.Signal);
        const TempFolder results;
        RunnerProcess runner({"--runs", "3"}, nullptr, nullptr, SavingIn(results.Path()));
        const std::optional<pid_t> server = runner.WaitForServer();
        ASSERT_TRUE(server.has_value());
        const std::optional<std::string> display = DisplayOf(*server);
        ASSERT_TRUE(display.has_value());
        // Well into the first run: the window is up and the CPU phase runs.
        std::this_thread::sleep_for(1500ms);
        ASSERT_EQ(kill(runner.Pid(), c.Signal), 0);
        const Finished done = runner.Wait(30s);
        EXPECT_EQ(done.ExitCode, c.ExitCode) << done.Err;
        EXPECT_EQ(done.Out, "");
        EXPECT_FALSE(Alive(*server)) << "Xvfb " << *server << " outlived the runner";
        ExpectNoLeftovers(*display, *server);
        EXPECT_TRUE(results.Names().empty()) << ::testing::PrintToString(results.Names());
    }
}

// nohup qmk-run: a hang-up that was ignored when the runner started stays
// ignored, and the run ends as usual.
TEST_F(RunnerX11Test, AnIgnoredHangUpStaysIgnored) {
    RunnerProcess runner({"--runs", "1"}, nullptr, nullptr, [] { signal(SIGHUP, SIG_IGN); });
    const std::optional<pid_t> server = runner.WaitForServer();
    ASSERT_TRUE(server.has_value());
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(kill(runner.Pid(), SIGHUP), 0);
    const Finished done = runner.Wait();
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    EXPECT_EQ(Lines(done.Out).size(), 2u) << done.Out;
    EXPECT_FALSE(Alive(*server));
}

// A server that stops answering (here: stopped) would keep the runner
// waiting for ever; the timeout ends it and names the step it was in.
TEST_F(RunnerX11Test, AServerThatStopsAnsweringEndsInTheTimeout) {
    // Longer than a run takes (about seven seconds, bound by the clock),
    // so only the stopped server can make it run out.
    const TempFolder results;
    RunnerProcess runner({"--runs", "2", "--timeout", "15"}, nullptr, nullptr, SavingIn(results.Path()));
    const std::optional<pid_t> server = runner.WaitForServer();
    ASSERT_TRUE(server.has_value());
    const std::optional<std::string> display = DisplayOf(*server);
    ASSERT_TRUE(display.has_value());
    ASSERT_TRUE(WaitForMainWindow(*display));
    std::this_thread::sleep_for(1500ms);  // into the first run's CPU test
    ASSERT_EQ(kill(*server, SIGSTOP), 0);
    const Finished done = runner.Wait(60s);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(WithoutBusyWarning(done.Err),
              "qmk-run: timed out after 15 s during run 1 of 2 (see --timeout)\n");
    EXPECT_FALSE(Alive(*server)) << "the stopped Xvfb outlived the runner";
    EXPECT_TRUE(results.Names().empty()) << ::testing::PrintToString(results.Names());
}

TEST_F(RunnerX11Test, AGivenDisplayThatDoesNotAnswerEndsInTheTimeout) {
    platform::x11::XvfbServer stopped;
    ASSERT_EQ(kill(stopped.Pid(), SIGSTOP), 0);
    RunnerProcess runner({"--timeout", "2"}, stopped.DisplayName().c_str());
    const Finished done = runner.Wait(60s);
    kill(stopped.Pid(), SIGCONT);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(done.Err, "qmk-run: timed out after 2 s while opening the main window on display '" +
                            stopped.DisplayName() + "' (see --timeout)\n");
}

TEST_F(RunnerX11Test, LosingTheConnectionFailsTheRunAndStopsTheServer) {
    RunnerProcess runner({"--runs", "3"}, nullptr);
    const std::optional<pid_t> server = runner.WaitForServer();
    ASSERT_TRUE(server.has_value());
    const std::optional<std::string> display = DisplayOf(*server);
    ASSERT_TRUE(display.has_value());
    // A slow start (under emulation, on a loaded machine) may not have made
    // the window yet.
    ASSERT_TRUE(WaitForMainWindow(*display));
    std::this_thread::sleep_for(1500ms);

    // The server stays up; only the runner's connection is cut, as when an
    // X server drops a client. Done from a child: once the runner notices,
    // it stops the server, which may break the killer's own connection.
    const int status = KillFirstClientOf(*display);
    // 1: the killer's connection broke after the kill had gone out.
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << "killer status " << status;

    const Finished done = runner.Wait(30s);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(done.Err, "qmk-run: lost the connection to the X server\n");
    EXPECT_FALSE(Alive(*server)) << "Xvfb " << *server << " outlived the runner";
}

TEST_F(RunnerX11Test, CommandLineErrorsEndWithCodeTwoBeforeAnyServerStarts) {
    struct Case {
        std::vector<std::string> Arguments;
        const char* Display;
        std::string Err;
    };
    const std::vector<Case> cases = {
        {{"--runs", "x"}, nullptr, "qmk-run: --runs needs a number, got 'x'\n"},
        {{"--runs", "0"}, nullptr, "qmk-run: --runs must be at least 1, got '0'\n"},
        {{"--bogus"}, nullptr, "qmk-run: unknown option '--bogus' (see --help)\n"},
    };
    for (const Case& c : cases) {
        RunnerProcess runner(c.Arguments, c.Display);
        const Finished done = runner.Wait(10s);
        EXPECT_EQ(done.ExitCode, 2);
        EXPECT_EQ(done.Err, c.Err);
        EXPECT_EQ(done.Out, "");
    }
    // The private server's format on a display the user gave.
    RunnerProcess runner({"--dpi", "120"}, std::getenv("DISPLAY"));
    const Finished done = runner.Wait(10s);
    EXPECT_EQ(done.ExitCode, 2);
    EXPECT_EQ(Lines(done.Err).size(), 1u) << done.Err;
}

TEST_F(RunnerX11Test, AnUnreachableDisplayFailsWithCodeOne) {
    const TempFolder results;
    RunnerProcess runner({}, ":987", nullptr, SavingIn(results.Path()));
    const Finished done = runner.Wait(30s);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(done.Err.rfind("qmk-run: ", 0), 0u) << done.Err;
    EXPECT_NE(done.Err.find(":987"), std::string::npos) << done.Err;
    EXPECT_EQ(done.Out, "");
    EXPECT_TRUE(results.Names().empty()) << ::testing::PrintToString(results.Names());
}

TEST_F(RunnerX11Test, APrivateServerThatCannotStartSaysWhy) {
    RunnerProcess missing({}, nullptr, "/nonexistent");
    const Finished notFound = missing.Wait(30s);
    EXPECT_EQ(notFound.ExitCode, 1);
    EXPECT_EQ(notFound.Err,
              "qmk-run: cannot start a private X server: Xvfb was not found on PATH (is it installed?)\n");
    EXPECT_EQ(notFound.Out, "");

    // Out of file descriptors is not "not installed".
    RunnerProcess starved({}, nullptr, nullptr, [] {
        // Only the standard three are open (a test runner may pass on
        // more), and three more fit: enough to start and to report (the
        // sanitizers' checks need a pipe), not for the server's pipes.
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        const rlimit few{6, 6};
        setrlimit(RLIMIT_NOFILE, &few);
    });
    const Finished noFiles = starved.Wait(30s);
    EXPECT_EQ(noFiles.ExitCode, 1);
    EXPECT_EQ(noFiles.Err.rfind("qmk-run: cannot start a private X server: ", 0), 0u) << noFiles.Err;
    EXPECT_NE(noFiles.Err.find("Too many open files"), std::string::npos) << noFiles.Err;
    EXPECT_EQ(Lines(noFiles.Err).size(), 1u) << noFiles.Err;
}

// A wrapper on PATH in place of Xvfb that is slow to start and has a child
// of its own: a signal while the runner still waits for the display must
// stop the whole group, not leave it to the kernel's parent-death signal
// (which reaches the wrapper alone).
TEST_F(RunnerX11Test, ASignalDuringTheServersStartStopsItsWholeGroup) {
    char name[] = "/tmp/qmk-slow-xvfb-XXXXXX";
    const std::string folder = mkdtemp(name);
    std::ofstream(folder + "/Xvfb") << "#!/bin/sh\nsleep 30 &\necho $! > \"" << folder
                                     << "/child\"\nsleep 30\n";
    chmod((folder + "/Xvfb").c_str(), 0755);
    const std::string path = folder + ":/usr/bin:/bin";
    RunnerProcess runner({}, nullptr, path.c_str());
    pid_t child = 0;
    for (int i = 0; i < 500 && child <= 0; ++i) {
        std::this_thread::sleep_for(10ms);
        std::ifstream(folder + "/child") >> child;
    }
    ASSERT_GT(child, 0);
    ASSERT_EQ(kill(runner.Pid(), SIGTERM), 0);
    const Finished done = runner.Wait(30s);
    EXPECT_EQ(done.ExitCode, 143);
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
        gone = !Alive(child);
        if (!gone) std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(gone) << "the wrapper's child outlived the runner";
    if (!gone) kill(child, SIGKILL);
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST_F(RunnerX11Test, HelpAndVersionNeedNoDisplay) {
    RunnerProcess help({"--help"}, nullptr);
    const Finished helped = help.Wait(10s);
    EXPECT_EQ(helped.ExitCode, 0);
    EXPECT_EQ(helped.Out.rfind("Usage: qmk-run", 0), 0u) << helped.Out;
    RunnerProcess version({"--version"}, nullptr);
    const Finished versioned = version.Wait(10s);
    EXPECT_EQ(versioned.ExitCode, 0);
    EXPECT_TRUE(std::regex_match(versioned.Out, std::regex(R"(qmk-run \d+\.\d+\.\d+\n)"))) << versioned.Out;
}

}  // namespace
}  // namespace qmk::test
