#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "platform/Files.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform {

namespace {

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, DWORD error) {
    throw FileError(std::string("cannot ") + what + " '" + PathText(path) + "': " +
                    std::system_category().message(static_cast<int>(error)));
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }
    BOOL Close() {
        const BOOL result = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return result;
    }

private:
    HANDLE handle_;
};

}  // namespace

bool WriteNewFile(const std::filesystem::path& path, std::string_view data) {
    Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return false;
        Fail("create", path, error);
    }
    const auto failAndRemove = [&](const char* what) {
        const DWORD error = GetLastError();
        file.Close();
        DeleteFileW(path.c_str());
        Fail(what, path, error);
    };
    std::size_t written = 0;
    while (written < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - written, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(file.Get(), data.data() + written, chunk, &n, nullptr)) failAndRemove("write");
        written += n;
    }
    if (!FlushFileBuffers(file.Get())) failAndRemove("flush");
    if (!file.Close()) {
        const DWORD error = GetLastError();
        DeleteFileW(path.c_str());
        Fail("write", path, error);
    }
    return true;
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name.
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    Fail("rename to", to, error);
}

void RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("rename to", to, GetLastError());
    }
}

// MOVEFILE_WRITE_THROUGH has flushed the folder's entry with the move.
void SyncFolder(const std::filesystem::path&) {}

std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
    // The wide form: a user name outside the ANSI code page is common in
    // %LOCALAPPDATA%.
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wideName.c_str());
    if (value == nullptr || *value == L'\0') return std::nullopt;
    return std::filesystem::path(value);
}

}  // namespace qmk::platform
