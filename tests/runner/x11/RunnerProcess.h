// qmk-run started as its users start it, as a child process, and what the
// tests read about it afterwards: its exit code and output, its private
// Xvfb, and that server's display.
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "support/BuiltProgram.h"

namespace qmk::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline const std::string RunnerPath = BuiltProgramPath("qmk-run");

struct Finished {
    int ExitCode = -1;  // 128 + n when ended by signal n without a handler
    std::string Out;
    std::string Err;  // what a terminal showed, when standard error was one
};

// Standard error on a pseudo-terminal of this width, with no translation
// of what the program writes.
struct Terminal {
    unsigned short Columns = 100;
};

inline std::string ReadAll(int fd) {
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
    // inChild runs in the child before the exec (signal dispositions,
    // limits: what qmk-run inherits from whoever starts it).
    RunnerProcess(const std::vector<std::string>& arguments, const char* display,
                  const char* path = nullptr, const std::function<void()>& inChild = {},
                  std::optional<Terminal> terminal = std::nullopt) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        if (terminal) {
            OpenTerminal(*terminal, err);
        } else if (pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            if (display != nullptr) setenv("DISPLAY", display, 1);
            else unsetenv("DISPLAY");
            if (path != nullptr) setenv("PATH", path, 1);
            if (inChild) inChild();
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

    // On a terminal: waits until what it showed so far contains text.
    bool WaitForError(const std::string& text, std::chrono::milliseconds limit = 60s) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            DrainTerminal();
            if (shown_.find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

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
            DrainTerminal();
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
        if (terminal_) {
            DrainTerminal();
            result.Err = shown_;
        } else {
            result.Err = ReadAll(err_);
        }
        return result;
    }

private:
    // The program's side goes to the child as err[1]; the test reads the
    // other side, without blocking, as it goes (a terminal holds little).
    void OpenTerminal(const Terminal& terminal, int err[2]) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("pty");
        const int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) throw std::runtime_error("pty slave");
        termios mode{};
        tcgetattr(slave, &mode);
        mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // "\n" stays "\n"
        tcsetattr(slave, TCSANOW, &mode);
        winsize size{};
        size.ws_col = terminal.Columns;
        size.ws_row = 24;
        ioctl(master, TIOCSWINSZ, &size);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        err[0] = master;
        err[1] = slave;
        terminal_ = true;
    }

    void DrainTerminal() {
        if (!terminal_) return;
        char buffer[4096];
        ssize_t n;
        // Ends at EAGAIN (nothing more now) or EIO (the program's side is closed).
        while ((n = read(err_, buffer, sizeof buffer)) > 0) shown_.append(buffer, static_cast<std::size_t>(n));
    }

    bool terminal_ = false;
    std::string shown_;

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

inline bool Alive(pid_t pid) { return kill(pid, 0) == 0; }

// A folder of the test's own, removed with what it holds.
class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/qmk-runner-test-XXXXXX";
        if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp");
        path_ = name;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Every name in it, hidden ones too, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(path_, ignored)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

// What qmk-run is given as its results folder.
inline std::function<void()> SavingIn(const std::string& folder) {
    return [folder] { setenv("QMK_RESULTS_DIR", folder.c_str(), 1); };
}

// The document qmk-run printed (or saved), parsed. Every score in it must
// come back from its per-second counts by the meter's rule, computed here
// on its own: (sum div n + max) div 2, in 32-bit two's complement, each
// division truncating toward zero.
inline nlohmann::json RunnerDocument(const std::string& text) {
    const nlohmann::json doc = nlohmann::json::parse(text);
    EXPECT_EQ(doc.value("schema", ""), "qmk-session");
    EXPECT_EQ(doc.value("schema_version", 0), 1);
    const auto wrap = [](std::int64_t value) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
    };
    for (const nlohmann::json& run : doc.at("runs")) {
        for (const char* test : {"cpu", "video"}) {
            SCOPED_TRACE(test);
            const nlohmann::json& samples = run.at(test).at("samples");
            const std::string seconds = std::string(test) + "_seconds";
            EXPECT_EQ(samples.size(), doc.at("phases").at(seconds).get<std::size_t>()) << run;
            if (samples.empty()) continue;
            std::int32_t sum = 0, best = 0;
            for (const nlohmann::json& count : samples) {
                EXPECT_GT(count.get<std::int32_t>(), 0) << run;
                sum = wrap(static_cast<std::int64_t>(sum) + count.get<std::int32_t>());
                best = std::max(best, count.get<std::int32_t>());
            }
            const std::int32_t mean = sum / static_cast<std::int32_t>(samples.size());
            EXPECT_EQ(run.at(test).at("score").get<std::int32_t>(), wrap(static_cast<std::int64_t>(mean) + best) / 2)
                << run;
        }
        EXPECT_GT(run.at("wall_seconds").get<double>(), 0.0) << run;
        EXPECT_EQ(run.at("started_utc").get<std::string>().size(), 24u) << run;
    }
    return doc;
}

// A loaded machine (as under ctest -j) adds a warning about it to what
// the runner writes; the rest is what a test looks at.
inline std::string WithoutBusyWarning(const std::string& err) {
    const std::string warning = "qmk-run: warning: the machine was busy ";
    const std::size_t at = err.find(warning);
    if (at == std::string::npos) return err;
    const std::size_t end = err.find('\n', at);
    return err.substr(0, at) + (end == std::string::npos ? "" : err.substr(end + 1));
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The display of a running Xvfb: the X socket among the sockets it holds
// (a server started with -displayfd keeps no lock file naming it).
inline std::optional<std::string> DisplayOf(pid_t server) {
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

// Waits until the main window is mapped on the display; the run starts
// right after that. False when it was not within the limit.
inline bool WaitForMainWindow(const std::string& display, std::chrono::seconds limit = 60s) {
    const std::string command = "DISPLAY='" + display + "' timeout " + std::to_string(limit.count()) +
                                " xdotool search --sync --onlyvisible --classname '^qmk$' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace qmk::test
