// The results folder: one saved session per file, <id>.json, written once
// and never replaced. qmk-run saves into it, qmk-results reads it.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "runner/results/Session.h"
#include "runner/results/SessionDocument.h"

namespace qmk::results {

// $QMK_RESULTS_DIR, else $XDG_DATA_HOME/qmk/results, else
// ~/.local/share/qmk/results; on Windows %LOCALAPPDATA%\qmk\results.
// Throws std::runtime_error when none of them can be determined.
std::filesystem::path ResultsFolder();

// "YYYYMMDDTHHMMSSZ-xxxxxxxx": the start in UTC to the second, then eight
// random lowercase hex digits, so that two machines (or two runners on
// one) that start in the same second still get different names.
std::string NewSessionId(std::chrono::system_clock::time_point start);

// Whether text has the form NewSessionId gives: the only names the store
// turns into file names, so an id read from elsewhere cannot name a path.
bool IsSessionId(std::string_view text);

// Writes the document as folder/<id>.json, creating the folder: to a
// temporary file beside it (.<id>.json.tmp-XXXXXX), flushed to the disk,
// then renamed into place without ever replacing an existing file. On a
// name clash it draws a new random part. Returns the id actually used.
// Throws std::runtime_error naming the path and the system's reason (or
// an id that is not one), leaving nothing behind.
std::string SaveSessionDocument(const std::filesystem::path& folder, std::string id,
                                std::string_view documentText);

struct StoredSession {
    Session Data;
    std::filesystem::path File;
};

// A file of the folder that could not be read, and why.
struct SkippedFile {
    std::filesystem::path File;
    std::string Reason;
};

struct FolderContents {
    std::vector<StoredSession> Sessions;  // by id, so oldest first
    std::vector<SkippedFile> Skipped;
};

// Every <id>.json of the folder (names starting with '.' are a writer's
// temporary files); a file that cannot be read or is not a valid session
// document is skipped and said why, so one bad file hides nothing else.
// A session's id is its file's name, which differs from the document's
// own when the writer met a name clash.
// A folder that is not there holds nothing. Throws std::runtime_error
// when the folder cannot be read at all.
FolderContents LoadFolder(const std::filesystem::path& folder);

// Reads one document; throws DocumentError whose what() starts with the
// file's name: "'/x/a.json': runs[0].cpu.score: must be ...".
Session ReadSessionFile(const std::filesystem::path& file, const ReadOptions& options = {});

// Removes folder/<id>.json; throws std::runtime_error when there is no
// such session or it cannot be removed.
void RemoveSession(const std::filesystem::path& folder, std::string_view id);

// Writes text to file so that a reader of file sees the old contents or
// the new, never a part (a temporary file beside it, then one rename that
// replaces). Throws std::runtime_error naming the file and the reason.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view text);

}  // namespace qmk::results
