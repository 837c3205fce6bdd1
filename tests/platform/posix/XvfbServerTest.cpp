// The private X server: what its start says when it fails, and that
// stopping it takes its whole process group, also when it was stopped with
// SIGSTOP or ignores SIGTERM. Stand-ins for Xvfb are small shell scripts put
// first on PATH.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/XvfbServer.h"

namespace qmk::platform {
namespace {

using namespace std::chrono_literals;

bool Alive(pid_t pid) {
    // A zombie is not alive: it only waits for its parent.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

bool GoneWithin(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (Alive(pid)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A folder with a script named Xvfb, first on PATH while the object lives.
class FakeXvfb {
public:
    // alone: PATH holds nothing else, so no real Xvfb is found behind it.
    explicit FakeXvfb(const std::string& body, bool alone = false) {
        char name[] = "/tmp/qmk-fake-xvfb-XXXXXX";
        folder_ = mkdtemp(name);
        std::ofstream(folder_ + "/Xvfb") << "#!/bin/sh\n" << body;
        chmod((folder_ + "/Xvfb").c_str(), 0755);
        const char* path = std::getenv("PATH");
        oldPath_ = path != nullptr ? path : "";
        setenv("PATH", (alone ? folder_ : folder_ + ":/usr/bin:/bin").c_str(), 1);
    }
    ~FakeXvfb() {
        setenv("PATH", oldPath_.c_str(), 1);
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }
    const std::string& Folder() const { return folder_; }

    // The number a script wrote into a file of the folder, once it has.
    pid_t WaitForPid(const std::string& file) const {
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(folder_ + "/" + file);
            pid_t pid = 0;
            if (in >> pid && pid > 0) return pid;
            std::this_thread::sleep_for(10ms);
        }
        return 0;
    }

private:
    std::string folder_;
    std::string oldPath_;
};

std::string StartError(const XvfbServer::Options& options) {
    try {
        XvfbServer server(options);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(started)";
}

TEST(XvfbServerTest, EachWayOfNotStartingSaysWhatHappened) {
    XvfbServer::Options quick;
    quick.StartTimeout = 700ms;
    {
        const std::string oldPath = std::getenv("PATH");
        setenv("PATH", "/nonexistent", 1);
        EXPECT_EQ(StartError(quick), "Xvfb was not found on PATH (is it installed?)");
        setenv("PATH", oldPath.c_str(), 1);
    }
    {
        FakeXvfb fake("echo 'Fatal server error:' >&2\necho 'Cannot establish any listening sockets' >&2\nexit 1\n");
        EXPECT_EQ(StartError(quick),
                  "Xvfb exited with status 1 before it reported a display: "
                  "Cannot establish any listening sockets");
    }
    {
        FakeXvfb fake("kill -SEGV $$\n");
        EXPECT_EQ(StartError(quick), "Xvfb was killed by signal 11 before it reported a display");
    }
    {
        FakeXvfb fake("echo $$ > \"$(dirname \"$0\")/pid\"\nexec sleep 30\n");
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        error = StartError(quick);
        EXPECT_EQ(error, "Xvfb did not report a display within 0.7 s");
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    }
    {
        FakeXvfb fake("", true);
        chmod((fake.Folder() + "/Xvfb").c_str(), 0644);
        EXPECT_EQ(StartError(quick), "cannot run Xvfb: Permission denied");
    }
}

TEST(XvfbServerTest, StoppingTakesTheWholeProcessGroup) {
    // A wrapper whose own child would survive a signal to the wrapper alone.
    FakeXvfb fake("sleep 30 &\necho $! > \"$(dirname \"$0\")/child\"\necho 1 >&3\nwait\n");
    XvfbServer server;
    const pid_t child = fake.WaitForPid("child");
    ASSERT_GT(child, 0);
    EXPECT_EQ(server.DisplayName(), ":1");
    const pid_t wrapper = server.Pid();
    server.Stop();
    EXPECT_FALSE(Alive(wrapper));
    EXPECT_TRUE(GoneWithin(child, 5s)) << "the wrapper's child outlived the stop";
    server.Stop();  // again: nothing
}

TEST(XvfbServerTest, AStoppedOrStubbornServerIsStillEnded) {
    {
        FakeXvfb fake("echo 1 >&3\nexec sleep 30\n");
        XvfbServer server;
        const pid_t pid = server.Pid();
        ASSERT_EQ(kill(pid, SIGSTOP), 0);
        const auto start = std::chrono::steady_clock::now();
        server.Stop();
        EXPECT_FALSE(Alive(pid));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);  // TERM works once continued
    }
    {
        FakeXvfb fake("trap '' TERM\necho 1 >&3\nexec sleep 30\n");
        XvfbServer server;
        const pid_t pid = server.Pid();
        server.Stop();
        EXPECT_FALSE(Alive(pid));
    }
}

// What a signal handler does on the way out: the servers are known from
// the fork on, so one that has not reported its display yet goes too.
TEST(XvfbServerTest, StopAllNowEndsServersStillStarting) {
    FakeXvfb fake("echo $$ > \"$(dirname \"$0\")/pid\"\nsleep 2\necho 1 >&3\nwait\n");
    std::thread stopper([&] {
        const pid_t pid = fake.WaitForPid("pid");
        EXPECT_GT(pid, 0);
        XvfbServer::StopAllNow();
        EXPECT_FALSE(Alive(pid));
    });
    std::string error;
    try {
        XvfbServer server;
        error = "(started)";
    } catch (const std::runtime_error& e) {
        error = e.what();
    }
    stopper.join();
    EXPECT_NE(error, "(started)");
}

}  // namespace
}  // namespace qmk::platform
