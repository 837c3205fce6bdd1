// What the command-line runner needs from its surroundings besides the
// desktop: where its window goes, a display server of its own when the
// session has none, the facts about the display and the machine for its
// JSON record, and its ways out (a request to end it, a watchdog for a
// display that stopped answering). How a backend does each is written in
// its own header.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qmk::platform {

struct DisplayFacts {
    std::string ServerVendor;
    std::int64_t VendorRelease = 0;
    int Depth = 0;
    std::string VisualClass;
    int ScreenWidth = 0;
    int ScreenHeight = 0;
};

struct MachineFacts {
    std::string Processor;  // the model's name; empty when the system does not say
    int Processors = 0;     // online; 0 when the system does not say
};

class RunnerHost {
public:
    virtual ~RunnerHost() = default;

    // The display the user's session gives; empty when there is none.
    virtual std::string GivenDisplay() = 0;
    // Whether the runner can start a display server of its own. Where it
    // cannot, the window always opens on the session's desktop, at that
    // desktop's depth and pixels per inch.
    virtual bool CanStartPrivateDisplay() const = 0;
    // How messages name the display server the runner starts itself.
    virtual std::string_view PrivateDisplayKind() const = 0;
    // Starts that server with the given depth and pixels per inch and
    // returns its display's name. It is stopped by StopPrivateDisplay, by
    // the destructor, and on every way out below. Throws
    // std::runtime_error saying why it could not start.
    virtual std::string StartPrivateDisplay(int depth, int dpi) = 0;
    virtual void StopPrivateDisplay() = 0;

    // Asks the display's server about itself over a connection of its own.
    virtual DisplayFacts DescribeDisplay(const std::string& display) = 0;
    virtual MachineFacts DescribeMachine() = 0;
    // The one-minute load average, if the system tells it.
    virtual std::optional<double> OneMinuteLoad() = 0;
    // The C library's name of the program's locale (setlocale), in UTF-8.
    virtual std::string LocaleName() = 0;

    // From now on a request from outside to end the runner stops the
    // private server and ends it with 128 + the request's number; a
    // request ignored when the runner started stays ignored. A reader of
    // the output that went away makes the next write fail instead of
    // ending the runner.
    virtual void EndOnRequest() = 0;
    // Starts the watchdog of one step that may wait for ever on a display
    // that stopped answering (seconds <= 0: none). When the time is up,
    // the line goes to standard error, the private server is stopped and
    // the runner ends with status 1. A new step restarts it.
    virtual void ArmWatchdog(int seconds, const std::string& line) = 0;
    virtual void DisarmWatchdog() = 0;

    // The machine's name on the network; empty when the system does not say.
    virtual std::string HostName() = 0;
    // Whether standard error is a terminal that moves to the start of the
    // line on "\r" and erases to its end on "\x1b[K"; then its width in
    // columns (0 when unknown). Nothing for a file, a pipe or a device.
    virtual std::optional<int> ErrorTerminalColumns() = 0;
    // Whether a line that the runner rewrites now stands, unfinished, on
    // that terminal. While it does, the ways out above (a request to end,
    // the watchdog, a lost display) erase it before they write or end.
    virtual void SetTransientLineShown(bool shown) = 0;
};

// The host of the backend this program was built with. Making it also
// installs the backend's rule for a lost display, with programName in its
// line, before any call to the display.
std::unique_ptr<RunnerHost> MakeRunnerHost(std::string_view programName);

}  // namespace qmk::platform
