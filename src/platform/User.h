// The window half of the platform seam: top-level and child windows,
// input and paint messages, the clipboard and screen metrics. Controls are
// drawn by the framework itself through Gdi, on plain windows the backend
// provides and reports on; a backend whose system has its own standard
// push button and read-only text box may offer them instead (see
// HasStandardControls), and then the system draws and runs those two. Texts are code page 932
// bytes, as the program keeps every text; a backend converts them for its
// system. What a backend does when its display goes away is written in its
// own header: the program cannot go on without one, so it ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Types.h"

namespace qmk::platform {

// Window styles (CreateWindowParams::Style), as bits.
namespace ws {
inline constexpr std::uint32_t Child = 0x0001;         // inside Parent's client area
inline constexpr std::uint32_t Visible = 0x0002;       // shown at creation
inline constexpr std::uint32_t DialogFrame = 0x0004;   // fixed size: no resize, no min/max
// The application window: it carries the program's title and owns the
// program's top-level windows. Where the desktop's task list shows an
// owner's entry for the windows it owns (Windows' taskbar), the backend
// shows it with no size to carry that entry; elsewhere it is never shown.
inline constexpr std::uint32_t ApplicationWindow = 0x0008;
inline constexpr std::uint32_t Modal = 0x0010;         // a modal box above its owner
inline constexpr std::uint32_t TabStop = 0x0020;       // a standard control Tab stops at
}  // namespace ws

// What a window is. Plain windows are the framework's to paint; the others
// are the system's standard controls, made only by a backend whose
// HasStandardControls() is true.
enum class WindowKind : std::uint8_t {
    Plain,
    // A push button showing Title; a click (mouse, or Space while it has
    // the focus) comes as one Clicked message addressed to it.
    PushButton,
    // A multi-line text box the user cannot change: Title is its text
    // (lines ended by CR LF), wrapped at word boundaries at its width, a
    // sunken edge, no scroll bars. The user places the caret, selects and
    // copies with the system's own keys, mouse and menu.
    ReadOnlyEdit,
};

struct CreateWindowParams {
    WindowHandle Parent = 0;  // for ws::Child
    WindowHandle Owner = 0;   // for top-level windows: the application window, or, for a
                              // modal box, the window it stands above
    std::uint32_t Style = 0;
    // Client area: position in the parent's client area (child) or on the
    // screen (top level), and size. Sizes of 0 are allowed.
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    ColorRef Background = 0x00C0C0C0;  // what the system fills exposed areas with
    std::string_view Title;            // code page 932
    WindowKind Kind = WindowKind::Plain;
};

// Virtual key codes, with their Windows numbers.
namespace vk {
inline constexpr std::uint32_t Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10,
                               Control = 0x11, Menu = 0x12, Escape = 0x1B, Space = 0x20,
                               Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25,
                               Up = 0x26, Right = 0x27, Down = 0x28, Insert = 0x2D,
                               Delete = 0x2E, F4 = 0x73;
// Letters and digits are their upper-case ASCII codes: 'A' is 0x41.
}  // namespace vk

namespace mod {
inline constexpr std::uint32_t Shift = 0x1, Control = 0x2, Alt = 0x4;
}

enum class MessageKind : std::uint8_t {
    None,
    Paint,        // Area needs painting (client coordinates)
    KeyDown,      // Key, Modifiers, Text (what the key types, may be empty)
    KeyUp,        // Key, Modifiers
    ButtonDown,   // Button (1 left, 2 middle, 3 right), X, Y, Modifiers, Time
    ButtonUp,     // the same; goes to the window that got the ButtonDown
    MouseMove,    // X, Y, Modifiers (buttons held: ButtonMask)
    Activate,     // the top-level window got the keyboard focus
    Deactivate,   // ... and lost it
    Close,        // the user asked to close a top-level window
    EndSession,   // the session is ending: leave at once
    Destroyed,    // another program destroyed the top-level window; its
                  // children are gone with it and their handles mean nothing
    // Standard controls only (see HasStandardControls):
    Clicked,      // the push button was clicked, once
    FocusIn,      // the control took the keyboard focus (the user clicked it,
                  // or the system moved the focus there)
};

struct Message {
    WindowHandle Window = 0;
    MessageKind Kind = MessageKind::None;
    Rect Area;                     // Paint
    std::int32_t X = 0;            // pointer, client coordinates of Window
    std::int32_t Y = 0;
    std::uint32_t Key = 0;         // vk:: code
    std::uint32_t Modifiers = 0;   // mod:: bits
    std::uint32_t Button = 0;
    std::uint32_t ButtonMask = 0;  // bit (n-1) for each button n held
    // Input: when it happened, in milliseconds of the platform's input
    // clock (it wraps; only differences count).
    std::uint32_t Time = 0;
    char Text[8] = {};             // KeyDown: NUL-terminated, code page 932
};

class User {
public:
    virtual ~User() = default;

