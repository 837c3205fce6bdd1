// The window half of the platform seam: top-level and child windows,
// input and paint messages, the clipboard and screen metrics. Controls are
// drawn by the framework itself through Gdi; the backend only provides
// plain windows and reports what happens to them. Texts are code page 932
// bytes, as the program keeps every text; a backend converts them for its
// system. What a backend does when its display goes away is written in its
// own header: the program cannot go on without one, so it ends.
#pragma once

#include <cstdint>
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
}  // namespace ws

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
};

}  // namespace qmk::platform
