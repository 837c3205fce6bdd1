#include "runner/results/ResultsCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "platform/Files.h"
#include "runner/results/Comparability.h"
#include "runner/results/Renderers.h"
#include "runner/results/ResultsText.h"
#include "runner/results/SessionStore.h"

namespace qmk::results {

namespace {

constexpr std::size_t ShownArgumentBytes = 60;

[[noreturn]] void Fail(const std::string& text) { throw ResultsUsageError("qmk-results: " + text); }

// A failure of the command itself (status 1); what() without the
// program's name.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An argument as a message shows it: quoted, made visible, cut.
std::string Quoted(std::string_view text) {
    const bool cut = text.size() > ShownArgumentBytes;
    std::string shown = "'" + VisibleText(text.substr(0, ShownArgumentBytes)) + "'";
    if (cut) shown += "... (" + std::to_string(text.size()) + " bytes)";
    return shown;
}

const std::set<std::string_view> Commands = {"list", "show", "compare", "report", "export", "import", "remove"};

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        throw CommandError(std::string("cannot write the output: ") + std::strerror(errno));
    }
}

void Warn(const std::string& text) { std::fprintf(stderr, "qmk-results: %s\n", text.c_str()); }

FolderContents Load(const std::filesystem::path& folder) {
    FolderContents contents = LoadFolder(folder);
    // Reported by name, then left out: one bad file hides nothing else.
    for (const SkippedFile& skipped : contents.Skipped) {
        Warn("skipped '" + VisibleText(platform::PathText(skipped.File)) + "': " + VisibleText(skipped.Reason));
    }
    return contents;
}

// "latest", a whole id, or the unique beginning of one.
const StoredSession& Find(const FolderContents& contents, const std::string& text, const std::filesystem::path& folder) {
    if (text == "latest") {
        if (contents.Sessions.empty()) {
            throw CommandError("no saved sessions in '" + VisibleText(platform::PathText(folder)) + "'");
        }
        return contents.Sessions.back();
    }
    std::vector<const StoredSession*> found;
    for (const StoredSession& stored : contents.Sessions) {
        if (stored.Data.Id == text) return stored;
        if (!text.empty() && stored.Data.Id.compare(0, text.size(), text) == 0) found.push_back(&stored);
    }
    if (found.size() == 1) return *found.front();
    if (found.empty()) {
        throw CommandError("no session " + Quoted(text) + " in '" + VisibleText(platform::PathText(folder)) + "'");
    }
    std::string which;
    for (std::size_t i = 0; i < found.size() && i < 5; ++i) which += (i ? ", " : "") + found[i]->Data.Id;
    if (found.size() > 5) which += ", ...";
    throw CommandError(Quoted(text) + " names " + std::to_string(found.size()) + " sessions (" + which +
                       "); give more of the id");
}

std::vector<const Session*> Select(const FolderContents& contents, const std::vector<std::string>& ids,
                                   const std::filesystem::path& folder) {
    std::vector<const Session*> selected;
    if (ids.empty()) {
        for (const StoredSession& stored : contents.Sessions) selected.push_back(&stored.Data);
        return selected;
    }
    std::set<std::string> seen;
    for (const std::string& id : ids) {
        const Session& session = Find(contents, id, folder).Data;
        if (seen.insert(session.Id).second) selected.push_back(&session);
    }
    // Oldest first, as the charts over time read.
    std::sort(selected.begin(), selected.end(), [](const Session* a, const Session* b) { return a->Id < b->Id; });
    return selected;
}

std::vector<SessionSummary> Summaries(const std::vector<const Session*>& sessions) {
    std::vector<SessionSummary> summaries;
    summaries.reserve(sessions.size());
    for (const Session* session : sessions) summaries.push_back(Summarize(*session));
    return summaries;
}

void Emit(const ResultsOptions& options, const std::string& text) {
    if (options.Output) {
        WriteFileAtomically(*options.Output, text);
    } else {
        Print(text);
    }
}

