#include "runner/results/SessionStore.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/Files.h"

namespace qmk::results {

namespace {

constexpr std::size_t TimePartLength = 16;  // YYYYMMDDTHHMMSSZ
constexpr std::size_t RandomPartLength = 8;
// Drawing a taken name this often in a row means something else is wrong.
constexpr int MaxNameAttempts = 100;

std::string RandomText(std::size_t length, std::string_view alphabet) {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += alphabet[pick(generator)];
    return text;
}

std::string RandomPart() { return RandomText(RandomPartLength, "0123456789abcdef"); }

bool IsDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!kept_) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    bool kept_ = false;
};

}  // namespace

std::filesystem::path ResultsFolder() {
    if (auto folder = platform::EnvironmentPath("QMK_RESULTS_DIR")) return *folder;
#ifdef _WIN32
    if (auto local = platform::EnvironmentPath("LOCALAPPDATA")) return *local / "qmk" / "results";
    throw std::runtime_error(
        "cannot tell where to keep results: LOCALAPPDATA is not set (set QMK_RESULTS_DIR)");
#else
    // A relative XDG_DATA_HOME is invalid and to be ignored.
    if (auto data = platform::EnvironmentPath("XDG_DATA_HOME"); data && data->is_absolute()) {
        return *data / "qmk" / "results";
    }
    if (auto home = platform::EnvironmentPath("HOME"); home && home->is_absolute()) {
        return *home / ".local" / "share" / "qmk" / "results";
    }
    throw std::runtime_error(
        "cannot tell where to keep results: neither XDG_DATA_HOME nor HOME is set to an absolute"
        " path (set QMK_RESULTS_DIR)");
#endif
}

std::string NewSessionId(std::chrono::system_clock::time_point start) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(start);
    const auto day = floor<days>(seconds);
    const year_month_day date(day);
    const hh_mm_ss time(seconds - day);
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%04d%02u%02uT%02d%02d%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return std::string(buffer.data()) + "-" + RandomPart();
}

bool IsSessionId(std::string_view text) {
    if (text.size() != TimePartLength + 1 + RandomPartLength) return false;
    if (!IsDigits(text.substr(0, 8)) || text[8] != 'T' || !IsDigits(text.substr(9, 6)) ||
        text[15] != 'Z' || text[16] != '-') {
        return false;
    }
    for (const char c : text.substr(TimePartLength + 1)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

std::string SaveSessionDocument(const std::filesystem::path& folder, std::string id,
                                std::string_view documentText) {
    if (!IsSessionId(id)) throw std::runtime_error("'" + id + "' is not a session id");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw std::runtime_error("cannot create the results folder '" + platform::PathText(folder) +
                                 "': " + error.message());
    }
    try {
        for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
            TemporaryFile temporary(folder / ("." + id + ".json.tmp-" +
                                              RandomText(6, "0123456789abcdefghijklmnopqrstuvwxyz")));
            if (!platform::WriteNewFile(temporary.Path(), documentText)) continue;
            if (platform::RenameNoReplace(temporary.Path(), folder / (id + ".json"))) {
                temporary.Keep();
                // The session is saved whole whatever this answers; a
                // folder that cannot be flushed only makes it less sure to
                // outlive a power cut, not a reason to report a failure.
                try {
                    platform::SyncFolder(folder);
                } catch (const platform::FileError&) {
                }
                return id;
            }
            id = id.substr(0, TimePartLength) + "-" + RandomPart();
        }
    } catch (const platform::FileError& failure) {
        throw std::runtime_error(failure.what());
    }
    throw std::runtime_error("cannot find a free name for the session in '" + platform::PathText(folder) +
                             "'");
}

namespace {

std::string Quoted(const std::filesystem::path& path) { return "'" + platform::PathText(path) + "'"; }

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot be opened");
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        // A file far bigger than any session is not read to its end.
        if (text.size() > MaxDocumentBytes) break;
    }
    if (in.bad()) throw std::runtime_error("cannot be read");
    return text;
}

}  // namespace

Session ReadSessionFile(const std::filesystem::path& file, const ReadOptions& options) {
    try {
        return ReadSessionDocument(ReadText(file), options);
    } catch (const std::exception& error) {
        throw DocumentError(Quoted(file) + ": " + error.what());
    }
}

FolderContents LoadFolder(const std::filesystem::path& folder) {
    FolderContents contents;
    std::error_code error;
    if (!std::filesystem::exists(folder, error)) return contents;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) throw std::runtime_error("cannot read the results folder " + Quoted(folder) + ": " + error.message());
    for (const auto& entry : entries) {
        const std::filesystem::path& path = entry.path();
        const std::string name = platform::PathText(path.filename());
        if (name.empty() || name[0] == '.' || path.extension() != ".json") continue;
        try {
            const std::string stem = platform::PathText(path.stem());
            if (!IsSessionId(stem)) throw DocumentError("the name is not that of a saved session (<id>.json)");
            Session session = ReadSessionDocument(ReadText(path));
            // The name is the id: a writer whose first name was taken saved
            // the document under a new one, and show and remove go by it.
            session.Id = stem;
            contents.Sessions.push_back({std::move(session), path});
        } catch (const std::exception& failure) {
            contents.Skipped.push_back({path, failure.what()});
        }
    }
    std::sort(contents.Sessions.begin(), contents.Sessions.end(),
              [](const StoredSession& a, const StoredSession& b) { return a.Data.Id < b.Data.Id; });
    std::sort(contents.Skipped.begin(), contents.Skipped.end(),
              [](const SkippedFile& a, const SkippedFile& b) { return a.File < b.File; });
    return contents;
}

void RemoveSession(const std::filesystem::path& folder, std::string_view id) {
    if (!IsSessionId(id)) throw std::runtime_error("'" + std::string(id) + "' is not a session id");
    const std::filesystem::path file = folder / (std::string(id) + ".json");
    std::error_code error;
    if (!std::filesystem::remove(file, error)) {
        if (error) throw std::runtime_error("cannot remove " + Quoted(file) + ": " + error.message());
        throw std::runtime_error("no session " + std::string(id) + " in " + Quoted(folder));
    }
}

void WriteFileAtomically(const std::filesystem::path& file, std::string_view text) {
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    try {
        for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
            TemporaryFile temporary(folder / ("." + platform::PathText(file.filename()) + ".tmp-" +
                                              RandomText(6, "0123456789abcdefghijklmnopqrstuvwxyz")));
            if (!platform::WriteNewFile(temporary.Path(), text)) continue;
            platform::RenameReplacing(temporary.Path(), file);
            temporary.Keep();
            return;
        }
    } catch (const platform::FileError& failure) {
        throw std::runtime_error(failure.what());
    }
    throw std::runtime_error("cannot find a free temporary name beside " + Quoted(file));
}

}  // namespace qmk::results
