#include "platform/recording/RecordingUser.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/recording/RecordingGdi.h"

namespace qmk::platform {

namespace {

// Texts are code page 932 bytes; the log shows them ASCII-safe.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && c != '"' && c != '\\') {
            out.push_back(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", b);
            out += buffer;
        }
    }
    return out + "\"";
}

std::string Hex(std::uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

Rect Union(const Rect& a, const Rect& b) {
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

}  // namespace

RecordingUser::RecordingUser(RecordingGdi* gdi, std::int32_t screenWidth, std::int32_t screenHeight)
    : gdi_(gdi) {
    metrics_[metric::CxScreen] = screenWidth;
    metrics_[metric::CyScreen] = screenHeight;
    metrics_[metric::CxBorder] = metrics_[metric::CyBorder] = 1;
    metrics_[metric::CxEdge] = metrics_[metric::CyEdge] = 2;
}

std::string RecordingUser::WindowName(WindowHandle window) {
    return window == 0 ? std::string("0") : "w" + std::to_string(window);
}

const RecordingUser::WindowInfo* RecordingUser::Info(WindowHandle window) const {
    if (window == 0 || window > windows_.size()) return nullptr;
    return &windows_[window - 1];
}

RecordingUser::WindowInfo* RecordingUser::Live(WindowHandle window) {
    if (window == 0 || window > windows_.size() || !windows_[window - 1].Alive) return nullptr;
    return &windows_[window - 1];
}

std::vector<WindowHandle> RecordingUser::LiveWindows() const {
    std::vector<WindowHandle> out;
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].Alive) out.push_back(i + 1);
    }
    return out;
}

std::vector<std::string> RecordingUser::Calls(std::string_view name) const {
    std::vector<std::string> out;
    for (const std::string& call : log_) {
        if (call.size() > name.size() && call.compare(0, name.size(), name) == 0 &&
            call[name.size()] == '(')
            out.push_back(call);
    }
    return out;
}

// A window shows only while it and all its parents are visible and it has
// an area; the application window never shows.
bool RecordingUser::Showing(WindowHandle window) const {
    for (const WindowInfo* info = Info(window); info != nullptr; info = Info(info->Parent)) {
        if (!info->Alive || !info->Visible || (info->Style & ws::ApplicationWindow) != 0 ||
            info->Width <= 0 || info->Height <= 0)
            return false;
        if ((info->Style & ws::Child) == 0) return true;
    }
    return false;
}

void RecordingUser::Register(WindowHandle window) {
    const WindowInfo& info = windows_[window - 1];
    if (gdi_ == nullptr || (info.Style & ws::ApplicationWindow) != 0) return;
    // A new surface replaces the old one, which a device context still held
    // would point into; the swap waits until no context is out (the framework
    // gives them all back after each message).
    if (gdi_->LiveDcCount() > 0) {
        if (std::find(resized_.begin(), resized_.end(), window) == resized_.end())
            resized_.push_back(window);
        return;
    }
    gdi_->AddWindow(window, std::max(info.Width, 0), std::max(info.Height, 0), info.Background);
}

void RecordingUser::RegisterResized() {
    if (resized_.empty() || gdi_->LiveDcCount() > 0) return;
    std::vector<WindowHandle> windows;
    windows.swap(resized_);
    for (WindowHandle window : windows) Register(window);
}

WindowHandle RecordingUser::CreateWindow(const CreateWindowParams& params) {
    if ((params.Style & ws::Child) != 0 && Live(params.Parent) == nullptr)
        throw std::invalid_argument("CreateWindow: unknown parent");
    if (params.Kind != WindowKind::Plain && (!standardControls_ || (params.Style & ws::Child) == 0))
        throw std::invalid_argument("CreateWindow: a standard control needs them on, as a child");
    WindowInfo info;
    info.Parent = (params.Style & ws::Child) != 0 ? params.Parent : 0;
    info.Owner = params.Owner;
    info.Style = params.Style;
    info.X = params.X;
    info.Y = params.Y;
    info.Width = params.Width;
    info.Height = params.Height;
    info.Visible = (params.Style & ws::Visible) != 0;
    info.Background = params.Background;
    info.Text = std::string(params.Title);
    info.Kind = params.Kind;
    windows_.push_back(std::move(info));
    const WindowHandle window = windows_.size();
    const char* kind = params.Kind == WindowKind::PushButton     ? ",PushButton"
                       : params.Kind == WindowKind::ReadOnlyEdit ? ",ReadOnlyEdit"
                                                                 : "";
    Log("CreateWindow(" + WindowName(window) + "," + WindowName(params.Parent) + "," +
        WindowName(params.Owner) + "," + Hex(params.Style, 4) + "," + std::to_string(params.X) +
        "," + std::to_string(params.Y) + "," + std::to_string(params.Width) + "," +
        std::to_string(params.Height) + "," + Hex(params.Background, 8) + "," +
        Quoted(params.Title) + kind + ")");
    // The system paints its own controls: no surface, no Paint.
    if (params.Kind != WindowKind::Plain) return window;
    Register(window);
    if (Showing(window)) InvalidateAll(window, false);
    return window;
}

