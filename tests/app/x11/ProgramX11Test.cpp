// The desktop program run as a user runs it, as a child process on the
// test's private display: it shows its window, closes with exit code 0
// through the window manager's close request and through Alt+F4, ends
// cleanly when the display goes away, and without a display says why on
// standard error and exits with 1.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/posix/XvfbServer.h"
#include "support/BuiltProgram.h"

extern char** environ;

namespace qmk::test {
namespace {

using Clock = std::chrono::steady_clock;

// Sends WM_DELETE_WINDOW to a window as a window manager does when the user
// clicks the close box (bare Xvfb has no window manager to ask).
constexpr char DeleteWindowScript[] = R"(
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
d = x.XOpenDisplay(None)
if not d:
    sys.exit(2)
w = int(sys.argv[1])
e = Event()
e.xclient.type = 33
e.xclient.window = w
e.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.xclient.format = 32
e.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(d, w, 0, 0, ctypes.byref(e))
x.XFlush(d)
x.XCloseDisplay(d)
)";

struct Child {
    pid_t Pid = -1;
    std::string StderrPath;
};

// Starts the program with the given DISPLAY (null: none at all), standard
// error into a file.
Child StartProgram(const char* display) {
    Child child;
    char path[] = "/tmp/qmk-program-test-XXXXXX";
    const int fd = ::mkstemp(path);
    EXPECT_GE(fd, 0);
    child.StderrPath = path;

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) env.emplace_back(*e);
    }
    if (display != nullptr) env.push_back(std::string("DISPLAY=") + display);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 2);
    std::vector<std::string> command = BuiltProgramCommand("qmk");
    std::vector<char*> argv;
    for (std::string& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&child.Pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fd);
    return child;
}

// The exit status, or -1 if the child has not ended within the time.
int WaitExit(Child& child, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        int status = 0;
        const pid_t done = ::waitpid(child.Pid, &status, WNOHANG);
        if (done == child.Pid) {
            child.Pid = -1;
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

void Kill(Child& child) {
    if (child.Pid > 0) {
        ::kill(child.Pid, SIGKILL);
        ::waitpid(child.Pid, nullptr, 0);
        child.Pid = -1;
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Output(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[256];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
    ::pclose(pipe);
    return output;
}

// The id of the program's window once it is mapped ("" if it never shows).
std::string WaitForWindow(const std::string& display) {
    std::string id = Output("DISPLAY=" + display +
                         " timeout 20 xdotool search --sync --onlyvisible --name 'Plimbo' 2>/dev/null");
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
    const std::size_t lastLine = id.rfind('\n');
    return lastLine == std::string::npos ? id : id.substr(lastLine + 1);
}

class ProgramTest : public ::testing::Test {
protected:
    void TearDown() override {
        Kill(child_);
        if (!child_.StderrPath.empty()) ::unlink(child_.StderrPath.c_str());
    }
    std::string Display() const { return std::getenv("DISPLAY"); }
    Child child_;
};

TEST_F(ProgramTest, CloseRequestFromTheWindowManagerEndsWithExitCodeZero) {
    child_ = StartProgram(Display().c_str());
    const std::string window = WaitForWindow(Display());
    ASSERT_FALSE(window.empty());
    // The window is centred and has the designed client size.
    const std::string geometry = Output("DISPLAY=" + Display() + " xdotool getwindowgeometry " + window);
    EXPECT_NE(geometry.find("Position: 312,308"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 400x152"), std::string::npos) << geometry;

    const std::string script = "/tmp/qmk-delete-window-" + std::to_string(::getpid()) + ".py";
    std::ofstream(script) << DeleteWindowScript;
    EXPECT_EQ(std::system(("DISPLAY=" + Display() + " python3 " + script + " " + window).c_str()), 0);
    ::unlink(script.c_str());
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(10)), 0);
    EXPECT_EQ(ReadFile(child_.StderrPath), "");
}

TEST_F(ProgramTest, AltF4ClosesTheWindowWithExitCodeZero) {
    child_ = StartProgram(Display().c_str());
    ASSERT_FALSE(WaitForWindow(Display()).empty());
    // The window took the keyboard focus when it showed; the key goes there.
    EXPECT_EQ(std::system(("DISPLAY=" + Display() + " xdotool key alt+F4").c_str()), 0);
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(10)), 0);
}

TEST_F(ProgramTest, WithoutADisplayTheStartFailsWithExitCodeOne) {
    child_ = StartProgram(nullptr);
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(10)), 1);
    const std::string text = ReadFile(child_.StderrPath);
    // EPlatformErrorがﾓｼﾞｭｰﾙ qmk の / <address> で発生しました。 / <message>. in UTF-8
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(lines[0],
              "EPlatformError\xe3\x81\x8c\xef\xbe\x93\xef\xbd\xbc\xef\xbe\x9e\xef\xbd\xad"
              "\xef\xbd\xb0\xef\xbe\x99 qmk \xe3\x81\xae");
    const std::string happened =
        " \xe3\x81\xa7\xe7\x99\xba\xe7\x94\x9f\xe3\x81\x97\xe3\x81\xbe\xe3\x81\x97\xe3\x81\x9f"
        "\xe3\x80\x82";
    EXPECT_EQ(lines[1].rfind("0x", 0), 0u) << lines[1];
    ASSERT_GT(lines[1].size(), happened.size());
    EXPECT_EQ(lines[1].substr(lines[1].size() - happened.size()), happened);
    EXPECT_NE(lines[2].find("DISPLAY"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[2].back(), '.');
}

TEST_F(ProgramTest, UnreachableDisplayIsNamedInTheMessage) {
    child_ = StartProgram(":9999");
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(10)), 1);
    const std::string text = ReadFile(child_.StderrPath);
    EXPECT_NE(text.find("\":9999\""), std::string::npos) << text;
}

TEST_F(ProgramTest, DisplayGoingAwayEndsTheProgramCleanly) {
    platform::XvfbServer server;
    child_ = StartProgram(server.DisplayName().c_str());
    ASSERT_FALSE(WaitForWindow(server.DisplayName()).empty());
    server.Stop();
    // Like the end of a session: promptly, no crash, nothing on standard
    // error from the broken connection.
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(5)), 0);
    EXPECT_EQ(ReadFile(child_.StderrPath), "");
}

}  // namespace
}  // namespace qmk::test
