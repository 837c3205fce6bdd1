#include "ui/Memo.h"

#include <algorithm>

#include "graphics/Color.h"
#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/DeviceContext.h"
#include "ui/Fonts.h"
#include "ui/FormDescription.h"
#include "ui/StylePainter.h"

namespace qmk {

namespace {

constexpr std::int32_t EdgeWidth = 2;
constexpr std::int32_t Margin = 1;
// Two clicks closer than this (milliseconds, same place) select a word.
constexpr std::uint32_t DoubleClickTime = 500;

// The screen's context with a font selected, for measuring text outside
// painting.
class TMeasureDC {
public:
    explicit TMeasureDC(const TFont& font)
        : dc_(platform::GdiApi().GetDC(0)),
          previous_(dc_ != 0 ? platform::GdiApi().SelectObject(dc_, FontHandle(font)) : 0) {}
    ~TMeasureDC() {
        if (dc_ == 0) return;
        if (previous_ != 0) platform::GdiApi().SelectObject(dc_, previous_);
        platform::GdiApi().ReleaseDC(0, dc_);
    }
    TMeasureDC(const TMeasureDC&) = delete;
    TMeasureDC& operator=(const TMeasureDC&) = delete;

    std::int32_t Width(std::string_view text) const {
        platform::Size size;
        if (dc_ == 0 || text.empty() ||
            !platform::GdiApi().GetTextExtentPoint(dc_, text.data(), static_cast<int>(text.size()),
                                                   &size)) {
            return 0;
        }
        return size.Cx;
    }
    platform::DcHandle Dc() const { return dc_; }

private:
    platform::DcHandle dc_;
    platform::ObjectHandle previous_;
};

std::string WithLineFeeds(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        result += text[i];
    }
    return result;
}

}  // namespace

// ------------------------------------------------------------ TMemoStrings

void TMemoStrings::ReplaceLine(std::int32_t index, std::string_view text) {
    // Sent to the box as a message: the frame gives the drawing contexts
    // back afterwards, as after any message.
    const std::string copy(text);
    Application().Send(memo_, [this, index, &copy] { memo_.ReplaceLineNow(index, copy); });
}

std::int32_t TMemoStrings::Count() const {
    std::int32_t count = 1;
    const std::string& text = memo_.Text();
    for (std::size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", pos + 2)) {
        ++count;
    }
    return count;
}

std::string TMemoStrings::Get(std::int32_t index) const {
    const std::int32_t start = LogicalLineStart(memo_.Text(), index);
    if (start < 0) return {};
    return memo_.Text().substr(start, LogicalLineLength(memo_.Text(), start));
}

void TMemoStrings::Assign(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    memo_.SetText(std::move(text));
}

// ------------------------------------------------------------------- TMemo

TMemo::TMemo(std::string name) : TWinControl(std::move(name)), lines_(*this) {
    SetTabStop(true);
    SetColor(clWindow);
}

void TMemo::ReadProperties(const TControlDescription& description) {
    ReadAppearance(description);
    if (description.Caption) SetText(*description.Caption);
    ReadTabOrder(description);
    if (description.ReadOnly) SetReadOnly(*description.ReadOnly);
    if (description.Lines) Lines().Assign(*description.Lines);
}

void TMemo::SetText(std::string text) {
    text_ = std::move(text);
    caret_ = anchor_ = 0;
    topLine_ = 0;
    TextChangedInternally();
    if (StandardControl()) platform::UserApi().SetWindowText(Handle(), text_);
    Invalidate();
}

void TMemo::CreateParams(platform::CreateWindowParams& params) {
    TWinControl::CreateParams(params);
    if (platform::UserApi().HasStandardControls()) {
        params.Kind = platform::WindowKind::ReadOnlyEdit;
        params.Title = text_;
        if (TabStop()) params.Style |= platform::ws::TabStop;
    }
}

void TMemo::HandleCreated() {
    if (!StandardControl()) return;
    auto& user = platform::UserApi();
    user.SetControlFont(Handle(), FontHandle(Font()));
    user.SetControlColors(Handle(), ColorToColorRef(FontColor(Font())), ColorToColorRef(Color()));
}

