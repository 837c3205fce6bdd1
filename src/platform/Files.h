// The few file-system calls that keeping results needs and that the
// standard library does not offer: a file created only if it is not there
// yet, its bytes flushed to the disk, and a rename that never replaces.
// A saved session must either be there whole or not at all, and must
// never overwrite another one, whatever else is writing into the folder.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qmk::platform {

// A file operation failed; what() names the path and the system's reason:
// "cannot create '/x/.a.json.tmp-1a2b3c': Permission denied".
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Creates path only if nothing has that name (O_EXCL, CREATE_NEW), writes
// data, flushes it to the disk and closes it. Returns false, having
// written nothing, when the name is taken; throws FileError otherwise,
// after removing what it created.
bool WriteNewFile(const std::filesystem::path& path, std::string_view data);

// Renames from to to unless to exists (then returns false and leaves
// both as they were); throws FileError for any other failure.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Makes a rename into folder survive a power cut (the folder's own entry
// is flushed); nothing where the system does that with the rename.
void SyncFolder(const std::filesystem::path& folder);

// Replaces to with from in one step: a reader sees the old file or the new
// one, never part of either. For files that are meant to be replaced
// (an export read by a collector), never for saved sessions.
void RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// A path as messages show it: UTF-8 on every system (path::string() is
// the ANSI code page on Windows, and throws for what that lacks).
inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// An environment variable as a path (in the system's own encoding of file
// names); nothing when it is not set or empty.
std::optional<std::filesystem::path> EnvironmentPath(const char* name);

}  // namespace qmk::platform
