// The window half of the platform seam on X11: plain windows, the messages
// the framework needs (paint, keys, mouse, focus, close), the two selections
// and the screen metrics. A WindowHandle is the X window id, so X11Gdi can
// draw into any window made here.
//
// Everything runs on the one user-interface thread; the connection is not
// locked (no XInitThreads).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Before any X header: Xlib's None macro would break MessageKind::None.
#include "platform/User.h"

#include <X11/Xlib.h>

#include "platform/x11/X11Display.h"

namespace qmk::platform::x11 {

class X11User : public User {
public:
    // Installs the handlers of Xlib for a lost connection (the rule of
    // X11Connection.h) and for protocol errors (they are process-wide);
    // the destructor puts the previous ones back.
    explicit X11User(X11Display& display);
    ~X11User() override;
    X11User(const X11User&) = delete;
    X11User& operator=(const X11User&) = delete;

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

    // CLIPBOARD.
    void SetClipboardText(WindowHandle owner, std::string_view text, std::uint32_t time) override;
    // PRIMARY.
    void OfferSelectionText(WindowHandle owner, std::string_view text, std::uint32_t time) override;

    int GetSystemMetrics(int index) override;
    bool IsWindow(WindowHandle window) override;

    // Program name in WM_CLASS (res_name, res_class). The class is the
    // application id that names the desktop file, whose StartupWMClass
    // matches it, so a desktop groups the windows with the menu entry.
    static constexpr const char* ResName = "qmk";
    static constexpr const char* ResClass = "org.qmkbench.QMK";

private:
    struct WindowRecord {
        Window Parent = 0;  // child windows only
        Window Leader = 0;  // top-level windows: the client leader of the group
        std::uint32_t Style = 0;
        std::int32_t Width = 0;  // as asked; X windows cannot be 0 wide
        std::int32_t Height = 0;
        bool Visible = false;  // as asked; mapped only with a non-empty size
        bool Mapped = false;   // MapNotify seen (top-level windows)
        bool FocusWanted = false;
        bool Active = false;
        std::string Text;  // code page 932
    };
    // The window manager's frame around a window like the program's: the
    // widths of its left, right, top (with the title bar) and bottom edges.
    struct FrameExtents {
        std::int32_t Left = 0, Right = 0, Top = 0, Bottom = 0;
        bool Empty() const { return Left == 0 && Right == 0 && Top == 0 && Bottom == 0; }
    };
    struct OwnedSelection {
        Window Owner = 0;
        Time Since = CurrentTime;
        std::string Utf8;
    };

    bool IsTopLevel(const WindowRecord& record) const {
        return (record.Style & (ws::Child | ws::ApplicationWindow)) == 0;
    }
    WindowRecord* Find(Window window);
    void SetTitleProperties(Window window, std::string_view cp932);
    void SetIconNameProperties(Window window, std::string_view cp932);
    void SetTopLevelProperties(Window window, const CreateWindowParams& params, WindowRecord& record);
    void SetSizeHints(Window window, const WindowRecord& record, int x, int y);
    void UpdateMapping(Window window, WindowRecord& record);
    void ApplyFocus(Window window, WindowRecord& record);
    void ForgetWindow(Window window);

    const FrameExtents& WindowManagerFrame();
    bool WindowManagerSupports(Atom feature);
    FrameExtents AskForFrameExtents();
    void SetDialogFrameHints(Window window);
    bool Viewable(Window window);
    bool TakeInvalidated(Message& message);

    bool Translate(XEvent& event, Message& message);
    static const std::array<bool (X11User::*)(XEvent&, Message&), LASTEvent>& EventHandlers();
    bool OnExpose(XEvent& event, Message& message);
    bool OnGraphicsExpose(XEvent& event, Message& message);
    bool OnKey(XEvent& event, Message& message);
    bool OnButton(XEvent& event, Message& message);
    bool OnMotion(XEvent& event, Message& message);
    bool OnFocus(XEvent& event, Message& message);
    bool OnMap(XEvent& event, Message& message);
    bool OnUnmap(XEvent& event, Message& message);
    bool OnDestroy(XEvent& event, Message& message);
    bool OnClientMessage(XEvent& event, Message& message);
    bool OnSelectionRequest(XEvent& event, Message& message);
    bool OnSelectionClear(XEvent& event, Message& message);
    bool TranslateKey(const XKeyEvent& event, Message& message);
    bool TranslateFocus(const XFocusChangeEvent& event, bool in, Message& message);
    // The selections (X11Selection.cpp).
    void AnswerSelectionRequest(const XSelectionRequestEvent& request);
    void ForgetSelection(const XSelectionClearEvent& event);
    bool ConvertSelection(const OwnedSelection& owned, Atom target, Window requestor, Atom property);
    // PRIMARY, CLIPBOARD, or null for another selection.
    OwnedSelection* SlotOf(Atom selection);
    void Claim(Atom selection, WindowHandle owner, std::string_view cp932, std::uint32_t time);

    X11Display& display_;
    Display* dpy_;
    std::unordered_map<Window, WindowRecord> windows_;
    // Expose events come in runs; a run becomes one Paint of their union.
    std::unordered_map<Window, Rect> exposed_;
    // Areas the program invalidated, painted once no other message waits;
    // ordered by window so paints come out in a steady order.
    std::map<Window, Rect> invalid_;
    OwnedSelection selections_[2];
    // Asked once, when the framework first needs the frame's size.
    std::optional<FrameExtents> frame_;

    Atom wmProtocols_, wmDeleteWindow_, wmClientLeader_, netWmName_, netWmIconName_, netWmIcon_,
        netWmPid_, netWmWindowType_, netWmWindowTypeDialog_, netWmWindowTypeNormal_, netWmState_,
        netWmStateModal_, netActiveWindow_, netSupported_, netSupportingWmCheck_,
        netRequestFrameExtents_, netFrameExtents_, motifWmHints_, utf8String_, targets_, text_,
        timestamp_, clipboard_;

    XErrorHandler previousErrorHandler_ = nullptr;
    XIOErrorHandler previousIoErrorHandler_ = nullptr;
};

}  // namespace qmk::platform::x11
