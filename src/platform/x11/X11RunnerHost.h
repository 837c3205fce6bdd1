// The runner's surroundings on X11:
// - its window goes to the display in DISPLAY; without one it starts a
//   private Xvfb (from PATH) with the asked depth and Xft.dpi, stopped by
//   its owner, and on the way out by StopAllNow, and by the kernel
//   (PR_SET_PDEATHSIG) if the runner is killed;
// - the display's facts come from the X server, the machine's from
//   /proc/cpuinfo, getloadavg and sysconf;
// - SIGINT, SIGTERM and SIGHUP end it with 128 + the signal's number
//   after the private server is stopped (one ignored on entry, as under
//   nohup, stays ignored); SIGPIPE is ignored, so a broken connection or a
//   reader that went away fails a write instead of ending the runner
//   silently with 141;
// - a progress line on a terminal is erased on every one of those ways
//   out, before their message;
// - the watchdog is an interval timer (SIGALRM);
// - a lost display ends it by the rule of X11Connection.h.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/RunnerHost.h"

namespace qmk::platform::x11 {

class XvfbServer;

class X11RunnerHost : public RunnerHost {
public:
    explicit X11RunnerHost(std::string_view programName);
    ~X11RunnerHost() override;

    std::string GivenDisplay() override;
    bool CanStartPrivateDisplay() const override { return true; }
    std::string_view PrivateDisplayKind() const override { return "private X server"; }
    std::string StartPrivateDisplay(int depth, int dpi) override;
    void StopPrivateDisplay() override;

    DisplayFacts DescribeDisplay(const std::string& display) override;
    MachineFacts DescribeMachine() override;
    std::optional<double> OneMinuteLoad() override;
    // As the C library names it: POSIX locale names are ASCII.
    std::string LocaleName() override;

    void EndOnRequest() override;
    void ArmWatchdog(int seconds, const std::string& line) override;
    void DisarmWatchdog() override;

    std::string HostName() override;
    std::optional<int> ErrorTerminalColumns() override;
    void SetTransientLineShown(bool shown) override;

private:
    std::unique_ptr<XvfbServer> server_;
};

}  // namespace qmk::platform::x11
