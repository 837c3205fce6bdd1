#include "platform/win32/Win32Console.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/win32/WinApi.h"

namespace qmk::platform::win32 {

namespace {

// The console behind a C library stream; null for a file, a pipe or no
// stream at all (a Windows-subsystem program started from the desktop).
HANDLE ConsoleOf(std::FILE* file) {
    const int descriptor = _fileno(file);
    if (descriptor < 0) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
        return nullptr;
    }
    return handle;
}

// Older consoles refuse long writes; a piece never ends inside a
// surrogate pair.
constexpr std::size_t ConsolePiece = 8192;

}  // namespace

bool WriteConsoleText(StandardStream stream, std::string_view text) {
    std::FILE* file = stream == StandardStream::Output ? stdout : stderr;
    const HANDLE console = ConsoleOf(file);
    if (console == nullptr) {
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        return std::fflush(file) == 0 && written;
    }
    // Whatever the C library still holds for the console goes first.
    std::fflush(file);
    if (text.empty()) return true;
    // Bytes that are not UTF-8 show as U+FFFD, as on a UTF-8 terminal.
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0) {
        errno = EILSEQ;
        return false;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    for (std::size_t offset = 0; offset < wide.size();) {
        std::size_t piece = std::min(ConsolePiece, wide.size() - offset);
        if (piece < wide.size() - offset && wide[offset + piece - 1] >= 0xD800 &&
            wide[offset + piece - 1] <= 0xDBFF) {
            --piece;
        }
        DWORD written = 0;
        if (!::WriteConsoleW(console, wide.data() + offset, static_cast<DWORD>(piece), &written, nullptr) ||
            written == 0) {
            errno = EIO;
            return false;
        }
        offset += written;
    }
    return true;
}

}  // namespace qmk::platform::win32
