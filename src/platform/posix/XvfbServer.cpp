#include "platform/posix/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qmk::platform {

namespace {

constexpr int StartTimeoutMs = 15000;

}  // namespace

XvfbServer::XvfbServer() : XvfbServer(Options{}) {}

XvfbServer::XvfbServer(const Options& options) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));

    const std::string screen = std::to_string(options.Width) + "x" + std::to_string(options.Height) +
                               "x" + std::to_string(options.Depth);
    const std::string dpi = std::to_string(options.Dpi);
    const std::string fd = "3";

    pid_ = fork();
    if (pid_ < 0) {
        close(fds[0]);
        close(fds[1]);
        throw std::runtime_error("fork: " + std::string(std::strerror(errno)));
    }
    if (pid_ == 0) {
        // The server must not outlive whoever started it, whatever way that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(fds[1], 3);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        setpgid(0, 0);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-dpi",
               dpi.c_str(), "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);

    std::string number;
    bool done = false;
    while (!done) {
        pollfd p{fds[0], POLLIN, 0};
        int ready = poll(&p, 1, StartTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (c == '\n') done = true;
        else number.push_back(c);
    }
    close(fds[0]);
    if (!done || number.empty()) {
        Stop();
        throw std::runtime_error("Xvfb did not start (is it installed and on PATH?)");
    }
    display_ = ":" + number;
}

XvfbServer::~XvfbServer() { Stop(); }

void XvfbServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace qmk::platform
