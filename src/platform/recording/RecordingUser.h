// An in-memory window backend for framework tests. Windows are records;
// messages come from a queue that tests fill with Post(); every call except
// PeekMessage is logged as text such as "MoveWindow(w2,10,20,400,152)".
//
// It behaves like the X11 backend where the framework can tell: showing a
// window or giving it a new size asks for a Paint of all of it, invalidated
// areas come back as one Paint per window once the posted messages are
// taken, and Activate of a hidden window waits until the window is shown.
// Window handles are 1, 2, 3, ... and read "w1", "w2" in the log, as in
// RecordingGdi's log.
//
// Standard controls are off unless a test turns them on
// (SetStandardControls): then push buttons and read-only text boxes are
// records too, which never ask for a Paint; their line replacements change
// the record's text, and the keyboard focus given to one comes back as a
// FocusIn message, as a system's would. Clicks and keys are the test's to
// post.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/User.h"

namespace qmk::platform {

class RecordingGdi;

class RecordingUser : public User {
public:
    struct WindowInfo {
        bool Alive = true;
        WindowHandle Parent = 0;
        WindowHandle Owner = 0;
        std::uint32_t Style = 0;
        std::int32_t X = 0;
        std::int32_t Y = 0;
        std::int32_t Width = 0;
        std::int32_t Height = 0;
        bool Visible = false;
        ColorRef Background = 0;
        std::string Text;  // code page 932
        std::int32_t IconWidth = 0;
        std::int32_t IconHeight = 0;
        // Standard controls:
        WindowKind Kind = WindowKind::Plain;
        ObjectHandle Font = 0;
        ColorRef TextColor = 0;
        bool DefaultButton = false;
    };

    // With a RecordingGdi, every window is registered there, so GetDC(window)
    // draws into a surface of its size filled with its background. A new
    // size gives a new surface as soon as no device context is out.
    explicit RecordingUser(RecordingGdi* gdi = nullptr, std::int32_t screenWidth = 1024,
                           std::int32_t screenHeight = 768);

    // --- Set-up and inspection for tests ------------------------------------
    void Post(const Message& message) { queue_.push_back(message); }
    std::size_t PendingCount() const { return queue_.size(); }
    // Called by WaitMessage when nothing is queued, so a test can feed the
    // loop; without one, such a wait would never end and throws instead.
    void SetIdleHandler(std::function<void()> handler) { idle_ = std::move(handler); }
    int WaitCount() const { return waits_; }

    // Null for a handle that was never made; destroyed windows stay with Alive false.
    const WindowInfo* Info(WindowHandle window) const;
    std::vector<WindowHandle> LiveWindows() const;
    WindowHandle ActiveWindow() const { return active_; }
    // What the clipboard and the desktop's selection hold (code page 932),
    // and the window that put it there (0 once that window is gone).
    const std::string& ClipboardText() const { return clipboard_.Text; }
    WindowHandle ClipboardOwner() const { return clipboard_.Owner; }
    const std::string& SelectionText() const { return selection_.Text; }
    WindowHandle SelectionOwner() const { return selection_.Owner; }
    void SetSystemMetric(int index, int value) { metrics_[index] = value; }
    void SetStandardControls(bool on) { standardControls_ = on; }
    // The window that has the keyboard focus (0: none was given one).
    WindowHandle FocusWindow() const { return focus_; }
    // Another program destroys a top-level window: it and its children die
    // now, and a Destroyed message waits in the queue.
    void DestroyByOtherProgram(WindowHandle window);

    void ClearLog() { log_.clear(); }
    const std::vector<std::string>& Calls() const { return log_; }
    // Only the calls of that name, e.g. "InvalidateRect".
    std::vector<std::string> Calls(std::string_view name) const;
    static std::string WindowName(WindowHandle window);

    // --- platform::User -----------------------------------------------------
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
    // This backend keeps the desktop's selection too.
    void OfferSelectionText(WindowHandle owner, std::string_view text, std::uint32_t time) override;
    int GetSystemMetrics(int index) override;
    bool IsWindow(WindowHandle window) override;
    bool HasStandardControls() override { return standardControls_; }
    void SetControlFont(WindowHandle control, ObjectHandle font) override;
    void SetControlColors(WindowHandle control, ColorRef text, ColorRef background) override;
    void SetDefaultButton(WindowHandle button, bool isDefault) override;
    void ReplaceTextLine(WindowHandle edit, std::int32_t index, std::string_view text) override;
    void SetFocus(WindowHandle control) override;

private:
    struct Owned {
        WindowHandle Owner = 0;
        std::string Text;
    };
    void Own(Owned& owned, const char* call, WindowHandle owner, std::string_view text,
             std::uint32_t time);
    WindowInfo* Live(WindowHandle window);
    bool Showing(WindowHandle window) const;
    void InvalidateAll(WindowHandle window, bool withChildren);
    void Invalidate(WindowHandle window, const Rect& area);
    void FocusTo(WindowHandle window);
    void Kill(WindowHandle window);
    void Register(WindowHandle window);
    void RegisterResized();
    void Log(std::string text) { log_.push_back(std::move(text)); }

    RecordingGdi* gdi_;
    std::vector<WindowInfo> windows_;  // handle n is windows_[n - 1]
    std::deque<Message> queue_;
    std::vector<WindowHandle> resized_;  // surfaces to renew once no context is out
    std::map<WindowHandle, Rect> invalid_;  // in handle order, as paints come out
    WindowHandle active_ = 0;
    WindowHandle focusWanted_ = 0;
    WindowHandle focus_ = 0;
    bool standardControls_ = false;
    Owned clipboard_;
    Owned selection_;
    std::map<int, int> metrics_;
    std::function<void()> idle_;
    int waits_ = 0;
    std::vector<std::string> log_;
};

}  // namespace qmk::platform
