#include "app/RunnerOptions.h"

#include <charconv>

namespace qmk {

namespace {

constexpr int MinDpi = 48;
constexpr int MaxDpi = 480;

[[noreturn]] void Fail(const std::string& text) { throw RunnerUsageError("qmk-run: " + text); }

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The whole text must be a decimal number that fits an int; "+3", " 3",
// "3x" and "0x10" are refused, so a typo never turns into another count.
int NumberArgument(std::string_view option, std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error == std::errc::invalid_argument || stop != end) {
        Fail(std::string(option) + " needs a number, got " + Quoted(text));
    }
    if (error == std::errc::result_out_of_range) {
        Fail(std::string(option) + " is out of range, got " + Quoted(text));
    }
    return value;
}

}  // namespace

RunnerOptions ParseRunnerOptions(const std::vector<std::string_view>& arguments) {
    RunnerOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        std::string_view name = argument;
        std::optional<std::string_view> attached;
        if (argument.rfind("--", 0) == 0) {
            const std::size_t equals = argument.find('=');
            if (equals != std::string_view::npos) {
                name = argument.substr(0, equals);
                attached = argument.substr(equals + 1);
            }
        }
        const auto takesNoValue = [&] {
            if (attached) Fail(std::string(name) + " takes no value, got " + Quoted(*attached));
        };
        const auto value = [&]() -> std::string_view {
            if (attached) return *attached;
            if (i + 1 >= arguments.size()) Fail(std::string(name) + " needs a number");
            return arguments[++i];
        };

        if (name == "--help" || name == "-h") {
            takesNoValue();
            options.Help = true;
        } else if (name == "--version") {
            takesNoValue();
            options.Version = true;
        } else if (name == "--json") {
            takesNoValue();
            options.Json = true;
        } else if (name == "--runs") {
            const std::string_view text = value();
            const int runs = NumberArgument(name, text);
            if (runs < 1) Fail("--runs must be at least 1, got " + Quoted(text));
            options.Runs = runs;
        } else if (name == "--display-depth") {
            const std::string_view text = value();
            const int depth = NumberArgument(name, text);
            if (depth != 16 && depth != 24) Fail("--display-depth must be 16 or 24, got " + Quoted(text));
            options.DisplayDepth = depth;
        } else if (name == "--dpi") {
            const std::string_view text = value();
            const int dpi = NumberArgument(name, text);
            if (dpi < MinDpi || dpi > MaxDpi) {
                Fail("--dpi must be between " + std::to_string(MinDpi) + " and " +
                     std::to_string(MaxDpi) + ", got " + Quoted(text));
            }
            options.Dpi = dpi;
        } else if (!argument.empty() && argument[0] == '-') {
            Fail("unknown option " + Quoted(name) + " (see --help)");
        } else {
            Fail("unexpected argument " + Quoted(argument) + " (see --help)");
        }
    }
    return options;
}

void CheckOptionsForDisplay(const RunnerOptions& options, const char* display) {
    if (display == nullptr || *display == '\0') return;
    const char* option = options.DisplayDepth ? "--display-depth" : options.Dpi ? "--dpi" : nullptr;
    if (option == nullptr) return;
    Fail(std::string(option) + " applies only to the runner's own X server, but DISPLAY is set to " +
         Quoted(display) + "; run without DISPLAY (env -u DISPLAY qmk-run ...)");
}

std::string RunnerUsageText() {
    return "Usage: qmk-run [--runs N] [--json] [--display-depth 16|24] [--dpi N]\n"
           "Runs the QMK benchmark in its main window, as a click on the start button\n"
           "does, and prints the two result lines of each run.\n"
           "\n"
           "  --runs N             run N times (default 1); for N > 1 also print the mean,\n"
           "                       median, minimum, maximum and sample standard deviation\n"
           "                       (n - 1) of both scores\n"
           "  --json               print one JSON document: every run, the summary, and\n"
           "                       what the scores depend on (X server, locale, processor,\n"
           "                       build)\n"
           "  --display-depth N    depth of the private X server: 16 or 24 (default 24)\n"
           "  --dpi N              pixels per inch of the private X server, 48 to 480\n"
           "                       (default 96)\n"
           "  --help, -h           show this text\n"
           "  --version            show the program's version\n"
           "\n"
           "The window opens on the display in DISPLAY. Without one, qmk-run starts a\n"
           "private Xvfb (24-bit, 96 dpi unless chosen otherwise) and stops it when it\n"
           "ends; --display-depth and --dpi apply only to that server.\n"
           "\n"
           "Exit status: 0 success, 1 a run or the start failed, 2 bad command line,\n"
           "129, 130, 143 ended by SIGHUP, SIGINT, SIGTERM.\n";
}

std::string RunnerVersionText(std::string_view version) {
    return "qmk-run " + std::string(version) + "\n";
}

}  // namespace qmk
