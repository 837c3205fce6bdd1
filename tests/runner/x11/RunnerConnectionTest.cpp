// qmk-run whose X connection breaks at a chosen request: a proxy between
// the runner and the test's server passes the protocol through and cuts
// the connection when the runner sends the request the case names. From
// its first X call to its last, the runner must then end with status 1 and
// say so; a script must never mistake a broken run for a good one.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "RunnerProcess.h"
#include "platform/x11/XvfbServer.h"

namespace qmk::test {
namespace {

// X protocol request opcodes the cases cut at.
constexpr int AnyRequest = -1;
constexpr int CreateWindow = 1;
constexpr int DestroyWindow = 4;
constexpr int MapWindow = 8;
constexpr int CopyArea = 62;
constexpr int GetImage = 73;

// Cut at the Nth request with this opcode, counting only once a request
// with opcode After has gone through (AnyRequest: from the first).
struct CutRule {
    int Opcode = AnyRequest;
    int Occurrence = 1;
    int After = AnyRequest;
    // Instead of closing: stop reading from the runner but keep its socket
    // open, so its next write fails (EPIPE) before any read can see the end.
    bool RefuseWrites = false;
    // Before refusing: stop reading and wait until the runner has filled its
    // socket and stopped writing, as a slow server makes it.
    bool AfterAFullBuffer = false;
};

// Reads the client's side of the protocol far enough to find request
// boundaries: the set-up block, then requests of 4-byte units (a length of
// 0 means BIG-REQUESTS: the real length follows).
class RequestCutter {
public:
    explicit RequestCutter(CutRule rule) : rule_(rule), armed_(rule.After == AnyRequest) {}

    // Where in this chunk the request to cut at starts; -1 when it does not.
    long Scan(const unsigned char* data, std::size_t size) {
        std::size_t i = 0;
        while (i < size) {
            if (skip_ > 0) {
                const std::size_t take = std::min<std::size_t>(skip_, size - i);
                skip_ -= take;
                i += take;
                continue;
            }
            header_.push_back(data[i++]);
            if (!setupDone_) {
                if (header_.size() < 12) continue;
                little_ = header_[0] == 'l';
                const std::size_t name = Read16(6), auth = Read16(8);
                skip_ = Pad(name) + Pad(auth);
                setupDone_ = true;
                header_.clear();
                continue;
            }
            std::size_t length = 0;
            if (header_.size() == 4) {
                length = Read16(2) * 4u;
                if (length == 0) continue;  // BIG-REQUESTS: 4 more bytes
            } else if (header_.size() == 8) {
                length = Read32(4) * 4u;
            } else {
                continue;
            }
            const int opcode = header_[0];
            const long start = static_cast<long>(i) - static_cast<long>(header_.size());
            if (Matches(opcode)) return std::max(0L, start);
            skip_ = length > header_.size() ? length - header_.size() : 0;
            header_.clear();
        }
        return -1;
    }

private:
    static std::size_t Pad(std::size_t n) { return (n + 3) & ~std::size_t{3}; }
    std::size_t Read16(std::size_t at) const {
        return little_ ? header_[at] | (header_[at + 1] << 8) : (header_[at] << 8) | header_[at + 1];
    }
    std::size_t Read32(std::size_t at) const {
        std::size_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const std::size_t byte = header_[at + (little_ ? 3 - k : k)];
            v = (v << 8) | byte;
        }
        return v;
    }
    bool Matches(int opcode) {
        if (!armed_) {
            if (opcode == rule_.After) armed_ = true;
            return false;
        }
        if (rule_.Opcode != AnyRequest && opcode != rule_.Opcode) return false;
        return ++seen_ == rule_.Occurrence;
    }