    virtual WindowHandle CreateWindow(const CreateWindowParams& params) = 0;
    virtual void DestroyWindow(WindowHandle window) = 0;
    virtual void ShowWindow(WindowHandle window, bool visible) = 0;
    // Client-area position and size (see CreateWindowParams).
    virtual void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                            std::int32_t width, std::int32_t height) = 0;
    virtual void SetWindowText(WindowHandle window, std::string_view text) = 0;  // code page 932
    virtual std::string GetWindowText(WindowHandle window) = 0;
    // A 32-bit ARGB picture, rows top to bottom, for the window manager.
    virtual void SetWindowIcon(WindowHandle window, std::int32_t width, std::int32_t height,
                               const std::uint32_t* argb) = 0;
    // Asks for a Paint message of the area (the whole client area when null).
    virtual void InvalidateRect(WindowHandle window, const Rect* area) = 0;
    // Gives the keyboard focus to a top-level window and raises it.
    virtual void Activate(WindowHandle window) = 0;

    // Takes the next message without waiting; false when there is none.
    virtual bool PeekMessage(Message& message) = 0;
    // Sleeps until a message may be there (sends pending output first).
    virtual void WaitMessage() = 0;
    // Optional: a system that may end the program as soon as it has told it
    // that the session ends (Windows, once the program has answered
    // WM_ENDSESSION) leaves no time to take EndSession from the queue. Such
    // a backend calls the handler there and then, before it answers; the
    // handler does the program's end and ends the process. Without a
    // handler (and on other systems) EndSession is queued as any message.
    virtual void SetSessionEndHandler(std::function<void()> /*handler*/) {}
    // Sends pending output to the display.
    virtual void Flush() = 0;

    // Puts the text (lines ended by LF) on the clipboard, owned by the
    // window: the backend hands it to other programs that ask, while the
    // window lives or until another program puts something there. time is
    // the Time of the input that asked for it (0: now).
    virtual void SetClipboardText(WindowHandle owner, std::string_view text,
                                  std::uint32_t time) = 0;
    // Optional: some desktops keep a second selection besides the
    // clipboard, which holds whatever the user selected last and is pasted
    // with the middle button. The text of a fresh selection is offered
    // there; a backend whose desktop has none ignores it (this default).
    virtual void OfferSelectionText(WindowHandle /*owner*/, std::string_view /*text*/,
                                    std::uint32_t /*time*/) {}

    // Optional: a desktop whose own message box is the one its users know
    // shows the text there (a stop icon and an OK button) and returns true
    // once it is closed; taskModal boxes have no owner and stand above every
    // window of the program. The default returns false and the framework
    // draws its own box.
    virtual bool ShowMessageBox(WindowHandle /*owner*/, std::string_view /*text*/,
                                std::string_view /*caption*/, bool /*taskModal*/) {
        return false;
    }

    virtual int GetSystemMetrics(int index) = 0;

    // Whether the window still exists: another program may have destroyed
    // it before its Destroyed message is taken.
    virtual bool IsWindow(WindowHandle window) = 0;

    // --- Standard controls (optional) ---------------------------------------
    // Whether CreateWindow makes the system's own push button and read-only
    // text box for WindowKind::PushButton and ReadOnlyEdit. With them the
    // system paints those windows and handles their mouse and keys itself:
    // the framework gets Clicked and FocusIn from them, and KeyDown only
    // for Tab and Enter, which move the focus between controls and press
    // the button (the form's business, not the control's). Without them
    // (this default) the framework draws its own controls on plain windows,
    // and the calls below are never made.
    virtual bool HasStandardControls() { return false; }
    // The font a standard control draws its text in. The handle stays the
    // caller's and must live while the control uses it.
    virtual void SetControlFont(WindowHandle /*control*/, ObjectHandle /*font*/) {}
    // Text and background colours of a read-only text box.
    virtual void SetControlColors(WindowHandle /*control*/, ColorRef /*text*/,
                                  ColorRef /*background*/) {}
    // Shows a push button as the default button (the one Enter presses), or
    // as an ordinary one.
    virtual void SetDefaultButton(WindowHandle /*button*/, bool /*isDefault*/) {}
    // Replaces line index of a read-only text box's text, keeping its line
    // break, and leaves the caret after the new text. Lines are counted by
    // line breaks (CR LF), not as the box wraps them, so a long line does
    // not move the ones after it; a line the text does not have (beyond the
    // empty one after the last break) is left alone. Text is code page 932
    // without line breaks.
    virtual void ReplaceTextLine(WindowHandle /*edit*/, std::int32_t /*index*/,
                                 std::string_view /*text*/) {}
    // Gives the keyboard focus to a standard control of the active window.
    virtual void SetFocus(WindowHandle /*control*/) {}
};

}  // namespace qmk::platform
