// A classic push button with a window of its own: raised 3-D bevel, a black
// default frame and a dotted focus rectangle while focused, the sunken look
// while pressed. A click (mouse released inside, Enter, or Space released)
// runs OnClick once. Where the platform has its own standard push button,
// the button is that one: the system draws it and handles the mouse and
// Space, and its click arrives as one Clicked message; Enter stays ours.
#pragma once

#include "ui/Control.h"

namespace qmk {

class TButton : public TWinControl {
public:
    explicit TButton(std::string name = {});

    // Runs OnClick, as a click of the user does.
    void Click();
    bool Pressed() const { return pressed_; }

    bool KeyDown(const platform::Message& message) override;
    bool KeyUp(const platform::Message& message) override;
    void CancelMode() override;
    void FocusChanged(bool focused) override;
    void HandleMessage(const platform::Message& message) override;

protected:
    void CreateParams(platform::CreateWindowParams& params) override;
    void HandleCreated() override;
    void FontChanged() override;
    void TextChanged() override;
    void PaintWindow(platform::DcHandle dc) override;
    void MouseDown(const platform::Message& message) override;
    void MouseUp(const platform::Message& message) override;
    void MouseMove(const platform::Message& message) override;

private:
    bool Inside(const platform::Message& message) const;
    void SetPressed(bool pressed);

    bool pressed_ = false;      // drawn sunken
    bool mouseHeld_ = false;    // the left button went down on us
    bool spaceHeld_ = false;
};

}  // namespace qmk
