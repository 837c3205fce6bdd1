#include "ui/Label.h"

#include "graphics/Color.h"
#include "platform/Platform.h"
#include "ui/DeviceContext.h"
#include "ui/Fonts.h"

namespace qmk {

TLabel::TLabel(std::string name) : TGraphicControl(std::move(name)) { SetParentColor(true); }

void TLabel::SetAutoSize(bool value) {
    autoSize_ = value;
    if (autoSize_ && LoadState() == TLoadState::Loaded) AdjustBounds();
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    ContentChanged();
}

void TLabel::TextChanged() { ContentChanged(); }

void TLabel::ContentChanged() {
    // What the description sets is the label's design; only a later change
    // (the screen fitting, or the program) makes it take its text's size.
    switch (LoadState()) {
    case TLoadState::Reading: break;
    case TLoadState::Loading: sizePending_ = true; break;
    case TLoadState::Loaded:
        if (autoSize_) AdjustBounds();
        break;
    }
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    if (sizePending_ && autoSize_) AdjustBounds();
    sizePending_ = false;
    // The designed widths fit the text in the fonts the window was laid out
    // with. Where the font we got is wider (a substitute whose Latin letters
    // are broader), the label widens to its text rather than cut it off;
    // it never shrinks below its design.
    if (autoSize_ && !Caption().empty()) {
        const platform::Size size = TextExtent(Font(), Caption());
        if (size.Cx > Width()) SetBounds(Left(), Top(), size.Cx, Height());
    }
}

void TLabel::AdjustBounds() {
    platform::Size size = TextExtent(Font(), Caption());
    if (Caption().empty()) size.Cx = 0;
    SetBounds(Left(), Top(), size.Cx, size.Cy);
}

void TLabel::Paint(platform::DcHandle dc) {
    auto& gdi = platform::GdiApi();
    const platform::Rect area{0, 0, Width(), Height()};
    TSelectedObject font(dc, FontHandle(Font()));
    gdi.SetBkColor(dc, ColorToColorRef(Color()));
    gdi.SetTextColor(dc, ColorToColorRef(FontColor(Font())));
    gdi.SetBkMode(dc, platform::Opaque);
    gdi.ExtTextOut(dc, 0, 0, platform::eto::Opaque | platform::eto::Clipped, &area,
                   Caption().data(), static_cast<int>(Caption().size()));
}

}  // namespace qmk