void TMemo::ColorChanged() {
    if (StandardControl()) {
        platform::UserApi().SetControlColors(Handle(), ColorToColorRef(FontColor(Font())),
                                             ColorToColorRef(Color()));
    }
    TWinControl::ColorChanged();
}

void TMemo::TextChangedInternally() {
    layoutValid_ = false;
    wantedX_ = -1;
}

void TMemo::BoundsChanged() {
    TWinControl::BoundsChanged();
    layoutValid_ = false;
}

void TMemo::FontChanged() {
    layoutValid_ = false;
    // The colour is the font's: both may have changed.
    if (StandardControl()) HandleCreated();
    TWinControl::FontChanged();
}

platform::Rect TMemo::TextRect() const {
    return {EdgeWidth + Margin, EdgeWidth, Width() - EdgeWidth - Margin, Height() - EdgeWidth};
}

void TMemo::Relayout() {
    TMeasureDC measure(Font());
    const platform::Rect area = TextRect();
    layout_.Lines = WrapText(text_, area.Right - area.Left,
                             [&measure](std::string_view piece) { return measure.Width(piece); });
    layout_.LineHeight = measure.Dc() != 0 ? LineHeight(Font(), measure.Dc()) : 1;
    if (layout_.LineHeight <= 0) layout_.LineHeight = 1;
    layoutValid_ = true;
}

const std::vector<TDisplayLine>& TMemo::DisplayLines() {
    if (!layoutValid_) Relayout();
    return layout_.Lines;
}

std::int32_t TMemo::LineHeightValue() {
    if (!layoutValid_) Relayout();
    return layout_.LineHeight;
}

std::int32_t TMemo::WidthOf(std::string_view text) {
    TMeasureDC measure(Font());
    return measure.Width(text);
}

std::int32_t TMemo::CaretX(std::int32_t pos) {
    const auto& lines = DisplayLines();
    const TDisplayLine& line = lines[DisplayLineOf(lines, pos)];
    const std::int32_t end = std::min(pos, line.Start + line.Length);
    return TextRect().Left + WidthOf(std::string_view(text_).substr(line.Start, std::max(0, end - line.Start)));
}

std::int32_t TMemo::PositionAt(std::int32_t x, std::int32_t y) {
    const auto& lines = DisplayLines();
    const platform::Rect area = TextRect();
    const std::int32_t height = LineHeightValue();
    std::int32_t row = topLine_ + (y < area.Top ? -1 : (y - area.Top) / height);
    row = std::clamp(row, 0, static_cast<std::int32_t>(lines.size()) - 1);
    const TDisplayLine& line = lines[row];
    const std::string_view text(text_);
    TMeasureDC measure(Font());
    const std::int32_t target = x - area.Left;
    std::int32_t pos = line.Start;
    const std::int32_t end = line.Start + line.Length;
    while (pos < end) {
        const std::int32_t next = std::min(NextCharPos(text, pos), end);
        const std::int32_t before = measure.Width(text.substr(line.Start, pos - line.Start));
        const std::int32_t after = measure.Width(text.substr(line.Start, next - line.Start));
        if (target < (before + after) / 2) return pos;
        pos = next;
    }
    return end;
}

void TMemo::SetSelection(std::int32_t anchor, std::int32_t caret) {
    const std::string_view text(text_);
    anchor_ = AlignToChar(text, std::clamp(anchor, 0, static_cast<std::int32_t>(text.size())));
    caret_ = AlignToChar(text, std::clamp(caret, 0, static_cast<std::int32_t>(text.size())));
    ScrollCaretIntoView();
    Invalidate();
}

void TMemo::SelectAll() { SetSelection(0, static_cast<std::int32_t>(text_.size())); }

void TMemo::MoveCaret(std::int32_t pos, bool extend) {
    caret_ = pos;
    if (!extend) anchor_ = pos;
    ScrollCaretIntoView();
    Invalidate();
}

