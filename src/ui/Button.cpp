#include "ui/Button.h"

#include "graphics/Color.h"
#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/DeviceContext.h"
#include "ui/Fonts.h"
#include "ui/StylePainter.h"

namespace qmk {

namespace {
constexpr std::uint32_t AnyModifier = platform::mod::Shift | platform::mod::Control | platform::mod::Alt;
}

TButton::TButton(std::string name) : TWinControl(std::move(name)) {
    SetTabStop(true);
    SetColor(clBtnFace);
}

void TButton::Click() {
    if (OnClick) OnClick(*this);
}

void TButton::CreateParams(platform::CreateWindowParams& params) {
    TWinControl::CreateParams(params);
    if (platform::UserApi().HasStandardControls()) {
        params.Kind = platform::WindowKind::PushButton;
        if (TabStop()) params.Style |= platform::ws::TabStop;
    }
}

void TButton::HandleCreated() {
    if (!StandardControl()) return;
    auto& user = platform::UserApi();
    user.SetControlFont(Handle(), FontHandle(Font()));
    user.SetDefaultButton(Handle(), Focused());
}

void TButton::FontChanged() {
    if (StandardControl()) platform::UserApi().SetControlFont(Handle(), FontHandle(Font()));
    TWinControl::FontChanged();
}

void TButton::TextChanged() {
    if (StandardControl()) platform::UserApi().SetWindowText(Handle(), Caption());
}

void TButton::HandleMessage(const platform::Message& message) {
    if (message.Kind == platform::MessageKind::Clicked) {
        Click();
        return;
    }
    TWinControl::HandleMessage(message);
}

// The standard button draws a change of its state at once rather than at
// the next paint: a click's handler may keep the program from painting for
// seconds (a whole run), and the button must look released meanwhile.
void TButton::SetPressed(bool pressed) {
    if (pressed == pressed_) return;
    pressed_ = pressed;
    Repaint();
}

bool TButton::Inside(const platform::Message& message) const {
    return message.X >= 0 && message.Y >= 0 && message.X < Width() && message.Y < Height();
}

void TButton::MouseDown(const platform::Message& message) {
    if (message.Button != 1) return;
    SetFocus();
    mouseHeld_ = true;
    Application().SetCapture(this);
    SetPressed(true);
}

void TButton::MouseMove(const platform::Message& message) {
    if (mouseHeld_) SetPressed(Inside(message));
}

void TButton::MouseUp(const platform::Message& message) {
    if (message.Button != 1 || !mouseHeld_) return;
    mouseHeld_ = false;
    if (Application().Capture() == this) Application().SetCapture(nullptr);
    SetPressed(spaceHeld_);
    if (Inside(message)) Click();
}

bool TButton::KeyDown(const platform::Message& message) {
    if (message.Key == platform::vk::Return && (message.Modifiers & AnyModifier) == 0) {
        Click();
        return true;
    }
    // The standard button clicks on Space itself.
    if (StandardControl()) return false;
    if (message.Key == platform::vk::Space) {
        // The click comes with the release, as the classic button does it.
        if (!spaceHeld_ && !mouseHeld_) {
            spaceHeld_ = true;
            SetPressed(true);
        }
        return true;
    }
    return false;
}

bool TButton::KeyUp(const platform::Message& message) {
    if (StandardControl() || message.Key != platform::vk::Space || !spaceHeld_) return false;
    spaceHeld_ = false;
    SetPressed(false);
    Click();
    return true;
}

void TButton::CancelMode() {
    mouseHeld_ = false;
    spaceHeld_ = false;
    SetPressed(false);
}

void TButton::FocusChanged(bool focused) {
    // The default look follows the form's active control, so it stays while
    // the window is inactive, as the framework's own button draws it.
    if (StandardControl()) platform::UserApi().SetDefaultButton(Handle(), Focused());
    if (!focused) {
        spaceHeld_ = false;
        if (!mouseHeld_) pressed_ = false;
    }
    TWinControl::FocusChanged(focused);
}

void TButton::PaintWindow(platform::DcHandle dc) {
    auto& gdi = platform::GdiApi();
    const platform::Rect bounds{0, 0, Width(), Height()};
    const bool focused = Focused();
    platform::Rect face = bounds;
    if (focused) {
        // The default button's extra outline.
        StylePainter::FrameSolid(dc, face, clBlack);
        face = StylePainter::Inflate(face, -1);
    }
    face = StylePainter::PaintBevel(dc, face, pressed_ ? TBevel::ButtonPressed : TBevel::Button);
    StylePainter::FillSolid(dc, face, Color());

    const std::int32_t shift = pressed_ ? 1 : 0;
    {
        TSelectedObject font(dc, FontHandle(Font()));
        gdi.SetBkMode(dc, platform::Transparent);
        gdi.SetTextColor(dc, ColorToColorRef(FontColor(Font())));
        const platform::Size extent = TextExtent(Font(), Caption(), dc);
        const std::int32_t x = (Width() - extent.Cx) / 2 + shift;
        const std::int32_t y = (Height() - extent.Cy) / 2 + shift;
        gdi.ExtTextOut(dc, x, y, platform::eto::Clipped, &face, Caption().data(),
                       static_cast<int>(Caption().size()));
    }
    // The default frame stays while the window is inactive; the focus
    // rectangle shows only where the keyboard input goes.
    if (ShowsFocus()) StylePainter::PaintFocusRect(dc, StylePainter::Inflate(bounds, -4));
}

}  // namespace qmk
