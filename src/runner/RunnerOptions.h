// The command line of qmk-run, the runner that drives the main window from
// scripts and on machines without a desktop.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qmk {

struct RunnerOptions {
    int Runs = 1;
    bool Json = false;
    bool Help = false;
    bool Version = false;
    // Format of the private X server; only given when the user chose it.
    std::optional<int> DisplayDepth;
    std::optional<int> Dpi;
    // Longest a step (the start, one run, the close) may take before the
    // runner gives up on a server that stopped answering; 0: no limit.
    int TimeoutSeconds = 60;
    // The session goes to the results folder unless --no-save.
    bool Save = true;
    std::optional<std::string> Label;
    std::vector<std::string> Tags;
    // The host's name when not given.
    std::optional<std::string> Machine;
};

// How long the texts that describe a session may be, in bytes, and how
// many tags it may have.
inline constexpr std::size_t MaxLabelBytes = 200;
inline constexpr std::size_t MaxTagBytes = 64;
inline constexpr std::size_t MaxTags = 32;
inline constexpr std::size_t MaxMachineBytes = 64;

inline constexpr int RunnerExitSuccess = 0;
inline constexpr int RunnerExitFailure = 1;
inline constexpr int RunnerExitUsage = 2;

// A command line that cannot be used; what() is the one line to show,
// "qmk-run: --runs needs a number, got 'x'".
class RunnerUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why a text cannot describe a session (label, tag, machine name): empty,
// longer than maxBytes, not UTF-8, or with a control character (which
// would rewrite a terminal or break a line-based export); nothing when it
// can.
std::optional<std::string> DescriptionProblem(std::string_view text, std::size_t maxBytes);

// Reads the arguments after the program name. Options take their value as
// the next argument or after '=' (--runs 3, --runs=3). Throws
// RunnerUsageError.
RunnerOptions ParseRunnerOptions(const std::vector<std::string_view>& arguments);

// The private server's format options make no sense on a display that the
// user gave, nor where the runner cannot start a server of its own: it
// cannot change the depth or resolution of a display it did not start.
// Throws RunnerUsageError when they were given and DISPLAY names a display,
// or when privateServers is false.
void CheckOptionsForDisplay(const RunnerOptions& options, const char* display,
                            bool privateServers = true);

// A text from outside (an argument, an environment variable) as a message
// can show it: in single quotes, with control characters, escape
// sequences, invalid UTF-8 and invisible format characters written as
// \xHH or \u{HHHH}, and anything over 60 bytes cut, with its length said.
std::string QuotedArgument(std::string_view text);

std::string RunnerUsageText(bool privateServers = true);
std::string RunnerVersionText(std::string_view version);

}  // namespace qmk
