#include "platform/posix/XvfbServer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qmk::platform {

namespace {

// The servers this process has forked and not yet stopped (0: free slot).
// Whoever takes a pid out of the table stops it: the object on a normal
// end, a signal handler on the way out.
constexpr int MaxServers = 8;
std::atomic<pid_t> Running[MaxServers];
static_assert(std::atomic<pid_t>::is_always_lock_free);

bool Register(pid_t pid) {
    for (auto& slot : Running) {
        pid_t expected = 0;
        if (slot.compare_exchange_strong(expected, pid)) return true;
    }
    return false;
}

bool Unregister(pid_t pid) {
    for (auto& slot : Running) {
        pid_t expected = pid;
        if (slot.compare_exchange_strong(expected, 0)) return true;
    }
    return false;
}

void SleepMs(long ms) {
    timespec pause{0, ms * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Waits up to limitMs for the process to end; true (and its status) when
// it has.
bool WaitUpTo(pid_t pid, int limitMs, int* status) {
    for (int waited = 0;; waited += 10) {
        const pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 && errno != EINTR) return true;  // not ours any more
        if (waited >= limitMs) return false;
        SleepMs(10);
    }
}

// Only kill, waitpid and nanosleep: safe in a signal handler. The whole
// process group goes, so a wrapper's children do not outlive it; a stopped
// server would keep the TERM pending for ever, so the group is continued
// too; one that ignores TERM is killed after a grace period.
void Terminate(pid_t pid) {
    if (kill(-pid, SIGTERM) != 0) kill(pid, SIGTERM);
    if (kill(-pid, SIGCONT) != 0) kill(pid, SIGCONT);
    int status = 0;
    if (WaitUpTo(pid, 3000, &status)) return;
    if (kill(-pid, SIGKILL) != 0) kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

std::string ErrnoText(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

// The last line the server wrote (it goes to a memory file), printable and
// short, for a message about why it did not start.
std::string LastLine(int log) {
    if (log < 0) return {};
    const off_t size = lseek(log, 0, SEEK_END);
    if (size <= 0) return {};
    char buffer[2048];
    const off_t from = std::max<off_t>(0, size - static_cast<off_t>(sizeof buffer));
    const ssize_t n = pread(log, buffer, sizeof buffer, from);
    if (n <= 0) return {};
    std::string text(buffer, static_cast<std::size_t>(n));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    const std::size_t start = text.find_last_of('\n');
    std::string line = start == std::string::npos ? text : text.substr(start + 1);
    for (char& c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) c = '?';
    }
    if (line.size() > 160) line = line.substr(0, 157) + "...";
    return line;
}

std::string WithLastLine(std::string message, int log) {
    const std::string line = LastLine(log);
    if (!line.empty()) message += ": " + line;
    return message;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

}  // namespace

XvfbServer::XvfbServer() : XvfbServer(Options{}) {}

XvfbServer::XvfbServer(const Options& options) {
    int displayPipe[2], reportPipe[2];
    if (pipe2(displayPipe, O_CLOEXEC) != 0) throw std::runtime_error(ErrnoText("no pipe for Xvfb", errno));
    Fd displayRead(displayPipe[0]), displayWrite(displayPipe[1]);
    if (pipe2(reportPipe, O_CLOEXEC) != 0) throw std::runtime_error(ErrnoText("no pipe for Xvfb", errno));
    Fd reportRead(reportPipe[0]), reportWrite(reportPipe[1]);
    Fd log(memfd_create("xvfb-output", MFD_CLOEXEC));
    if (log.Get() < 0) throw std::runtime_error(ErrnoText("no file for Xvfb's output", errno));
    Fd devNull(open("/dev/null", O_RDWR | O_CLOEXEC));
    if (devNull.Get() < 0) throw std::runtime_error(ErrnoText("cannot open /dev/null", errno));

    // Everything the child needs is made before the fork: between fork and
    // exec it may only make async-signal-safe calls.
    const std::string screen = std::to_string(options.Width) + "x" + std::to_string(options.Height) +
                               "x" + std::to_string(options.Depth);
    const std::string dpi = std::to_string(options.Dpi);
    std::vector<std::string> words = {"Xvfb", "-displayfd", "3", "-screen", "0", screen,
                                      "-dpi", dpi, "-nolisten", "tcp", "-noreset"};
    words.insert(words.end(), options.ExtraArguments.begin(), options.ExtraArguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    // No signal may come between the fork and the pid's entry in the
    // table: a handler would not know the server yet.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    pid_ = fork();
    if (pid_ == 0) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        // The server must not outlive whoever started it, whatever way that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        setpgid(0, 0);
        if (options.MemoryLimit > 0) {
            const rlimit limit{options.MemoryLimit, options.MemoryLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        // Out of the way of 0 to 3 first, so no dup2 below overwrites a
        // descriptor that a later one still needs.
        int report = fcntl(reportWrite.Get(), F_DUPFD_CLOEXEC, 10);
        if (report < 0) report = reportWrite.Get();
        const int display = fcntl(displayWrite.Get(), F_DUPFD_CLOEXEC, 10);
        const int output = fcntl(log.Get(), F_DUPFD_CLOEXEC, 10);
        const int input = fcntl(devNull.Get(), F_DUPFD_CLOEXEC, 10);
        if (display < 0 || output < 0 || input < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0 ||
            dup2(output, 2) < 0 || dup2(display, 3) < 0) {
            const int error = errno;
            ssize_t ignored = write(report, &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        execvp("Xvfb", argv.data());
        const int error = errno;
        ssize_t ignored = write(report, &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    const int forkError = errno;
    if (pid_ > 0) {
        setpgid(pid_, pid_);  // also here, so the group exists before anyone signals it
        registered_ = Register(pid_);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid_ < 0) throw std::runtime_error(ErrnoText("cannot start Xvfb", forkError));

    displayWrite.Close();
    reportWrite.Close();
    devNull.Close();

    // The report pipe closes at the exec; an errno comes through it when
    // the exec (or the child's set-up) failed.
    int execError = 0;
    std::size_t got = 0;
    while (got < sizeof execError) {
        const ssize_t n = read(reportRead.Get(), reinterpret_cast<char*>(&execError) + got,
                               sizeof execError - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got == sizeof execError) {
        Stop();
        if (execError == ENOENT) throw std::runtime_error("Xvfb was not found on PATH (is it installed?)");
        throw std::runtime_error(ErrnoText("cannot run Xvfb", execError));
    }

    std::string number;
    bool done = false;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + options.StartTimeout;
    while (!done) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{displayRead.Get(), POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        if (ready == 0) continue;
        char c;
        const ssize_t n = read(displayRead.Get(), &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ended = true;
            break;
        }
        if (c == '\n') done = true;
        else number.push_back(c);
    }
    if (done && !number.empty()) {
        display_ = ":" + number;
        return;
    }

    if (ended) {
        // It closed the pipe: most likely it has ended, and its status says
        // how. Taken out of the table first, as Stop does.
        const pid_t pid = std::exchange(pid_, -1);
        if (registered_ && !Unregister(pid)) throw std::runtime_error("Xvfb was stopped");
        registered_ = false;
        int status = 0;
        if (!WaitUpTo(pid, 2000, &status)) {
            Terminate(pid);
            throw std::runtime_error(
                WithLastLine("Xvfb closed its display pipe without reporting a display", log.Get()));
        }
        const std::string how = WIFSIGNALED(status)
                                    ? "was killed by signal " + std::to_string(WTERMSIG(status))
                                    : "exited with status " + std::to_string(WEXITSTATUS(status));
        throw std::runtime_error(WithLastLine("Xvfb " + how + " before it reported a display", log.Get()));
    }
    Stop();
    const auto seconds = std::chrono::duration_cast<std::chrono::duration<double>>(options.StartTimeout).count();
    char shown[32];
    std::snprintf(shown, sizeof shown, "%g", seconds);
    throw std::runtime_error(WithLastLine(
        std::string("Xvfb did not report a display within ") + shown + " s", log.Get()));
}

XvfbServer::~XvfbServer() { Stop(); }

void XvfbServer::Stop() {
    if (pid_ <= 0) return;
    // Taken out of the table first: a handler that got it already stops it.
    if (!registered_ || Unregister(pid_)) Terminate(pid_);
    registered_ = false;
    pid_ = -1;
}

void XvfbServer::StopAllNow() {
    for (auto& slot : Running) {
        const pid_t pid = slot.exchange(0);
        if (pid > 0) Terminate(pid);
    }
}

}  // namespace qmk::platform
