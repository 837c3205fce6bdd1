// qmk-run started as its users start it, as a child process, and what the
// tests read about it afterwards: its exit code and output, its private
// Xvfb, and that server's display.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
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
#include <sys/wait.h>
#include <unistd.h>

#include "support/BuiltProgram.h"

namespace qmk::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline const std::string RunnerPath = BuiltProgramPath("qmk-run");

struct Finished {
    int ExitCode = -1;  // 128 + n when ended by signal n without a handler
    std::string Out;
    std::string Err;
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
                  const char* path = nullptr, const std::function<void()>& inChild = {}) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
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

inline bool Alive(pid_t pid) { return kill(pid, 0) == 0; }

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
