#include "runner/RunnerOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "runner/results/ResultsText.h"

namespace qmk {

namespace {

constexpr int MinDpi = 48;
constexpr int MaxDpi = 480;

[[noreturn]] void Fail(const std::string& text) { throw RunnerUsageError("qmk-run: " + text); }

constexpr int MaxTimeout = 86400;
constexpr std::size_t ShownArgumentBytes = 60;

std::string Quoted(std::string_view text) { return QuotedArgument(text); }

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

// A text that describes the session, as given: refused with the reason.
std::string DescriptionArgument(std::string_view option, std::string_view text, std::size_t maxBytes) {
    if (const auto problem = DescriptionProblem(text, maxBytes)) {
        Fail(std::string(option) + " " + *problem + ", got " + Quoted(text));
    }
    return std::string(text);
}

}  // namespace

std::optional<std::string> DescriptionProblem(std::string_view text, std::size_t maxBytes) {
    if (text.empty()) return "must not be empty";
    if (text.size() > maxBytes) return "must be at most " + std::to_string(maxBytes) + " bytes";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return "must not contain control characters";
        if (c < 0x80) {
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = results::DecodeUtf8(text.substr(i), code);
        if (length == 0) return "must be UTF-8";
        if (results::IsInvisible(code)) return "must not contain control characters";
        i += length;
    }
    return std::nullopt;
}

std::string QuotedArgument(std::string_view text) {
    std::string out = "'";
    std::size_t i = 0;
    while (i < text.size() && i < ShownArgumentBytes) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\' || c == '\'') out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = c >= 0x80 ? results::DecodeUtf8(text.substr(i), code) : 0;
        if (length == 0) {
            switch (c) {
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                default: results::AppendHex(out, "\\x", c, 2, ""); break;
            }
            ++i;
        } else if (results::IsInvisible(code)) {
            results::AppendHex(out, "\\u{", static_cast<std::uint32_t>(code), 4, "}");
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += "'";
    if (i < text.size()) out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

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
        // A forgotten value must not swallow the next option as a text;
        // one that starts with "--" can still be given after '='.
        const auto text = [&]() -> std::string_view {
            if (attached) return *attached;
            if (i + 1 >= arguments.size()) Fail(std::string(name) + " needs a text");
            const std::string_view next = arguments[++i];
            if (next.rfind("--", 0) == 0) {
                Fail(std::string(name) + " needs a text, got " + Quoted(next) + " (write " +
                     std::string(name) + "=" + std::string(next) + " if that is the text)");
            }
            return next;
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
        } else if (name == "--timeout") {
            const std::string_view text = value();
            const int seconds = NumberArgument(name, text);
            if (seconds < 0 || seconds > MaxTimeout) {
                Fail("--timeout must be between 0 and " + std::to_string(MaxTimeout) +
                     " seconds, got " + Quoted(text));
            }
            options.TimeoutSeconds = seconds;
        } else if (name == "--no-save") {
            takesNoValue();
            options.Save = false;
        } else if (name == "--label") {
            if (options.Label) Fail("--label may be given once");
            options.Label = DescriptionArgument(name, text(), MaxLabelBytes);
        } else if (name == "--tag") {
            std::string tag = DescriptionArgument(name, text(), MaxTagBytes);
            if (options.Tags.size() == MaxTags) {
                Fail("--tag may be given at most " + std::to_string(MaxTags) + " times");
            }
            // The same tag twice says nothing more.
            if (std::find(options.Tags.begin(), options.Tags.end(), tag) == options.Tags.end()) {
                options.Tags.push_back(std::move(tag));
            }
        } else if (name == "--machine") {
            if (options.Machine) Fail("--machine may be given once");
            options.Machine = DescriptionArgument(name, text(), MaxMachineBytes);
        } else if (!argument.empty() && argument[0] == '-') {
            Fail("unknown option " + Quoted(name) + " (see --help)");
        } else {
            Fail("unexpected argument " + Quoted(argument) + " (see --help)");
        }
    }
    return options;
}

