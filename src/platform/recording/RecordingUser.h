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
    const std::string& SelectionText(Selection which) const { return selections_[Index(which)].Text; }
    WindowHandle SelectionOwner(Selection which) const { return selections_[Index(which)].Owner; }
    void SetSystemMetric(int index, int value) { metrics_[index] = value; }
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
    void SetSelectionText(WindowHandle owner, Selection which, std::string_view utf8,
                          std::uint32_t time) override;
    int GetSystemMetrics(int index) override;
    bool IsWindow(WindowHandle window) override;
    void SetConnectionLostHandler(ConnectionLostHandler handler) override;
    ConnectionLostHandler ConnectionLost() const { return connectionLost_; }

private:
    struct Owned {
        WindowHandle Owner = 0;
        std::string Text;
    };
    static std::size_t Index(Selection which) { return which == Selection::Primary ? 0 : 1; }
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
    Owned selections_[2];
    std::map<int, int> metrics_;
    std::function<void()> idle_;
    int waits_ = 0;
    ConnectionLostHandler connectionLost_ = nullptr;
    std::vector<std::string> log_;
};

}  // namespace qmk::platform