std::string ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int List(const std::filesystem::path& folder) {
    const FolderContents contents = Load(folder);
    if (contents.Sessions.empty()) {
        Print("no saved sessions in '" + VisibleText(platform::PathText(folder)) + "'\n");
        return ResultsExitSuccess;
    }
    std::vector<const Session*> all;
    for (const StoredSession& stored : contents.Sessions) all.push_back(&stored.Data);
    Print(ListText(Summaries(all)));
    return ResultsExitSuccess;
}

int Show(const ResultsOptions& options, const std::filesystem::path& folder) {
    const FolderContents contents = Load(folder);
    const StoredSession& stored = Find(contents, options.Arguments[0], folder);
    Print(ShowText(Summarize(stored.Data)));
    return ResultsExitSuccess;
}

int Compare(const ResultsOptions& options, const std::filesystem::path& folder) {
    const FolderContents contents = Load(folder);
    const Session& base = Find(contents, options.Arguments[0], folder).Data;
    std::vector<ComparisonView> views;
    for (std::size_t i = 1; i < options.Arguments.size(); ++i) {
        const Session& next = Find(contents, options.Arguments[i], folder).Data;
        ComparisonView view;
        view.Base = &base;
        view.New = &next;
        view.Differences = KeyDifferences(KeyOf(base), KeyOf(next));
        if (!view.Differences.empty() && !options.Force) {
            std::string reasons;
            for (const std::string& difference : view.Differences) reasons += (reasons.empty() ? "" : "; ") + difference;
            throw CommandError("cannot compare " + base.Id + " with " + next.Id + ", their scores are not comparable (" +
                               VisibleText(reasons) + "); --force compares them anyway");
        }
        for (const ScoreKind kind : ScoreKinds) view.Scores.push_back(CompareScores(base, next, kind));
        views.push_back(std::move(view));
    }
    Print(CompareText(views));
    return ResultsExitSuccess;
}

int Report(const ResultsOptions& options, const std::filesystem::path& folder) {
    const FolderContents contents = Load(folder);
    Emit(options, HtmlReport(Summaries(Select(contents, options.Arguments, folder))));
    return ResultsExitSuccess;
}

int Export(const ResultsOptions& options, const std::filesystem::path& folder) {
    const FolderContents contents = Load(folder);
    const std::vector<SessionSummary> sessions = Summaries(Select(contents, options.Arguments, folder));
    switch (*options.Format) {
        case ExportFormat::Csv: Emit(options, CsvExport(sessions)); break;
        case ExportFormat::Json: Emit(options, JsonExport(sessions)); break;
        case ExportFormat::Prometheus: Emit(options, PrometheusExport(sessions)); break;
        case ExportFormat::Influx: Emit(options, InfluxExport(sessions)); break;
    }
    return ResultsExitSuccess;
}

int Import(const ResultsOptions& options, const std::filesystem::path& folder) {
    const FolderContents contents = Load(folder);
    std::map<std::string, std::string> saved;  // id -> file text, of the folder
    for (const StoredSession& stored : contents.Sessions) saved[stored.Data.Id] = platform::PathText(stored.File);

    struct Pending {
        std::string File;
        std::string Id;
        std::string Text;
        bool AlreadyThere = false;
    };
    // Every file is read and checked before the first is saved: a bad one
    // among them saves nothing.
    std::vector<Pending> pending;
    std::set<std::string> batch;
    for (const std::string& file : options.Arguments) {
        ReadOptions read;
        read.AcceptOlderFormat = true;
        read.OlderFormatId = NewSessionId(std::chrono::system_clock::now());
        read.OlderFormatMachine = options.Machine.value_or("unknown");
        const std::filesystem::path path = std::filesystem::u8path(file);
        Session session;
        try {
            session = ReadSessionFile(path, read);
        } catch (const DocumentError& error) {
            throw CommandError(VisibleText(error.what()) + "; nothing imported");
        }
        Pending entry{file, session.Id, {}, false};
        if (session.FromOlderFormat) {
            entry.Text = SessionToJson(session).dump(2) + "\n";
        } else {
            entry.Text = ReadWhole(path);
            if (auto there = saved.find(session.Id); there != saved.end()) {
                if (ReadWhole(std::filesystem::u8path(there->second)) != entry.Text) {
                    throw CommandError(Quoted(file) + ": a different session with the id " + session.Id +
                                       " is saved already; nothing imported");
                }
                entry.AlreadyThere = true;
            }
            if (!batch.insert(session.Id).second) entry.AlreadyThere = true;
        }
        pending.push_back(std::move(entry));
    }
    for (const Pending& entry : pending) {
        if (entry.AlreadyThere) {
            Print(Quoted(entry.File) + ": session " + entry.Id + " is saved already\n");
            continue;
        }
        const std::string id = SaveSessionDocument(folder, entry.Id, entry.Text);
        Print("imported " + Quoted(entry.File) + " as " + id + "\n");
    }
    return ResultsExitSuccess;
}

