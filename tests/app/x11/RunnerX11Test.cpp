// qmk-run as its users start it, as a child process: on the test's display,
// on a private Xvfb of its own when DISPLAY is unset, and stopped by a
// signal or by losing its X connection. Whatever way it ends, its Xvfb
// must be gone when it has exited.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
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
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/NumberText.h"
#include "support/BuiltProgram.h"

// Last: Xlib defines macros (None, Bool) that the headers above use as names.
#include <X11/Xlib.h>

namespace qmk::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string RunnerPath = BuiltProgramPath("qmk-run");

// The lines as the result box shows them, in UTF-8: the score, then its
// percentage with two decimals or in the scientific form.
const std::regex CpuLine(R"(^ＣＰＵ：\d+ \((\d+\.\d\d|\d(\.\d+)?E\d+)%\)$)");
const std::regex VideoLine(R"(^ビデオ：\d+ \((\d+\.\d\d|\d(\.\d+)?E\d+)%\)$)");

struct Finished {
    int ExitCode = -1;  // 128 + n when ended by signal n without a handler
    std::string Out;
    std::string Err;
};

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof(buffer))) > 0) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

// qmk-run with the given arguments; DISPLAY as given (null: unset), and
// PATH replaced when one is given.
class RunnerProcess {
public:
    RunnerProcess(const std::vector<std::string>& arguments, const char* display,
                  const char* path = nullptr) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            if (display != nullptr) setenv("DISPLAY", display, 1);
            else unsetenv("DISPLAY");
            if (path != nullptr) setenv("PATH", path, 1);
            std::vector<std::string> command = BuiltProgramCommand("qmk-run");
            command.insert(command.end(), arguments.begin(), arguments.end());
            std::vector<char*> argv;
            for (std::string& a : command) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~RunnerProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
        close(err_);
    }

    pid_t Pid() const { return pid_; }

    // Its Xvfb child once it runs (its name is Xvfb, no longer qmk-run).
    std::optional<pid_t> WaitForServer(std::chrono::milliseconds limit = 20s) const {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (auto server = ServerChild()) return server;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    // Output is small (a few lines or one JSON document), so reading it
    // after the exit cannot block the child on a full pipe.
    Finished Wait(std::chrono::seconds limit = 120s) {
        Finished result;
        const auto end = Clock::now() + limit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > end) {
                ADD_FAILURE() << "qmk-run did not end";
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        pid_ = -1;
        result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.Out = ReadAll(out_);
        result.Err = ReadAll(err_);
        return result;
    }

private:
    std::optional<pid_t> ServerChild() const {
        DIR* proc = opendir("/proc");
        if (proc == nullptr) return std::nullopt;
        std::optional<pid_t> found;
        while (dirent* entry = readdir(proc)) {
            const pid_t pid = std::atoi(entry->d_name);
            if (pid <= 0) continue;
            std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            // pid (comm) state ppid ...
            const std::size_t open = text.find('('), close = text.rfind(')');
            if (open == std::string::npos || close == std::string::npos) continue;
            std::istringstream rest(text.substr(close + 2));
            char state = 0;
            pid_t ppid = 0;
            rest >> state >> ppid;
            if (ppid == pid_ && text.substr(open + 1, close - open - 1) == "Xvfb") {
                found = pid;
                break;
            }
        }
        closedir(proc);
        return found;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

bool Alive(pid_t pid) { return kill(pid, 0) == 0; }

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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The display of a running Xvfb: the X socket among the sockets it holds
// (a server started with -displayfd keeps no lock file naming it).
std::optional<std::string> DisplayOf(pid_t server) {
    const std::string marker = "/tmp/.X11-unix/X";
    const auto end = Clock::now() + 10s;
    while (Clock::now() < end) {
        std::vector<std::string> inodes;
        const std::string fdDir = "/proc/" + std::to_string(server) + "/fd";
        if (DIR* fds = opendir(fdDir.c_str())) {
            while (dirent* entry = readdir(fds)) {
                char target[256];
                const ssize_t n = readlink((fdDir + "/" + entry->d_name).c_str(), target, sizeof(target) - 1);
                if (n <= 0) continue;
                const std::string link(target, static_cast<std::size_t>(n));
                if (link.rfind("socket:[", 0) == 0) inodes.push_back(link.substr(8, link.size() - 9));
            }
            closedir(fds);
        }
        std::ifstream table("/proc/net/unix");
        for (std::string line; std::getline(table, line);) {
            // Num RefCount Protocol Flags Type St Inode Path
            std::istringstream fields(line);
            std::string field, inode, path;
            for (int i = 0; i < 6; ++i) fields >> field;
            fields >> inode >> path;
            const std::size_t at = path.find(marker);
            if (at == std::string::npos) continue;
            for (const std::string& held : inodes) {
                if (held == inode) return ":" + path.substr(at + marker.size());
            }
        }
        std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
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
    EXPECT_EQ(done.Err, "");
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
    const nlohmann::json doc = nlohmann::json::parse(done.Out);
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
}

TEST_F(RunnerX11Test, PrivateServerTakesTheChosenDepthAndDpi) {
    RunnerProcess runner({"--json", "--display-depth", "16", "--dpi", "120"}, "");
    const Finished done = runner.Wait();
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    const nlohmann::json doc = nlohmann::json::parse(done.Out);
    EXPECT_EQ(doc["environment"]["x_server"]["private"], true);
    EXPECT_EQ(doc["environment"]["x_server"]["depth"], 16);
    EXPECT_EQ(doc["environment"]["dpi"], 120);
    EXPECT_TRUE(std::regex_match(doc["runs"][0]["cpu"]["line"].get<std::string>(), CpuLine));
}

struct SignalCase {
    int Signal;
    int ExitCode;
};

TEST_F(RunnerX11Test, ASignalStopsItsServerAndEndsWithTheSignalsCode) {
    for (const SignalCase c : {SignalCase{SIGINT, 130}, SignalCase{SIGTERM, 143}}) {
        SCOPED_TRACE(c.Signal);
        RunnerProcess runner({"--runs", "3"}, nullptr);
        const std::optional<pid_t> server = runner.WaitForServer();
        ASSERT_TRUE(server.has_value());
        // Well into the first run: the window is up and the CPU phase runs.
        std::this_thread::sleep_for(1500ms);
        ASSERT_EQ(kill(runner.Pid(), c.Signal), 0);
        const Finished done = runner.Wait(30s);
        EXPECT_EQ(done.ExitCode, c.ExitCode) << done.Err;
        EXPECT_EQ(done.Out, "");
        EXPECT_FALSE(Alive(*server)) << "Xvfb " << *server << " outlived the runner";
    }
}

TEST_F(RunnerX11Test, LosingTheConnectionFailsTheRunAndStopsTheServer) {
    RunnerProcess runner({"--runs", "3"}, nullptr);
    const std::optional<pid_t> server = runner.WaitForServer();
    ASSERT_TRUE(server.has_value());
    const std::optional<std::string> display = DisplayOf(*server);
    ASSERT_TRUE(display.has_value());
    std::this_thread::sleep_for(1500ms);

    // The server stays up; only the runner's connection is cut, as when an
    // X server drops a client. Done from a child: once the runner notices,
    // it stops the server, which may break the killer's own connection.
    const pid_t killer = fork();
    if (killer == 0) {
        Display* dpy = XOpenDisplay(display->c_str());
        if (dpy == nullptr) _exit(2);
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        // A slow start (under emulation, on a loaded machine) may not have
        // made the window yet.
        for (int tries = 0; tries < 400; ++tries) {
            if (children != nullptr) XFree(children);
            children = nullptr;
            XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
            if (count != 0) break;
            usleep(50000);
        }
        if (count == 0) _exit(3);
        XKillClient(dpy, children[0]);
        XSync(dpy, False);
        _exit(0);
    }
    int status = 0;
    waitpid(killer, &status, 0);
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
    RunnerProcess runner({}, ":987");
    const Finished done = runner.Wait(30s);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(done.Err.rfind("qmk-run: ", 0), 0u) << done.Err;
    EXPECT_NE(done.Err.find(":987"), std::string::npos) << done.Err;
    EXPECT_EQ(done.Out, "");
}

TEST_F(RunnerX11Test, WithoutXvfbOnThePathFailsWithCodeOne) {
    RunnerProcess runner({}, nullptr, "/nonexistent");
    const Finished done = runner.Wait(30s);
    EXPECT_EQ(done.ExitCode, 1);
    EXPECT_EQ(done.Err.rfind("qmk-run: cannot start a private X server: ", 0), 0u) << done.Err;
    EXPECT_EQ(Lines(done.Err).size(), 1u) << done.Err;
    EXPECT_EQ(done.Out, "");
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