void TMemo::ScrollCaretIntoView(TCaretView view) {
    const auto& lines = DisplayLines();
    const std::int32_t height = LineHeightValue();
    const platform::Rect area = TextRect();
    const std::int32_t row = DisplayLineOf(lines, caret_);
    // After a program's write a row counts as visible when any of it shows,
    // so a wrapped last line does not push the first out of view; when the
    // user moves the caret, its row is brought wholly into view, which is
    // how the rest of a wrapped line can be read.
    const std::int32_t rows = area.Bottom - area.Top;
    const std::int32_t visible = std::max<std::int32_t>(
        1, view == TCaretView::AnyPart ? (rows - 1) / height + 1 : rows / height);
    if (row < topLine_) topLine_ = row;
    if (row >= topLine_ + visible) topLine_ = row - visible + 1;
    topLine_ = std::clamp(topLine_, 0, std::max<std::int32_t>(0, static_cast<std::int32_t>(lines.size()) - 1));
}

void TMemo::CopyToClipboard(std::uint32_t time) {
    if (SelLength() == 0) return;
    platform::UserApi().SetClipboardText(Handle(), WithLineFeeds(SelText()), time);
}

void TMemo::OfferSelection(std::uint32_t time) {
    if (SelLength() == 0) return;
    platform::UserApi().OfferSelectionText(Handle(), WithLineFeeds(SelText()), time);
}

void TMemo::ReplaceLineNow(std::int32_t index, std::string_view text) {
    const std::int32_t start = LogicalLineStart(text_, index);
    if (start < 0) return;
    const std::int32_t length = LogicalLineLength(text_, start);
    text_.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(length), text);
    caret_ = anchor_ = start + static_cast<std::int32_t>(text.size());
    TextChangedInternally();
    if (StandardControl()) {
        // The system's box replaces the same line of its own copy and
        // repaints itself.
        platform::UserApi().ReplaceTextLine(Handle(), index, text);
        return;
    }
    ScrollCaretIntoView(TCaretView::AnyPart);
    PaintNow();
}

void TMemo::PaintNow() {
    if (!HandleAllocated()) return;
    PaintArea({0, 0, Width(), Height()});
    platform::UserApi().Flush();
}

bool TMemo::KeyDown(const platform::Message& message) {
    using namespace platform;
    // The system's box handles its keys itself; what reaches us is the form's.
    if (StandardControl()) return false;
    const bool shift = (message.Modifiers & mod::Shift) != 0;
    const bool control = (message.Modifiers & mod::Control) != 0;
    const std::string_view text(text_);
    const auto& lines = DisplayLines();
    const std::int32_t row = DisplayLineOf(lines, caret_);
    const bool vertical = message.Key == vk::Up || message.Key == vk::Down;
    if (!vertical) wantedX_ = -1;
    switch (message.Key) {
    case vk::Left: MoveCaret(PreviousCharPos(text, caret_), shift); break;
    case vk::Right: MoveCaret(NextCharPos(text, caret_), shift); break;
    case vk::Up:
    case vk::Down: {
        const std::int32_t target = row + (message.Key == vk::Up ? -1 : 1);
        if (wantedX_ < 0) wantedX_ = CaretX(caret_);
        if (target < 0 || target >= static_cast<std::int32_t>(lines.size())) {
            MoveCaret(caret_, shift);
            break;
        }
        const std::int32_t y = TextRect().Top + (target - topLine_) * LineHeightValue();
        const std::int32_t keep = wantedX_;
        MoveCaret(PositionAt(keep, y), shift);
        wantedX_ = keep;
        break;
    }
    case vk::Home: MoveCaret(control ? 0 : lines[row].Start, shift); break;
    case vk::End:
        MoveCaret(control ? static_cast<std::int32_t>(text.size()) : lines[row].Start + lines[row].Length,
                  shift);
        break;
    case 'A':
        if (!control) return true;
        SelectAll();
        break;
    case 'C':
    case vk::Insert:
        if (control) CopyToClipboard(message.Time);
        return true;
    default:
        // Typing never changes the text; other keys (Tab, Enter) are the form's.
        return message.Text[0] != '\0' && message.Key != vk::Tab && message.Key != vk::Return &&
               message.Key != vk::Escape;
    }
    if (SelLength() > 0 && (shift || message.Key == 'A')) OfferSelection(message.Time);
    return true;
}