void RecordingUser::DestroyWindow(WindowHandle window) {
    Log("DestroyWindow(" + WindowName(window) + ")");
    if (Live(window) == nullptr) return;
    Kill(window);
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].Alive && windows_[i].Parent == window) DestroyWindow(i + 1);
    }
}

void RecordingUser::Kill(WindowHandle window) {
    WindowInfo* info = Live(window);
    if (info == nullptr) return;
    info->Alive = false;
    invalid_.erase(window);
    if (active_ == window) active_ = 0;
    if (focus_ == window) focus_ = 0;
    if (focusWanted_ == window) focusWanted_ = 0;
    for (Owned* owned : {&clipboard_, &selection_}) {
        if (owned->Owner == window) *owned = Owned{};
    }
}

// The children die with their parent without a call of their own, as on a
// display server.
void RecordingUser::DestroyByOtherProgram(WindowHandle window) {
    if (Live(window) == nullptr) return;
    std::vector<WindowHandle> doomed{window};
    for (std::size_t k = 0; k < doomed.size(); ++k) {
        for (std::size_t i = 0; i < windows_.size(); ++i) {
            if (windows_[i].Alive && windows_[i].Parent == doomed[k]) doomed.push_back(i + 1);
        }
    }
    for (WindowHandle w : doomed) Kill(w);
    Message m;
    m.Window = window;
    m.Kind = MessageKind::Destroyed;
    Post(m);
}

void RecordingUser::ShowWindow(WindowHandle window, bool visible) {
    Log("ShowWindow(" + WindowName(window) + "," + (visible ? "1" : "0") + ")");
    WindowInfo* info = Live(window);
    if (info == nullptr || info->Visible == visible) return;
    info->Visible = visible;
    if (visible) {
        if (Showing(window)) InvalidateAll(window, true);
        if (focusWanted_ == window && Showing(window)) FocusTo(window);
    } else if (active_ == window) {
        active_ = 0;
        Message m;
        m.Window = window;
        m.Kind = MessageKind::Deactivate;
        Post(m);
    }
}

void RecordingUser::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                               std::int32_t width, std::int32_t height) {
    Log("MoveWindow(" + WindowName(window) + "," + std::to_string(x) + "," + std::to_string(y) +
        "," + std::to_string(width) + "," + std::to_string(height) + ")");
    WindowInfo* info = Live(window);
    if (info == nullptr) return;
    const bool resized = info->Width != width || info->Height != height;
    info->X = x;
    info->Y = y;
    info->Width = width;
    info->Height = height;
    if (!resized) return;
    // A new size loses the old contents, as an X window without bit gravity does.
    Register(window);
    invalid_.erase(window);
    if (Showing(window)) InvalidateAll(window, false);
}

void RecordingUser::SetWindowText(WindowHandle window, std::string_view text) {
    Log("SetWindowText(" + WindowName(window) + "," + Quoted(text) + ")");
    if (WindowInfo* info = Live(window)) info->Text = std::string(text);
}

std::string RecordingUser::GetWindowText(WindowHandle window) {
    Log("GetWindowText(" + WindowName(window) + ")");
    WindowInfo* info = Live(window);
    return info != nullptr ? info->Text : std::string();
}

void RecordingUser::SetWindowIcon(WindowHandle window, std::int32_t width, std::int32_t height,
                                  const std::uint32_t*) {
    Log("SetWindowIcon(" + WindowName(window) + "," + std::to_string(width) + "," +
        std::to_string(height) + ")");
    if (WindowInfo* info = Live(window)) {
        info->IconWidth = width;
        info->IconHeight = height;
    }
}

void RecordingUser::Invalidate(WindowHandle window, const Rect& area) {
    const WindowInfo& info = windows_[window - 1];
    if (info.Kind != WindowKind::Plain) return;
    Rect clipped{std::max(area.Left, 0), std::max(area.Top, 0), std::min(area.Right, info.Width),
                 std::min(area.Bottom, info.Height)};
    if (clipped.Right <= clipped.Left || clipped.Bottom <= clipped.Top) return;
    auto it = invalid_.find(window);
    if (it == invalid_.end()) invalid_[window] = clipped;
    else it->second = Union(it->second, clipped);
}

void RecordingUser::InvalidateAll(WindowHandle window, bool withChildren) {
    const WindowInfo& info = windows_[window - 1];
    Invalidate(window, {0, 0, info.Width, info.Height});
    if (!withChildren) return;
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].Alive && windows_[i].Parent == window && Showing(i + 1))
            InvalidateAll(i + 1, true);
    }
}

