// A private X server (Xvfb) for the runner and the tests: started from PATH
// on a display number that the server picks itself, stopped with the object.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

namespace qmk::platform {

class XvfbServer {
public:
    struct Options {
        int Width = 1024;
        int Height = 768;
        int Depth = 24;
        int Dpi = 96;
        // How long the server may take to report its display.
        std::chrono::milliseconds StartTimeout{15000};
        // The server's address-space limit in bytes (0: none), so that a
        // test can make it run out of memory.
        std::uint64_t MemoryLimit = 0;
        // Appended to the command line ("-extension", "RENDER", ...).
        std::vector<std::string> ExtraArguments;
    };

    // Throws std::runtime_error when Xvfb cannot be started; what() says
    // why: not found on PATH, no display reported in time, the server
    // ended early (with the last line it wrote), or the process ran out of
    // file descriptors or processes.
    explicit XvfbServer(const Options& options);
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& DisplayName() const { return display_; }
    pid_t Pid() const { return pid_; }
    // Terminates the server with its process group and waits for it; safe
    // to call more than once.
    void Stop();

    // Stops every server of this process that is still running. Safe in a
    // signal handler: the servers are known from the moment they are
    // forked, before they have reported their display.
    static void StopAllNow();

private:
    pid_t pid_ = -1;
    bool registered_ = false;  // known to StopAllNow
    std::string display_;
};

}  // namespace qmk::platform