void CheckOptionsForDisplay(const RunnerOptions& options, const char* display, bool privateServers) {
    const char* option = options.DisplayDepth ? "--display-depth" : options.Dpi ? "--dpi" : nullptr;
    if (option == nullptr) return;
    if (!privateServers) {
        Fail(std::string(option) +
             " is not available here: the window opens on the desktop, at the desktop's own depth"
             " and pixels per inch");
    }
    if (display == nullptr || *display == '\0') return;
    Fail(std::string(option) + " applies only to the runner's own X server, but DISPLAY is set to " +
         Quoted(display) + "; run without DISPLAY (env -u DISPLAY qmk-run ...)");
}

std::string RunnerUsageText(bool privateServers) {
    std::string text =
        "Usage: qmk-run [--runs N] [--json] [--display-depth 16|24] [--dpi N]\n"
        "               [--timeout SECONDS] [--no-save] [--label TEXT] [--tag TEXT]...\n"
        "               [--machine NAME]\n"
        "Runs the QMK benchmark in its main window, as a click on the start button\n"
        "does, prints the two result lines of each run, and saves the session (all\n"
        "its runs with their per-second counts) in the results folder.\n"
        "\n"
        "  --runs N             run N times (default 1); for N > 1 also print the mean,\n"
        "                       median, minimum, maximum and sample standard deviation\n"
        "                       (n - 1) of both scores\n"
        "  --json               print one JSON document: every run with its per-second\n"
        "                       counts, the summary, and what the scores depend on\n"
        "                       (X server, locale, processor, build); the saved\n"
        "                       session is the same document\n"
        "  --display-depth N    depth of the private X server: 16 or 24 (default 24)\n"
        "  --dpi N              pixels per inch of the private X server, 48 to 480\n"
        "                       (default 96)\n"
        "  --timeout SECONDS    give up when the start, one run or the close takes\n"
        "                       longer than this, as when the X server stops\n"
        "                       answering (default 60; 0: wait for ever)\n"
        "  --no-save            do not save the session\n"
        "  --label TEXT         describe the session (at most 200 bytes)\n"
        "  --tag TEXT           a tag of the session; may be repeated (at most 32,\n"
        "                       each at most 64 bytes)\n"
        "  --machine NAME       the machine's name in the session (default: the host\n"
        "                       name; at most 64 bytes)\n"
        "  --help, -h           show this text\n"
        "  --version            show the program's version\n"
        "\n";
    text += privateServers
                ? "The window opens on the display in DISPLAY. Without one, qmk-run starts a\n"
                  "private Xvfb (24-bit, 96 dpi unless chosen otherwise) and stops it when it\n"
                  "ends; --display-depth and --dpi apply only to that server.\n"
                : "The window opens on the desktop, at the desktop's own depth and pixels per\n"
                  "inch: there is no private X server here, and --display-depth and --dpi\n"
                  "are refused.\n";
    text += privateServers
                ? "\nSessions are saved in $QMK_RESULTS_DIR if set, else in\n"
                  "$XDG_DATA_HOME/qmk/results, else in ~/.local/share/qmk/results; qmk-results\n"
                  "lists, compares and reports them. A run that fails or is interrupted saves\n"
                  "nothing.\n"
                : "\nSessions are saved in %QMK_RESULTS_DIR% if set, else in\n"
                  "%LOCALAPPDATA%\\qmk\\results; qmk-results lists, compares and reports\n"
                  "them. A run that fails or is interrupted saves nothing.\n";
    text +=
        "When standard error is a terminal, one line there shows the run and the\n"
        "test under way and the last scores; it is erased before qmk-run ends.\n"
        "\n"
        "Exit status: 0 success, 1 a run or the start failed or timed out, or the\n"
        "session could not be saved, 2 bad command line, 129, 130, 143 ended by\n"
        "SIGHUP, SIGINT, SIGTERM. A signal that was ignored when qmk-run started\n"
        "(nohup) stays ignored.\n";
    return text;
}

std::string RunnerVersionText(std::string_view version) {
    return "qmk-run " + std::string(version) + "\n";
}

}  // namespace qmk