    CutRule rule_;
    bool armed_;
    int seen_ = 0;
    bool setupDone_ = false;
    bool little_ = true;
    std::vector<unsigned char> header_;
    std::size_t skip_ = 0;
};

int ConnectUnix(const std::string& path, bool abstract) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A display of its own (an abstract socket, which Xlib tries first, so no
// file is left behind) that forwards every connection to the given local
// server.
class CuttingProxy {
public:
    CuttingProxy(CutRule rule, const std::string& target) : rule_(rule) {
        targetPath_ = "/tmp/.X11-unix/X" + target.substr(target.find(':') + 1);
        for (int number = 600 + getpid() % 300; listener_ < 0 && number < 1000; ++number) {
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
            std::memcpy(address.sun_path + 1, name.data(), name.size());
            const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd, 4) == 0) {
                listener_ = fd;
                display_ = ":" + std::to_string(number);
            } else {
                close(fd);
            }
        }
        if (pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
        thread_ = std::thread([this] { Serve(); });
    }
    ~CuttingProxy() {
        if (wake_[1] >= 0) {
            const char stop = 0;
            ssize_t ignored = write(wake_[1], &stop, 1);
            (void)ignored;
        }
        thread_.join();
        if (listener_ >= 0) close(listener_);
        for (int fd : wake_)
            if (fd >= 0) close(fd);
    }

    const std::string& DisplayName() const { return display_; }
    bool Cut() const { return cut_; }

private:
    struct Pair {
        int Client = -1;
        int Server = -1;
        RequestCutter Cutter;
    };

    void Serve() {
        std::vector<Pair> pairs;
        for (;;) {
            std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
            for (const Pair& p : pairs) {
                fds.push_back({p.Client, POLLIN, 0});
                fds.push_back({p.Server, POLLIN, 0});
            }
            if (poll(fds.data(), fds.size(), 1000) < 0) continue;
            if (fds[0].revents != 0) break;
            const std::size_t polled = pairs.size();
            if ((fds[1].revents & POLLIN) != 0) {
                const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                int server = ConnectUnix(targetPath_, false);
                if (server < 0) server = ConnectUnix(targetPath_, true);
                if (client >= 0 && server >= 0) {
                    pairs.push_back({client, server, RequestCutter(rule_)});
                } else {
                    if (client >= 0) close(client);
                    if (server >= 0) close(server);
                }
            }
            std::vector<bool> closed(pairs.size(), false);
            for (std::size_t k = 0; k < polled; ++k) {
                Pair& p = pairs[k];
                const pollfd& fromClient = fds[2 + 2 * k];
                const pollfd& fromServer = fds[3 + 2 * k];
                unsigned char buffer[65536];
                if (fromClient.revents != 0) {
                    const ssize_t n = read(p.Client, buffer, sizeof buffer);
                    if (n <= 0) {
                        closed[k] = true;
                    } else {
                        const long cut = cut_ ? -1 : p.Cutter.Scan(buffer, static_cast<std::size_t>(n));
                        const std::size_t pass = cut >= 0 ? static_cast<std::size_t>(cut) : static_cast<std::size_t>(n);
                        if (!WriteAll(p.Server, buffer, pass)) closed[k] = true;
                        if (cut >= 0) {
                            cut_ = true;
                            if (rule_.RefuseWrites) {
                                if (rule_.AfterAFullBuffer) WaitUntilWritesStall(p.Client);
                                shutdown(p.Client, SHUT_RD);
                                // What the runner wrote before the shutdown
                                // stays charged to its socket: with the buffer
                                // full, poll never reports it writable again
                                // (nor hung up), and a runner waiting to write
                                // would wait forever. Dropping it makes the
                                // socket writable, so its next write fails,
                                // whichever way the two raced; nothing more
                                // is queued once the shutdown has returned.
                                while (recv(p.Client, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
                                }
                                refused_.push_back(p.Client);
                                p.Client = -1;
                            }
                            closed[k] = true;
                        }
                    }
                }
                if (!closed[k] && fromServer.revents != 0) {
                    const ssize_t n = read(p.Server, buffer, sizeof buffer);
                    if (n <= 0 || !WriteAll(p.Client, buffer, static_cast<std::size_t>(n))) closed[k] = true;
                }
            }
            for (std::size_t k = pairs.size(); k-- > 0;) {
                if (!closed[k]) continue;
                if (pairs[k].Client >= 0) close(pairs[k].Client);
                close(pairs[k].Server);
                pairs.erase(pairs.begin() + static_cast<long>(k));
            }
        }
        for (Pair& p : pairs) {
            close(p.Client);
            close(p.Server);
        }
        for (int fd : refused_) close(fd);
    }

    // Until what the runner has queued has stopped growing for half a
    // second (at most ten seconds). A runner that was only slow then writes
    // into a refused socket all the same: the outcome is the same.
    static void WaitUntilWritesStall(int fd) {
        int queued = -1;
        int stable = 0;
        for (int round = 0; round < 200 && stable < 10; ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            int now = 0;
            if (ioctl(fd, FIONREAD, &now) != 0) return;
            stable = now == queued ? stable + 1 : 0;
            queued = now;
        }
    }

    static bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    CutRule rule_;
    std::string targetPath_;
    std::string display_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::vector<int> refused_;  // runner sockets kept open but no longer read
    std::atomic<bool> cut_{false};
    std::thread thread_;
};

struct CutCase {
    const char* Name;
    CutRule Rule;
    std::vector<std::string> Arguments;
    // Through a proxy on this machine the bitmap's pixels are shared and
    // the CPU test sends nothing to cut at; a server without shared memory
    // makes every pixel a request again.
    bool WithoutSharedMemory = false;
};

void PrintTo(const CutCase& c, std::ostream* out) { *out << c.Name; }

class RunnerConnectionTest : public ::testing::TestWithParam<CutCase> {
protected:
    void SetUp() override {
        if (access(RunnerPath.c_str(), X_OK) != 0) GTEST_FAIL() << RunnerPath << " is not built";
    }
};

TEST_P(RunnerConnectionTest, ALostConnectionEndsTheRunnerWithStatusOneAndAMessage) {
    const CutCase& c = GetParam();
    std::unique_ptr<platform::x11::XvfbServer> server;
    if (c.WithoutSharedMemory) {
        platform::x11::XvfbServer::Options options;
        options.ExtraArguments = {"-extension", "MIT-SHM"};
        server = std::make_unique<platform::x11::XvfbServer>(options);
    }
    CuttingProxy proxy(c.Rule, server ? server->DisplayName() : std::string(std::getenv("DISPLAY")));
    ASSERT_FALSE(proxy.DisplayName().empty()) << "no free display number for the proxy";
    RunnerProcess runner(c.Arguments, proxy.DisplayName().c_str());
    const Finished done = runner.Wait(90s);
    ASSERT_TRUE(proxy.Cut()) << "the run never sent the request to cut at; status " << done.ExitCode;
    EXPECT_EQ(done.ExitCode, 1) << done.Err;
    EXPECT_EQ(WithoutBusyWarning(done.Err), "qmk-run: lost the connection to the X server\n");
    // Lines of runs that ended before the cut are complete ones.
    EXPECT_EQ(std::count(done.Out.begin(), done.Out.end(), '\n') % 2, 0) << done.Out;
}

INSTANTIATE_TEST_SUITE_P(
    EveryPhase, RunnerConnectionTest,
    ::testing::Values(
        // Inside the start: the backends' first requests, the application
        // window (the desktop program's "log-off" handler was in charge
        // from here on), the main window's controls, showing it.
        CutCase{"FirstRequest", {AnyRequest, 1, AnyRequest}, {}},
        CutCase{"TwentiethRequest", {AnyRequest, 20, AnyRequest}, {}},
        CutCase{"ApplicationWindow", {CreateWindow, 1, AnyRequest}, {}},
        CutCase{"MainWindowControls", {CreateWindow, 5, AnyRequest}, {}},
        CutCase{"ShowingTheWindow", {MapWindow, 1, AnyRequest}, {}},
        // The two tests, and the second run of two after a whole first one.
        CutCase{"CpuTest", {GetImage, 200, AnyRequest}, {}, true},
        CutCase{"VideoTest", {CopyArea, 200, AnyRequest}, {}},
        CutCase{"SecondRunsCpuTest", {GetImage, 200, CopyArea}, {"--runs", "2"}, true},
        // A write that fails before a read has seen the end raises SIGPIPE,
        // which is no reason to end without a word. The video test writes
        // copies without waiting for anything, so its next write fails.
        CutCase{"WriteRefusedInTheVideoTest", {CopyArea, 200, AnyRequest, true}, {}},
        // The same when the runner's writes already wait for room in its
        // socket: the refusal must still reach it as a failed write.
        CutCase{"WriteRefusedWithAFullBuffer", {CopyArea, 200, AnyRequest, true, true}, {}},
        // After the last run: closing the window.
        CutCase{"ClosingTheWindow", {DestroyWindow, 1, AnyRequest}, {}}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace qmk::test
