#include "ui/MessageBox.h"

#include <algorithm>
#include <cmath>

#include "graphics/Color.h"
#include "platform/Platform.h"
#include "runtime/MulDiv.h"
#include "runtime/ProgramTexts.h"
#include "ui/Application.h"
#include "ui/Button.h"
#include "ui/DeviceContext.h"
#include "ui/Fonts.h"
#include "ui/StylePainter.h"

namespace qmk {

namespace {

constexpr std::int32_t Margin = 12;
constexpr std::int32_t IconSize = 32;
constexpr std::int32_t ButtonWidth = 75;
constexpr std::int32_t ButtonHeight = 23;
// A title bar's height at 96 dpi where the window manager does not say.
constexpr std::int32_t DefaultCaptionBar = 19;

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        std::string line(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    // A final line feed ends the last line; it does not start an empty one.
    if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    return lines;
}

}  // namespace

TMessageBoxForm::TMessageBoxForm(std::string_view text, std::string_view caption,
                                 platform::WindowHandle owner)
    : TForm("MessageBox"), owner_(owner), lines_(SplitLines(text)) {
    SetCaption(std::string(caption));
    SetBorderStyle(TBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetColor(clBtnFace);
    const std::int32_t pixels = Screen().PixelsPerInch();
    ChangeFont([pixels](TFont& font) {
        TFontDescription description;
        description.Name = texts::ProportionalGothic.Cp932;
        description.Height = -MulDiv(9, pixels, 72);
        description.Color = clWindowText;
        ApplyFontDescription(font, description);
    });
    auto button = std::make_unique<TButton>("OKButton");
    okButton_ = button.get();
    InsertComponent(std::move(button));
    okButton_->SetParent(this);
    okButton_->SetParentFont(true);
    okButton_->SetCaption("OK");
    okButton_->OnClick = [this](TControl&) { Finish(); };
    // Every way of closing the box (its close box, Alt+F4, the window
    // manager) goes through the close path, and each one answers the box.
    OnClose = [this](TControl&, TCloseAction&) { Finish(); };
    Layout();
    SetActiveControl(okButton_);
}

void TMessageBoxForm::Layout() {
    std::int32_t textWidth = 0;
    lineHeight_ = TextExtent(Font(), "0").Cy;
    for (const std::string& line : lines_) textWidth = std::max(textWidth, TextExtent(Font(), line).Cx);
    const std::int32_t textHeight = lineHeight_ * static_cast<std::int32_t>(lines_.size());
    const std::int32_t contentHeight = std::max(IconSize, textHeight);
    const std::int32_t textLeft = Margin + IconSize + Margin;
    textOrigin_ = {textLeft, Margin + (contentHeight - textHeight) / 2};
    const std::int32_t captionWidth = CaptionWidth();
    const std::int32_t width =
        std::max({textLeft + textWidth + 2 * Margin, ButtonWidth + 2 * Margin, captionWidth});
    const std::int32_t buttonTop = Margin + contentHeight + Margin;
    okButton_->SetBounds((width - ButtonWidth) / 2, buttonTop, ButtonWidth, ButtonHeight);
    SetClientSize(width, buttonTop + ButtonHeight + Margin);
}

// The caption stands in the window manager's title bar beside the frame's
// icon and buttons, each about as wide as the bar is high: close, and
// minimise and maximise too, which some managers show on a fixed frame
// whatever it asks (openbox). With the space around them that is six bar
// heights: under openbox, with a bar of 19, a caption of 45 pixels shows
// whole from a width of 160 on. The manager's font is its own; most draw
// captions bold.
std::int32_t TMessageBoxForm::CaptionWidth() const {
    std::int32_t bar = platform::UserApi().GetSystemMetrics(platform::metric::CyCaption);
    if (bar <= 0) bar = MulDiv(DefaultCaptionBar, Screen().PixelsPerInch(), 96);  // a manager that does not tell
    TFont bold;
    CopyFont(bold, Font());
    bold.SetStyle(bold.Style() | fsBold);
    return TextExtent(bold, Caption()).Cx + 6 * bar + 2 * Margin;
}

platform::Rect TMessageBoxForm::IconRect() const {
    return {Margin, Margin, Margin + IconSize, Margin + IconSize};
}

void TMessageBoxForm::CreateParams(platform::CreateWindowParams& params) {
    TForm::CreateParams(params);
    params.Owner = owner_;
    params.Style |= platform::ws::Modal;
}

void TMessageBoxForm::ShowModal() {
    Show();
    // A box that is no longer shown has been closed, however that happened.
    Application().ProcessMessagesUntil([this] { return done_ || !Showing(); });
    Hide();
}

void TMessageBoxForm::Finish() { done_ = true; }

void TMessageBoxForm::UnhandledKey(const platform::Message& message) {
    if (message.Key == platform::vk::Escape || message.Key == platform::vk::Return) Finish();
}

void TMessageBoxForm::PaintStopIcon(platform::DcHandle dc, const platform::Rect& rect) {
    // A red disc with a dark rim, drawn a row at a time, and a white cross.
    const double centre = (rect.Right - rect.Left) / 2.0;
    for (std::int32_t row = 0; row < rect.Bottom - rect.Top; ++row) {
        const double dy = row + 0.5 - centre;
        for (const auto& [radius, color] : {std::pair{centre, clMaroon}, std::pair{centre - 1.5, clRed}}) {
            if (std::abs(dy) >= radius) continue;
            const double half = std::sqrt(radius * radius - dy * dy);
            const auto left = static_cast<std::int32_t>(std::lround(centre - half));
            const auto right = static_cast<std::int32_t>(std::lround(centre + half));
            StylePainter::FillSolid(dc, {rect.Left + left, rect.Top + row, rect.Left + right, rect.Top + row + 1},
                                    color);
        }
    }
    const std::int32_t arm = (rect.Right - rect.Left) / 4;
    const std::int32_t cx = (rect.Left + rect.Right) / 2;
    const std::int32_t cy = (rect.Top + rect.Bottom) / 2;
    for (std::int32_t i = -arm; i <= arm; ++i) {
        StylePainter::FillSolid(dc, {cx + i - 1, cy + i - 1, cx + i + 2, cy + i + 2}, clWhite);
        StylePainter::FillSolid(dc, {cx + i - 1, cy - i - 1, cx + i + 2, cy - i + 2}, clWhite);
    }
}

void TMessageBoxForm::PaintWindow(platform::DcHandle dc) {
    TForm::PaintWindow(dc);
    PaintStopIcon(dc, IconRect());
    auto& gdi = platform::GdiApi();
    TSelectedObject font(dc, FontHandle(Font()));
    gdi.SetBkMode(dc, platform::Transparent);
    gdi.SetTextColor(dc, ColorToColorRef(FontColor(Font())));
    std::int32_t y = textOrigin_.Y;
    for (const std::string& line : lines_) {
        gdi.ExtTextOut(dc, textOrigin_.X, y, 0, nullptr, line.data(), static_cast<int>(line.size()));
        y += lineHeight_;
    }
}

}  // namespace qmk
