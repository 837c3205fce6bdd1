// The results folder: one saved session per file, <id>.json, written once
// and never replaced. qmk-run saves into it, qmk-results reads it.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

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

}  // namespace qmk::results