int Remove(const ResultsOptions& options, const std::filesystem::path& folder) {
    const std::string& id = options.Arguments[0];
    if (!IsSessionId(id)) Fail("remove needs a whole session id as 20261208T011502Z-8f3a2c1d, got " + Quoted(id));
    RemoveSession(folder, id);
    Print("removed " + id + "\n");
    return ResultsExitSuccess;
}

void CheckCounts(const ResultsOptions& options) {
    const std::size_t n = options.Arguments.size();
    const std::string& command = options.Command;
    const auto only = [&](bool given, const char* option, const char* commands) {
        if (given) Fail(std::string(option) + " applies only to " + commands + " (see --help)");
    };
    only(options.Force && command != "compare", "--force", "compare");
    only(options.Format && command != "export", "--format", "export");
    only(options.Output && command != "report" && command != "export", "--output", "report and export");
    only(options.Machine && command != "import", "--machine", "import");
    if ((command == "list") && n != 0) Fail("list takes no arguments, got " + Quoted(options.Arguments[0]));
    if ((command == "show" || command == "remove") && n != 1) {
        Fail(command + " needs one session id" + (command == "show" ? " (or latest)" : "") +
             (n == 0 ? "" : ", got " + std::to_string(n)));
    }
    if (command == "compare" && n < 2) Fail("compare needs a base session and at least one new one");
    if (command == "report" && !options.Output) Fail("report needs -o FILE.html");
    if (command == "export" && !options.Format) Fail("export needs --format csv, json, prom or influx");
    if (command == "import" && n == 0) Fail("import needs at least one file");
}

}  // namespace

ResultsOptions ParseResultsOptions(const std::vector<std::string_view>& arguments) {
    ResultsOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::string_view name = argument;
        std::optional<std::string_view> attached;
        if (!optionsEnded && argument.rfind("--", 0) == 0) {
            const std::size_t equals = argument.find('=');
            if (equals != std::string_view::npos) {
                name = argument.substr(0, equals);
                attached = argument.substr(equals + 1);
            }
        }
        const auto takesNoValue = [&] {
            if (attached) Fail(std::string(name) + " takes no value, got " + Quoted(*attached));
        };
        const auto value = [&](const char* what) -> std::string_view {
            if (attached) return *attached;
            if (i + 1 >= arguments.size()) Fail(std::string(name) + " needs " + what);
            return arguments[++i];
        };
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (options.Command.empty()) {
                if (!Commands.count(argument)) Fail("unknown command " + Quoted(argument) + " (see --help)");
                options.Command = std::string(argument);
            } else {
                options.Arguments.emplace_back(argument);
            }
        } else if (name == "--") {
            optionsEnded = true;
        } else if (name == "--help" || name == "-h") {
            takesNoValue();
            options.Help = true;
        } else if (name == "--version") {
            takesNoValue();
            options.Version = true;
        } else if (name == "--force") {
            takesNoValue();
            options.Force = true;
        } else if (name == "-o" || name == "--output") {
            const std::string_view file = value("a file name");
            if (file.empty()) Fail(std::string(name) + " needs a file name");
            options.Output = std::filesystem::u8path(file);
        } else if (name == "--format") {
            const std::string_view format = value("a format: csv, json, prom or influx");
            if (format == "csv") {
                options.Format = ExportFormat::Csv;
            } else if (format == "json") {
                options.Format = ExportFormat::Json;
            } else if (format == "prom") {
                options.Format = ExportFormat::Prometheus;
            } else if (format == "influx") {
                options.Format = ExportFormat::Influx;
            } else {
                Fail("--format must be csv, json, prom or influx, got " + Quoted(format));
            }
        } else if (name == "--machine") {
            const std::string_view machine = value("a name");
            if (machine.empty()) Fail("--machine needs a name");
            options.Machine = std::string(machine);
        } else {
            Fail("unknown option " + Quoted(name) + " (see --help)");
        }
    }
    if (options.Help || options.Version) return options;
    if (options.Command.empty()) Fail("no command given (see --help)");
    CheckCounts(options);
    return options;
}