void TMemo::MouseDown(const platform::Message& message) {
    if (message.Button != 1) return;
    SetFocus();
    const std::int32_t pos = PositionAt(message.X, message.Y);
    wantedX_ = -1;
    if (lastClickPos_ == pos && message.Time - lastClickTime_ <= DoubleClickTime) {
        std::int32_t start = 0;
        std::int32_t end = 0;
        WordAround(text_, pos, start, end);
        SetSelection(start, end);
        lastClickTime_ = 0;
        lastClickPos_ = -1;
        OfferSelection(message.Time);
        return;
    }
    lastClickTime_ = message.Time;
    lastClickPos_ = pos;
    MoveCaret(pos, (message.Modifiers & platform::mod::Shift) != 0);
    dragging_ = true;
    Application().SetCapture(this);
}

void TMemo::MouseMove(const platform::Message& message) {
    if (!dragging_) return;
    const std::int32_t pos = PositionAt(message.X, message.Y);
    if (pos != caret_) MoveCaret(pos, true);
}

void TMemo::MouseUp(const platform::Message& message) {
    if (message.Button != 1 || !dragging_) return;
    dragging_ = false;
    if (Application().Capture() == this) Application().SetCapture(nullptr);
    OfferSelection(message.Time);
}

void TMemo::CancelMode() { dragging_ = false; }

void TMemo::PaintWindow(platform::DcHandle dc) {
    auto& gdi = platform::GdiApi();
    const platform::Rect inside = StylePainter::PaintBevel(dc, {0, 0, Width(), Height()}, TBevel::ClientEdge);
    StylePainter::FillSolid(dc, inside, Color());
    gdi.IntersectClipRect(dc, inside.Left, inside.Top, inside.Right, inside.Bottom);

    const auto& lines = DisplayLines();
    const std::int32_t height = LineHeightValue();
    const platform::Rect area = TextRect();
    const bool focused = ShowsFocus();
    const std::int32_t selStart = focused ? SelStart() : 0;
    const std::int32_t selEnd = focused ? SelStart() + SelLength() : 0;
    const platform::ColorRef textColor = ColorToColorRef(FontColor(Font()));
    const platform::ColorRef backColor = ColorToColorRef(Color());
    const std::string_view text(text_);

    TSelectedObject font(dc, FontHandle(Font()));
    gdi.SetBkMode(dc, platform::Opaque);
    for (std::int32_t row = topLine_; row < static_cast<std::int32_t>(lines.size()); ++row) {
        const std::int32_t y = area.Top + (row - topLine_) * height;
        if (y >= area.Bottom) break;
        const TDisplayLine& line = lines[row];
        const std::int32_t end = line.Start + line.Length;
        // Up to three pieces: before, inside and after the selection.
        const std::int32_t cuts[4] = {line.Start, std::clamp(selStart, line.Start, end),
                                      std::clamp(selEnd, line.Start, end), end};
        std::int32_t x = area.Left;
        for (int piece = 0; piece < 3; ++piece) {
            const std::int32_t from = cuts[piece];
            const std::int32_t to = cuts[piece + 1];
            if (to <= from) continue;
            const bool selected = piece == 1;
            const std::string_view part = text.substr(from, to - from);
            platform::Size size;
            gdi.GetTextExtentPoint(dc, part.data(), static_cast<int>(part.size()), &size);
            gdi.SetBkColor(dc, selected ? ColorToColorRef(clHighlight) : backColor);
            gdi.SetTextColor(dc, selected ? ColorToColorRef(clHighlightText) : textColor);
            const platform::Rect cell{x, y, x + size.Cx, y + height};
            gdi.ExtTextOut(dc, x, y, platform::eto::Opaque | platform::eto::Clipped, &cell, part.data(),
                           static_cast<int>(part.size()));
            x += size.Cx;
        }
    }
    if (focused) {
        const std::int32_t row = DisplayLineOf(lines, caret_);
        const std::int32_t y = area.Top + (row - topLine_) * height;
        if (row >= topLine_ && y < area.Bottom) {
            const std::int32_t x = CaretX(caret_);
            StylePainter::FillSolid(dc, {x, y, x + 1, y + height}, FontColor(Font()));
        }
    }
}

}  // namespace qmk
