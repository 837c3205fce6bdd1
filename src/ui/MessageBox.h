// The program's own modal message box: a stop icon, the text (lines split
// at line feeds), and an OK button that Enter, Space, Escape and a click
// press. It runs its own message loop until it is closed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/Form.h"

namespace qmk {

class TButton;

class TMessageBoxForm : public TForm {
public:
    // owner: the window the box stands above (0 for a task-modal box).
    TMessageBoxForm(std::string_view text, std::string_view caption, platform::WindowHandle owner);

    // Shows the box and handles messages until the user closes it.
    void ShowModal();
    bool Done() const { return done_; }
    void Finish();

    TButton& OkButton() { return *okButton_; }
    const std::vector<std::string>& TextLines() const { return lines_; }
    // Layout, in client coordinates.
    platform::Rect IconRect() const;
    platform::Point TextOrigin() const { return textOrigin_; }

protected:
    void CreateParams(platform::CreateWindowParams& params) override;
    void PaintWindow(platform::DcHandle dc) override;
    void UnhandledKey(const platform::Message& message) override;

private:
    void Layout();
    std::int32_t CaptionWidth() const;
    void PaintStopIcon(platform::DcHandle dc, const platform::Rect& rect);

    platform::WindowHandle owner_;
    std::vector<std::string> lines_;
    TButton* okButton_ = nullptr;
    platform::Point textOrigin_;
    std::int32_t lineHeight_ = 0;
    bool done_ = false;
};

}  // namespace qmk
