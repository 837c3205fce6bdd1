// A private X server (Xvfb) for the runner and the tests: started from PATH
// on a display number that the server picks itself, stopped with the object.
#pragma once

#include <string>

#include <sys/types.h>

namespace qmk::platform {

class XvfbServer {
public:
    struct Options {
        int Width = 1024;
        int Height = 768;
        int Depth = 24;
        int Dpi = 96;
    };

    // Throws std::runtime_error when Xvfb cannot be started.
    explicit XvfbServer(const Options& options);
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& DisplayName() const { return display_; }
    pid_t Pid() const { return pid_; }
    // Terminates the server and waits for it; safe to call more than once.
    void Stop();

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace qmk::platform
