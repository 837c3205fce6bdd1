// The runner's surroundings on Windows:
// - its window goes to the session's desktop; there is no private display
//   server to start;
// - the display's facts are the screen's (size, colour depth) and, in the
//   server's place, the Windows version and the ANSI code page; the
//   machine's come from the registry's processor name and the count of
//   processors over all processor groups; Windows keeps no load average;
// - the C library names locales in the ANSI code page ("Norwegian
//   Bokm\xE5l_Norway.1252" in code page 1252): the name is converted to
//   UTF-8;
// - Ctrl+C, Ctrl+Break and the console's closing end it with 128 + 2, as
//   SIGINT does elsewhere;
// - its output is UTF-8 to files and pipes; a console gets the same
//   characters through WriteConsoleW and keeps its code page (see
//   Win32Console.h);
// - no progress line yet (ErrorTerminalColumns says no terminal); should
//   one be shown, Ctrl+C and the watchdog erase it before they end;
// - the watchdog is a thread that waits for its time or its disarming.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/RunnerHost.h"

namespace qmk::platform::win32 {

class Watchdog;

class Win32RunnerHost : public RunnerHost {
public:
    Win32RunnerHost();
    ~Win32RunnerHost() override;

    std::string GivenDisplay() override { return "desktop"; }
    bool CanStartPrivateDisplay() const override { return false; }
    std::string_view PrivateDisplayKind() const override { return "private display"; }
    std::string StartPrivateDisplay(int depth, int dpi) override;
    void StopPrivateDisplay() override {}

    DisplayFacts DescribeDisplay(const std::string& display) override;
    MachineFacts DescribeMachine() override;
    std::optional<double> OneMinuteLoad() override { return std::nullopt; }
    std::string LocaleName() override;

    void EndOnRequest() override;
    void ArmWatchdog(int seconds, const std::string& line) override;
    void DisarmWatchdog() override;

    std::string HostName() override;
    std::optional<int> ErrorTerminalColumns() override;
    void SetTransientLineShown(bool shown) override;

private:
    std::unique_ptr<Watchdog> watchdog_;
};

// Text in the ANSI code page as UTF-8 (empty when it does not convert).
std::string AnsiToUtf8(std::string_view text);

// The processors the system runs, in all processor groups.
int ProcessorCount();

// "Windows 10.0.19045" from the system's own version (not the one a
// compatibility layer reports to the program).
std::string WindowsVersion();

}  // namespace qmk::platform::win32
