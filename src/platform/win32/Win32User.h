// The window half of the platform seam on Windows. Every window is a real
// window of one class whose window procedure turns what the system sends
// into the seam's messages, queued in order; PeekMessage pumps the
// thread's queue (PeekMessageW, DispatchMessageW) until one is there.
// Painting follows the system's rules: InvalidateRect only marks the area,
// the background is erased when the paint comes, and BeginPaint in the
// window procedure validates the area before the program draws it.
// A WindowHandle is the HWND itself. Texts go to the W functions converted
// from code page 932.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "platform/User.h"

namespace qmk::platform::win32 {

class Win32User final : public User {
public:
    Win32User();
    ~Win32User() override;
    Win32User(const Win32User&) = delete;
    Win32User& operator=(const Win32User&) = delete;

    WindowHandle CreateWindow(const CreateWindowParams& params) override;
    void DestroyWindow(WindowHandle window) override;
    void ShowWindow(WindowHandle window, bool visible) override;
    void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                    std::int32_t height) override;
    void SetWindowText(WindowHandle window, std::string_view text) override;
    std::string GetWindowText(WindowHandle window) override;
    void SetWindowIcon(WindowHandle window, std::int32_t width, std::int32_t height,
                       const std::uint32_t* argb) override;
    void InvalidateRect(WindowHandle window, const Rect* area) override;
    void Activate(WindowHandle window) override;

    bool PeekMessage(Message& message) override;
    void WaitMessage() override;
    void Flush() override;

    void SetClipboardText(WindowHandle owner, std::string_view text, std::uint32_t time) override;
    // MessageBoxW with MB_ICONSTOP, and MB_TASKMODAL for taskModal.
    bool ShowMessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
                        bool taskModal) override;
    int GetSystemMetrics(int index) override;
    bool IsWindow(WindowHandle window) override;

    // Called by the window class's procedure with every message it gets.
    // (An integer stand-in for LRESULT, so this header needs no windows.h.)
    std::intptr_t WindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);

    // Called when the system's locale settings change (WM_WININICHANGE to
    // the application window); none by default.
    void SetSettingsChangedHandler(void (*handler)()) { settingsChanged_ = handler; }

private:
    void Post(const Message& message) { queue_.push_back(message); }

    std::deque<Message> queue_;
    WindowHandle destroying_ = 0;  // destroyed by the program, not by another
    void (*settingsChanged_)() = nullptr;
};

}  // namespace qmk::platform::win32