void RecordingUser::InvalidateRect(WindowHandle window, const Rect* area) {
    Log("InvalidateRect(" + WindowName(window) + "," +
        (area == nullptr ? std::string("null")
                         : "{" + std::to_string(area->Left) + "," + std::to_string(area->Top) +
                               "," + std::to_string(area->Right) + "," +
                               std::to_string(area->Bottom) + "}") +
        ")");
    if (Live(window) == nullptr || !Showing(window)) return;
    if (area == nullptr) InvalidateAll(window, false);
    else Invalidate(window, *area);
}

void RecordingUser::FocusTo(WindowHandle window) {
    focusWanted_ = 0;
    if (active_ == window) return;
    Message m;
    if (active_ != 0) {
        m.Window = active_;
        m.Kind = MessageKind::Deactivate;
        Post(m);
    }
    active_ = window;
    m.Window = window;
    m.Kind = MessageKind::Activate;
    Post(m);
}

void RecordingUser::Activate(WindowHandle window) {
    Log("Activate(" + WindowName(window) + ")");
    WindowInfo* info = Live(window);
    if (info == nullptr || (info->Style & (ws::Child | ws::ApplicationWindow)) != 0) return;
    if (Showing(window)) FocusTo(window);
    else focusWanted_ = window;
}

bool RecordingUser::PeekMessage(Message& message) {
    RegisterResized();
    if (!queue_.empty()) {
        message = queue_.front();
        queue_.pop_front();
        return true;
    }
    if (!invalid_.empty()) {
        auto it = invalid_.begin();
        message = Message{};
        message.Window = it->first;
        message.Kind = MessageKind::Paint;
        message.Area = it->second;
        invalid_.erase(it);
        return true;
    }
    return false;
}

void RecordingUser::WaitMessage() {
    Log("WaitMessage()");
    ++waits_;
    if (!queue_.empty() || !invalid_.empty()) return;
    if (!idle_) throw std::logic_error("RecordingUser::WaitMessage: nothing queued and no idle handler");
    idle_();
}

void RecordingUser::Flush() { Log("Flush()"); }

void RecordingUser::Own(Owned& owned, const char* call, WindowHandle owner, std::string_view text,
                        std::uint32_t time) {
    Log(std::string(call) + "(" + WindowName(owner) + "," + Quoted(text) + "," +
        std::to_string(time) + ")");
    if (Live(owner) == nullptr) return;
    owned.Owner = owner;
    owned.Text = std::string(text);
}

void RecordingUser::SetClipboardText(WindowHandle owner, std::string_view text, std::uint32_t time) {
    Own(clipboard_, "SetClipboardText", owner, text, time);
}

void RecordingUser::OfferSelectionText(WindowHandle owner, std::string_view text,
                                       std::uint32_t time) {
    Own(selection_, "OfferSelectionText", owner, text, time);
}

int RecordingUser::GetSystemMetrics(int index) {
    Log("GetSystemMetrics(" + std::to_string(index) + ")");
    auto it = metrics_.find(index);
    return it != metrics_.end() ? it->second : 0;
}

bool RecordingUser::IsWindow(WindowHandle window) {
    Log("IsWindow(" + WindowName(window) + ")");
    return Live(window) != nullptr;
}

void RecordingUser::SetControlFont(WindowHandle control, ObjectHandle font) {
    Log("SetControlFont(" + WindowName(control) + "," + Hex(static_cast<std::uint32_t>(font), 1) + ")");
    if (WindowInfo* info = Live(control)) info->Font = font;
}

void RecordingUser::SetControlColors(WindowHandle control, ColorRef text, ColorRef background) {
    Log("SetControlColors(" + WindowName(control) + "," + Hex(text, 8) + "," + Hex(background, 8) + ")");
    if (WindowInfo* info = Live(control)) {
        info->TextColor = text;
        info->Background = background;
    }
}

void RecordingUser::SetDefaultButton(WindowHandle button, bool isDefault) {
    Log("SetDefaultButton(" + WindowName(button) + "," + (isDefault ? "1" : "0") + ")");
    if (WindowInfo* info = Live(button)) info->DefaultButton = isDefault;
}

void RecordingUser::ReplaceTextLine(WindowHandle edit, std::int32_t index, std::string_view text) {
    Log("ReplaceTextLine(" + WindowName(edit) + "," + std::to_string(index) + "," + Quoted(text) + ")");
    WindowInfo* info = Live(edit);
    if (info == nullptr || index < 0) return;
    std::size_t start = 0;
    for (std::int32_t line = 0; line < index; ++line) {
        const std::size_t end = info->Text.find("\r\n", start);
        if (end == std::string::npos) return;
        start = end + 2;
    }
    const std::size_t end = info->Text.find("\r\n", start);
    info->Text.replace(start, (end == std::string::npos ? info->Text.size() : end) - start, text);
}

void RecordingUser::SetFocus(WindowHandle control) {
    Log("SetFocus(" + WindowName(control) + ")");
    if (Live(control) == nullptr || focus_ == control) return;
    focus_ = control;
    Message m;
    m.Window = control;
    m.Kind = MessageKind::FocusIn;
    Post(m);
}

}  // namespace qmk::platform
