// The desktop program run as a user runs it, as a child process on the
// test's private display: it shows its window, closes with exit code 0
// through the window manager's close request and through Alt+F4, says so
// and exits with 1 when the display goes away, and without a display says
// why on standard error and exits with 1.
#include <algorithm>
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

#include "platform/x11/XvfbServer.h"
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
// xdotool's search gives up at once when a window it walks past goes away
// (a window manager starting makes and drops several), so it is asked
// again until the window shows or the time is up.
std::string WaitForWindow(const std::string& display) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    do {
        std::string id = Output("DISPLAY=" + display +
                                " timeout 5 xdotool search --sync --onlyvisible --name 'Plimbo' 2>/dev/null");
        while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
        const std::size_t lastLine = id.rfind('\n');
        if (!id.empty()) return lastLine == std::string::npos ? id : id.substr(lastLine + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (Clock::now() < deadline);
    return {};
}

// Numbers that follow a label in a tool's output ("Absolute upper-left X:  312",
// "_NET_FRAME_EXTENTS(CARDINAL) = 1, 1, 20, 1").
std::vector<int> NumbersAfter(const std::string& text, const std::string& label) {
    std::vector<int> numbers;
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return numbers;
    const std::size_t end = text.find('\n', at);
    std::istringstream rest(text.substr(at + label.size(), end - at - label.size()));
    for (std::string item; std::getline(rest, item, ',');) numbers.push_back(std::atoi(item.c_str()));
    return numbers;
}

// Openbox, a window manager from Debian, on the display for as long as this lives.
class WindowManager {
public:
    explicit WindowManager(const std::string& display) {
        const std::string assignment = "DISPLAY=" + display;
        std::vector<std::string> env{assignment, "HOME=/tmp", "PATH=/usr/bin:/bin"};
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = "openbox";
        char* argv[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "openbox", &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (pid_ > 0 && Clock::now() < deadline) {
            // Openbox names itself (_NET_SUPPORTING_WM_CHECK) a while before
            // it answers requests; the work area is among the last things it
            // sets before its event loop.
            if (Output(assignment + " xprop -root _NET_WORKAREA").find("_NET_WORKAREA(CARDINAL) =") !=
                std::string::npos) {
                running_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~WindowManager() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    bool Running() const { return running_; }

private:
    pid_t pid_ = -1;
    bool running_ = false;
};

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

// The window manager's frame counts in the centring: the outer rectangle,
// frame and title bar included, is what stands in the middle of the screen.
TEST_F(ProgramTest, CentredWithTheWindowManagersFrame) {
    WindowManager manager(Display());
    ASSERT_TRUE(manager.Running()) << "openbox did not start";
    child_ = StartProgram(Display().c_str());
    const std::string window = WaitForWindow(Display());
    ASSERT_FALSE(window.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the manager settle it
    const std::vector<int> frame = NumbersAfter(
        Output("DISPLAY=" + Display() + " xprop -id " + window + " _NET_FRAME_EXTENTS"), "= ");
    ASSERT_EQ(frame.size(), 4u);
    ASSERT_GT(frame[2], 0) << "the window manager gave no title bar";
    const std::string info = Output("DISPLAY=" + Display() + " xwininfo -id " + window);
    const std::string root = Output("DISPLAY=" + Display() + " xwininfo -root");
    const int x = NumbersAfter(info, "Absolute upper-left X:").at(0);
    const int y = NumbersAfter(info, "Absolute upper-left Y:").at(0);
    const int width = NumbersAfter(info, "Width:").at(0);
    const int height = NumbersAfter(info, "Height:").at(0);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 152);
    const int outerWidth = width + frame[0] + frame[1];
    const int outerHeight = height + frame[2] + frame[3];
    EXPECT_EQ(x - frame[0], (NumbersAfter(root, "Width:").at(0) - outerWidth) / 2) << info;
    EXPECT_EQ(y - frame[2], (NumbersAfter(root, "Height:").at(0) - outerHeight) / 2) << info;
}

// A fixed dialog frame, as the window manager reads it: moved and closed
// only (no resizing, so no maximising), with border, title and menu, and a
// size whose minimum is its maximum. Openbox answers with the actions it
// allows; it keeps its minimise button whatever a window asks.
TEST_F(ProgramTest, TheWindowManagerGetsAFixedDialogFrame) {
    WindowManager manager(Display());
    ASSERT_TRUE(manager.Running()) << "openbox did not start";
    child_ = StartProgram(Display().c_str());
    const std::string window = WaitForWindow(Display());
    ASSERT_FALSE(window.empty());
    const std::string hints =
        Output("DISPLAY=" + Display() + " xprop -id " + window + " _MOTIF_WM_HINTS WM_NORMAL_HINTS");
    EXPECT_NE(hints.find("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24, 0x1a, 0x0, 0x0"), std::string::npos)
        << hints;
    EXPECT_NE(hints.find("program specified minimum size: 400 by 152"), std::string::npos) << hints;
    EXPECT_NE(hints.find("program specified maximum size: 400 by 152"), std::string::npos) << hints;
    std::string actions;
    for (int i = 0; i < 50 && actions.find("_NET_WM_ACTION_CLOSE") == std::string::npos; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        actions = Output("DISPLAY=" + Display() + " xprop -id " + window + " _NET_WM_ALLOWED_ACTIONS");
    }
    for (const char* allowed : {"_NET_WM_ACTION_MOVE", "_NET_WM_ACTION_CLOSE"})
        EXPECT_NE(actions.find(allowed), std::string::npos) << allowed << ": " << actions;
    for (const char* refused :
         {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
        EXPECT_EQ(actions.find(refused), std::string::npos) << refused << ": " << actions;
}

TEST_F(ProgramTest, AltF4ClosesTheWindowWithExitCodeZero) {
    child_ = StartProgram(Display().c_str());
    ASSERT_FALSE(WaitForWindow(Display()).empty());
    // The window took the keyboard focus when it showed; the key goes there.
    EXPECT_EQ(std::system(("DISPLAY=" + Display() + " xdotool key alt+F4").c_str()), 0);
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(10)), 0);
}

// Task lists show the application's title, not the long caption.
TEST_F(ProgramTest, TaskListNamesTheProgramByItsTitle) {
    child_ = StartProgram(Display().c_str());
    const std::string window = WaitForWindow(Display());
    ASSERT_FALSE(window.empty());
    const std::string names =
        Output("DISPLAY=" + Display() + " xprop -id " + window + " _NET_WM_ICON_NAME WM_ICON_NAME");
    EXPECT_NE(names.find("_NET_WM_ICON_NAME(UTF8_STRING) = \"QMK1.0\""), std::string::npos) << names;
    EXPECT_NE(names.find("WM_ICON_NAME(STRING) = \"QMK1.0\""), std::string::npos) << names;
}

// Another program destroys the window (xdotool windowclose): the program
// ends as when the window is closed, whether it was idle or in a run, and
// shows no box for a window that is gone.
TEST_F(ProgramTest, WindowDestroyedByAnotherProgramEndsItWithExitCodeZero) {
    for (const bool duringRun : {false, true}) {
        SCOPED_TRACE(duringRun ? "during a run" : "idle");
        child_ = StartProgram(Display().c_str());
        const std::string window = WaitForWindow(Display());
        ASSERT_FALSE(window.empty());
        if (duringRun) {
            ASSERT_EQ(std::system(("DISPLAY=" + Display() + " xdotool key Return").c_str()), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        ASSERT_EQ(std::system(("DISPLAY=" + Display() + " xdotool windowclose " + window).c_str()), 0);
        EXPECT_EQ(WaitExit(child_, std::chrono::seconds(15)), 0);
        const std::string errors = ReadFile(child_.StderrPath);
        EXPECT_LE(std::count(errors.begin(), errors.end(), '\n'), duringRun ? 1 : 0) << errors;
        Kill(child_);
        ::unlink(child_.StderrPath.c_str());
        child_ = Child{};
    }
}

TEST_F(ProgramTest, WithoutADisplayTheStartFailsWithExitCodeOne) {
    child_ = StartProgram(nullptr);
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(10)), 1);
    const std::string text = ReadFile(child_.StderrPath);
    // The start-up error text, three lines in UTF-8.
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(lines[0], "EPlatformErrorがﾓｼﾞｭｰﾙ qmk の");
    const std::string happened = " で発生しました。";
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

TEST_F(ProgramTest, DisplayGoingAwayEndsTheProgramWithOneLineAndStatusOne) {
    platform::x11::XvfbServer server;
    child_ = StartProgram(server.DisplayName().c_str());
    ASSERT_FALSE(WaitForWindow(server.DisplayName()).empty());
    server.Stop();
    // Promptly, no crash, and not the status of a window closed by the user.
    EXPECT_EQ(WaitExit(child_, std::chrono::seconds(5)), 1);
    EXPECT_EQ(ReadFile(child_.StderrPath), "qmk: lost the connection to the X server\n");
}

// The desktop matches a window to its menu entry by WM_CLASS; the entry's
// StartupWMClass and the window's class must be the same text.
TEST_F(ProgramTest, WindowClassIsTheDesktopEntrysStartupClass) {
    const std::string entry = ReadFile(std::string(QMK_BINARY_DIR) + "/packaging/org.qmkbench.QMK.desktop");
    const std::string key = "\nStartupWMClass=";
    const std::size_t at = entry.find(key);
    ASSERT_NE(at, std::string::npos) << entry;
    const std::size_t start = at + key.size();
    const std::string startupClass = entry.substr(start, entry.find('\n', start) - start);
    EXPECT_EQ(startupClass, "org.qmkbench.QMK");

    child_ = StartProgram(Display().c_str());
    const std::string window = WaitForWindow(Display());
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(Output("DISPLAY=" + Display() + " xprop -id " + window + " WM_CLASS"),
              "WM_CLASS(STRING) = \"qmk\", \"" + startupClass + "\"\n");
}

}  // namespace
}  // namespace qmk::test
