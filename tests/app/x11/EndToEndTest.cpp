// The program as a user runs it, on the test's private Xvfb: start it, wait
// for its window, press Enter, copy the result box through the clipboard,
// check both lines, close the window with Alt+F4 and expect exit code 0.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/Extended.h"
#include "runtime/NumberText.h"
#include "support/BuiltProgram.h"

namespace qmk::test {
namespace {

using namespace std::chrono_literals;

// Output of a shell command (the display is the test's, from DISPLAY).
std::string Capture(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int result = pclose(pipe);
    if (status != nullptr) *status = result;
    return output;
}

// The program as a child process, ended at the latest with the test.
class Program {
public:
    explicit Program(const std::string& name) {
        std::vector<std::string> command = BuiltProgramCommand(name);
        std::vector<char*> argv;
        for (std::string& a : command) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // The exit code once the process has ended within the limit, else -1.
    int WaitForExit(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

// One result line in UTF-8 (as the clipboard carries it): label, score
// without leading zeros, " (", the percentage, "%)". The percentage must be
// the score's share of the reference, as FixedText writes it.
void ExpectResultLine(const std::string& line, const std::string& label, std::int32_t reference) {
    ASSERT_EQ(line.compare(0, label.size(), label), 0) << line;
    const std::string rest = line.substr(label.size());
    const std::size_t open = rest.find(" (");
    ASSERT_TRUE(open != std::string::npos && open > 0 && rest[0] != '0') << line;
    ASSERT_EQ(rest.find_first_not_of("0123456789"), open) << line;
    ASSERT_TRUE(rest.size() > open + 4 && rest.compare(rest.size() - 2, 2, "%)") == 0) << line;
    const std::int32_t score = std::stoi(rest.substr(0, open));
    const std::string percentage = rest.substr(open + 2, rest.size() - open - 4);
    EXPECT_EQ(percentage, FixedText(ScorePercentage(score, reference), 8, 2)) << line;
}

// Starts the program, presses Enter, waits, copies the result box (Tab to
// it, select all, copy) and reads the clipboard; closes with Alt+F4.
class EndToEndTest : public ::testing::Test {
protected:
    void StartAndPressEnter() {
        const std::string window = Capture(
            "timeout 20 xdotool search --sync --onlyvisible --name Plimbo 2>/dev/null | head -n 1");
        ASSERT_FALSE(window.empty()) << "the window never appeared";
        std::this_thread::sleep_for(500ms);  // the start button takes the focus when shown
        ASSERT_EQ(std::system("xdotool key Return"), 0);
    }
    void CopyResults() { ASSERT_EQ(std::system("xdotool key Tab ctrl+a ctrl+c"), 0); }
    // Both lines once the clipboard holds two result lines (the program
    // answers only between messages, so not before the run has ended).
    void ExpectResultsOnClipboard() {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + 25s;
        while (std::chrono::steady_clock::now() < end) {
            text = Capture("timeout 3 xclip -o -selection clipboard 2>/dev/null");
            if (text.find("%)") != std::string::npos && text.rfind("%)") != text.find("%)")) break;
            std::this_thread::sleep_for(500ms);
        }
        const std::size_t newline = text.find('\n');
        ASSERT_NE(newline, std::string::npos) << "clipboard: " << text;
        std::string second = text.substr(newline + 1);
        if (const std::size_t more = second.find('\n'); more != std::string::npos) second.resize(more);
        // The clipboard carries UTF-8.
        ExpectResultLine(text.substr(0, newline), "ＣＰＵ：", 1992);
        ExpectResultLine(second, "ビデオ：", 2370);
    }
    void CloseAndExpectExitCodeZero() {
        ASSERT_EQ(std::system("xdotool key alt+F4"), 0);
        EXPECT_EQ(program_.WaitForExit(10s), 0);
    }

    Program program_{"qmk"};
};

TEST_F(EndToEndTest, EnterRunsTheBenchmarkAndTheResultsCanBeCopied) {
    StartAndPressEnter();
    // The run takes the 5 counted seconds and up to 2 of alignment.
    std::this_thread::sleep_for(7500ms);
    CopyResults();
    ExpectResultsOnClipboard();
    CloseAndExpectExitCodeZero();
}

// Keys typed while the run is going wait in the queue and are handled after
// it, in order: the copy takes the finished lines, not the blank labels.
TEST_F(EndToEndTest, KeysTypedDuringTheRunAreHandledAfterIt) {
    StartAndPressEnter();
    std::this_thread::sleep_for(300ms);
    CopyResults();
    ExpectResultsOnClipboard();
    CloseAndExpectExitCodeZero();
}

}  // namespace
}  // namespace qmk::test
