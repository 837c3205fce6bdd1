// A console of the test's own, made for the guard's lifetime, and what
// it shows.
#pragma once

#include "platform/win32/WinApi.h"

#include <string>

namespace qmk::platform::win32::testing {

class OwnConsole {
public:
    OwnConsole() {
        for (int i = 0; i < 3; ++i) before_[i] = ::GetStdHandle(StdIds[i]);
        ::FreeConsole();
        allocated_ = ::AllocConsole() != FALSE;
        if (!allocated_) return;
        for (int i = 0; i < 3; ++i) console_[i] = ::GetStdHandle(StdIds[i]);
        // Inheritable: a program started by the test may write to it.
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        output_ = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherit, OPEN_EXISTING, 0, nullptr);
    }
    // FreeConsole closes whatever the standard handles are then, and the C
    // library points them at its own descriptors when the test redirects
    // one: the console's handles go back for it to close, and the standard
    // handles end as they were (or as the test left them).
    ~OwnConsole() {
        if (output_ != INVALID_HANDLE_VALUE) ::CloseHandle(output_);
        if (!allocated_) return;
        HANDLE now[3];
        for (int i = 0; i < 3; ++i) {
            now[i] = ::GetStdHandle(StdIds[i]);
            ::SetStdHandle(StdIds[i], console_[i]);
        }
        ::FreeConsole();
        for (int i = 0; i < 3; ++i) ::SetStdHandle(StdIds[i], now[i] == console_[i] ? before_[i] : now[i]);
    }
    OwnConsole(const OwnConsole&) = delete;
    OwnConsole& operator=(const OwnConsole&) = delete;

    bool Ready() const { return allocated_ && output_ != INVALID_HANDLE_VALUE; }
    HANDLE Output() const { return output_; }

    COORD Cursor() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        ::GetConsoleScreenBufferInfo(output_, &info);
        return info.dwCursorPosition;
    }
    std::wstring Row(SHORT row) const {
        wchar_t text[128]{};
        DWORD read = 0;
        ::ReadConsoleOutputCharacterW(output_, text, 80, COORD{0, row}, &read);
        std::wstring line(text, read);
        line.erase(line.find_last_not_of(L' ') + 1);
        return line;
    }

private:
    static constexpr DWORD StdIds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

    HANDLE before_[3] = {};
    HANDLE console_[3] = {};
    bool allocated_ = false;
    HANDLE output_ = INVALID_HANDLE_VALUE;
};

}  // namespace qmk::platform::win32::testing
