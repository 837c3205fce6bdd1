// The read-only multi-line text box: word-wrapped at its width, a sunken
// 2-pixel edge, no scroll bars. The user can place the caret, select (drag,
// double-click, Shift with the arrows, Ctrl+A) and copy (Ctrl+C,
// Ctrl+Insert to the clipboard; a fresh selection is also offered as the
// desktop's selection where it keeps one), but never change the text. The program writes lines through
// Lines().ReplaceLine. Where the platform has its own standard read-only
// text box, the memo is that one: the system draws it and gives the caret,
// the selection, copying and the context menu; the memo keeps its own copy
// of the text and hands each line replacement to the system's box. Caret
// and selection below are then the framework's own and not the box's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Control.h"
#include "ui/MemoText.h"

namespace qmk {

class TMemo;

// The lines of a memo. Line numbers count logical lines, those between line
// breaks, not the lines the box shows after wrapping: a result line that
// wraps does not move the lines after it.
class TMemoStrings {
public:
    explicit TMemoStrings(TMemo& memo) : memo_(memo) {}

    // Replaces the text of logical line index, keeping its line break; the
    // caret ends after the new text. A line the box does not have (the
    // lines after the empty one that follows the last line break) is left
    // alone and nothing is raised. Runs as a message to the memo.
    void ReplaceLine(std::int32_t index, std::string_view text);

    // Number of logical lines, counting the empty one after a final break.
    std::int32_t Count() const;
    std::string Get(std::int32_t index) const;
    // Each line followed by CR LF.
    void Assign(const std::vector<std::string>& lines);

private:
    TMemo& memo_;
};

class TMemo : public TWinControl {
public:
    explicit TMemo(std::string name = {});

    TMemoStrings& Lines() { return lines_; }
    const std::string& Text() const { return text_; }
    void SetText(std::string text);

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }

    // A memo's caption in a description is its text.
    void ReadProperties(const TControlDescription& description) override;

    // Caret and selection, as byte offsets into Text().
    std::int32_t CaretPos() const { return caret_; }
    // The first display row in view.
    std::int32_t TopLine() const { return topLine_; }
    std::int32_t SelStart() const { return std::min(caret_, anchor_); }
    std::int32_t SelLength() const { return std::abs(caret_ - anchor_); }
    std::string SelText() const { return text_.substr(SelStart(), SelLength()); }
    void SetSelection(std::int32_t anchor, std::int32_t caret);
    void SelectAll();
    // Puts the selection on the clipboard, lines ended by LF.
    void CopyToClipboard(std::uint32_t time = 0);

    // The lines as shown, wrapped at the text area's width.
    const std::vector<TDisplayLine>& DisplayLines();
    // The area inside the edge where text is drawn.
    platform::Rect TextRect() const;

    // The part of ReplaceLine that runs inside the message frame.
    void ReplaceLineNow(std::int32_t index, std::string_view text);

    bool KeyDown(const platform::Message& message) override;
    void CancelMode() override;

protected:
    void CreateParams(platform::CreateWindowParams& params) override;
    void HandleCreated() override;
    void ColorChanged() override;
    void PaintWindow(platform::DcHandle dc) override;
    void MouseDown(const platform::Message& message) override;
    void MouseUp(const platform::Message& message) override;
    void MouseMove(const platform::Message& message) override;
    void BoundsChanged() override;
    void FontChanged() override;

private:
    struct TMetrics {
        std::int32_t LineHeight = 0;
        std::vector<TDisplayLine> Lines;
    };
    void TextChangedInternally();
    void Relayout();
    std::int32_t LineHeightValue();
    std::int32_t WidthOf(std::string_view text);
    std::int32_t PositionAt(std::int32_t x, std::int32_t y);
    std::int32_t CaretX(std::int32_t pos);
    void MoveCaret(std::int32_t pos, bool extend);
    enum class TCaretView { AnyPart, WholeRow };
    void ScrollCaretIntoView(TCaretView view = TCaretView::WholeRow);
    void OfferSelection(std::uint32_t time);
    void PaintNow();

    TMemoStrings lines_;
    std::string text_;
    bool readOnly_ = false;
    std::int32_t caret_ = 0;
    std::int32_t anchor_ = 0;
    std::int32_t topLine_ = 0;
    std::int32_t wantedX_ = -1;  // column kept while moving up and down
    bool layoutValid_ = false;
    TMetrics layout_;
    bool dragging_ = false;
    std::uint32_t lastClickTime_ = 0;
    std::int32_t lastClickPos_ = -1;
};

}  // namespace qmk
