// The window half of the platform seam on Windows. Every window is a real
// window of one class whose window procedure turns what the system sends
// into the seam's messages, queued in order; PeekMessage pumps the
// thread's queue (PeekMessageW, DispatchMessageW) until one is there.
// Painting follows the system's rules: InvalidateRect only marks the area,
// the background is erased when the paint comes, and BeginPaint in the
// window procedure validates the area before the program draws it.
// A WindowHandle is the HWND itself. Texts go to the W functions converted
// from code page 932.
//
// The push button and the read-only text box are the system's "BUTTON" and
// "EDIT" controls. They draw themselves and handle their own mouse and
// keys (Space on the button; caret, selection, Ctrl+C and the context menu
// in the box); each is subclassed only to hand Tab and Enter to the
// program, which moves the focus and presses the button, and to report
// when it takes the focus. The button's BN_CLICKED, which the system sends
// to the parent, becomes one Clicked message for the button; the parent
// answers the box's colour messages with the box's colours.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

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
    // Called from inside WM_ENDSESSION to the application window, before
    // the answer; EndSession is then not queued.
    void SetSessionEndHandler(std::function<void()> handler) override { sessionEnd_ = std::move(handler); }
    void Flush() override;

    void SetClipboardText(WindowHandle owner, std::string_view text, std::uint32_t time) override;
    // MessageBoxW with MB_ICONSTOP, and MB_TASKMODAL for taskModal.
    bool ShowMessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
                        bool taskModal) override;
    int GetSystemMetrics(int index) override;
    bool IsWindow(WindowHandle window) override;

    bool HasStandardControls() override { return true; }
    // WM_SETFONT.
    void SetControlFont(WindowHandle control, ObjectHandle font) override;
    // Given to the box's parent's WM_CTLCOLORSTATIC and WM_CTLCOLOREDIT.
    void SetControlColors(WindowHandle control, ColorRef text, ColorRef background) override;
    // BM_SETSTYLE with BS_DEFPUSHBUTTON or BS_PUSHBUTTON.
    void SetDefaultButton(WindowHandle button, bool isDefault) override;
    // The line's start found in the box's own text, then EM_SETSEL and
    // EM_REPLACESEL (not undoable).
    void ReplaceTextLine(WindowHandle edit, std::int32_t index, std::string_view text) override;
    void SetFocus(WindowHandle control) override;

    // Called by the window class's procedure with every message it gets.
    // (An integer stand-in for LRESULT, so this header needs no windows.h.)
    std::intptr_t WindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);
    // The same for a standard control's subclass: what it takes for the
    // program; false leaves the message to the control.
    bool ControlMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                        std::intptr_t lParam);

    // Called when the system's locale settings change (WM_WININICHANGE to
    // the application window); none by default.
    void SetSettingsChangedHandler(void (*handler)()) { settingsChanged_ = handler; }

private:
    void Post(const Message& message) { queue_.push_back(message); }

    std::deque<Message> queue_;
    WindowHandle destroying_ = 0;  // destroyed by the program, not by another
    void (*settingsChanged_)() = nullptr;
    std::function<void()> sessionEnd_;
};

}  // namespace qmk::platform::win32