std::string ResultsUsageText() {
    return "Usage: qmk-results COMMAND [OPTIONS] [ARGUMENTS]\n"
           "Lists, compares, reports and exports the sessions that qmk-run saves.\n"
           "\n"
           "Commands:\n"
           "  list                 one line per saved session: id, start, machine, label,\n"
           "                       runs, CPU and video medians, comparability group\n"
           "  show ID|latest       a session's facts, its runs with their per-second\n"
           "                       samples, and its summary\n"
           "  compare BASE NEW...  each NEW against BASE: medians, change in per cent and\n"
           "                       a two-sided Mann-Whitney U test at the 0.05 level\n"
           "      --force          compare sessions that are not comparable (another\n"
           "                       version, build, flags, pixel access, phase lengths or\n"
           "                       display depth), marking every line\n"
           "  report -o FILE.html [ID...]\n"
           "                       one self-contained HTML file with charts (default:\n"
           "                       every saved session)\n"
           "  export --format csv|json|prom|influx [-o FILE] [ID...]\n"
           "                       the runs for other programs (default: every saved\n"
           "                       session): CSV, JSON, the Prometheus text format for\n"
           "                       the node exporter's textfile collector (the latest\n"
           "                       session per machine and version), InfluxDB line\n"
           "                       protocol\n"
           "  import [--machine NAME] FILE...\n"
           "                       save documents of qmk-run --json or sessions saved on\n"
           "                       other machines, each checked first; --machine names\n"
           "                       the machine of documents from qmk-run 1.0.0\n"
           "  remove ID            delete a saved session (the whole id)\n"
           "\n"
           "  -o, --output FILE    write there instead of to standard output, replacing\n"
           "                       the file in one step (a reader never sees half of it)\n"
           "  --help, -h           show this text\n"
           "  --version            show the program's version\n"
           "\n"
           "An ID may be shortened to a beginning that only one session has; latest\n"
           "names the newest. Sessions are kept in $QMK_RESULTS_DIR if set, else in\n"
           "$XDG_DATA_HOME/qmk/results, else in ~/.local/share/qmk/results (on Windows\n"
           "%LOCALAPPDATA%\\qmk\\results). Files there that cannot be read are named on\n"
           "standard error and skipped.\n"
           "\n"
           "Exit status: 0 success, 1 failure, 2 bad command line.\n";
}

int RunResults(const std::vector<std::string_view>& arguments, std::string_view version) {
    ResultsOptions options;
    try {
        options = ParseResultsOptions(arguments);
    } catch (const ResultsUsageError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return ResultsExitUsage;
    }
    try {
        if (options.Help) {
            Print(ResultsUsageText());
            return ResultsExitSuccess;
        }
        if (options.Version) {
            Print("qmk-results " + std::string(version) + "\n");
            return ResultsExitSuccess;
        }
        const std::filesystem::path folder = ResultsFolder();
        const std::string& command = options.Command;
        if (command == "list") return List(folder);
        if (command == "show") return Show(options, folder);
        if (command == "compare") return Compare(options, folder);
        if (command == "report") return Report(options, folder);
        if (command == "export") return Export(options, folder);
        if (command == "import") return Import(options, folder);
        return Remove(options, folder);
    } catch (const ResultsUsageError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return ResultsExitUsage;
    } catch (const std::exception& error) {
        std::fflush(stdout);
        Warn(error.what());
        return ResultsExitFailure;
    }
}

}  // namespace qmk::results
