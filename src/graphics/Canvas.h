// The drawing surface all canvases share. A canvas draws through a device
// context that it attaches when an operation first needs one, and keeps
// what it has established on that context (its font, pen and brush
// selected) in State, so a run of operations pays for the set-up once.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "graphics/Brush.h"
#include "graphics/Color.h"
#include "graphics/Font.h"
#include "graphics/Pen.h"
#include "graphics/Persistent.h"
#include "platform/Platform.h"

namespace qmk {

class TGraphic;

// What has been established on the canvas's current device context.
using TCanvasState = std::uint8_t;
inline constexpr TCanvasState csHandleValid = 1;
inline constexpr TCanvasState csFontValid = 2;
inline constexpr TCanvasState csPenValid = 4;
inline constexpr TCanvasState csBrushValid = 8;
inline constexpr TCanvasState csAllValid = csHandleValid | csFontValid | csPenValid | csBrushValid;

class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // One pixel, column x and row y. The colour goes to the platform as
    // ColorToColorRef gives it; a write outside the surface changes nothing.
    void WritePixel(std::int32_t x, std::int32_t y, TColor color) {
        NotifyChanging();
        EnsureState(csHandleValid | csPenValid);
        platform::GdiApi().SetPixel(handle_, x, y, ColorToColorRef(color));
        NotifyChanged();
    }
    // The colour the surface holds there (reduced to its format), or
    // 0xFFFFFFFF (negative) outside it.
    TColor ReadPixel(std::int32_t x, std::int32_t y) {
        EnsureState(csHandleValid);
        return static_cast<TColor>(platform::GdiApi().GetPixel(handle_, x, y));
    }

    // Copies the picture with its top-left corner at (x, y), at its own
    // size, with CopyMode. Nothing happens for no picture or an empty one.
    void DrawGraphic(std::int32_t x, std::int32_t y, TGraphic* graphic);

    // The device context with font, pen and brush established.
    platform::DcHandle GetHandle() {
        NotifyChanging();
        EnsureState(csAllValid);
        return handle_;
    }
    // The attached context as it is, without attaching one (0 if none).
    platform::DcHandle CurrentHandle() const { return handle_; }
    // Attaches dc (0 detaches): the old context gets the stock objects back
    // and leaves its pen position here; the new one starts at it.
    void SetHandle(platform::DcHandle dc);
    bool HandleAllocated() const { return handle_ != 0; }

    TCanvasState State() const { return state_; }
    void EnsureState(TCanvasState required) {
        const TCanvasState needed = required & static_cast<TCanvasState>(~state_);
        if (needed != 0) EstablishState(needed);
    }
    // Puts the stock objects back if any of the canvas's own are selected.
    void DeselectObjects();

    TFont& Font() { return *font_; }
    TPen& Pen() { return *pen_; }
    TBrush& Brush() { return *brush_; }
    void SetFont(const TFont& font) { font_->Assign(font); }
    void SetPen(const TPen& pen) { pen_->Assign(pen); }
    void SetBrush(const TBrush& brush) { brush_->Assign(brush); }

    // The pen position kept while no context is attached.
    platform::Point PenPosition() const { return penPosition_; }
    std::uint32_t CopyMode() const { return copyMode_; }
    void SetCopyMode(std::uint32_t rop) { copyMode_ = rop; }

    // Drawing for the framework's painting; each is one change.
    void MoveTo(std::int32_t x, std::int32_t y);
    void LineTo(std::int32_t x, std::int32_t y);
    void FillRect(const platform::Rect& rect);
    void FrameRect(const platform::Rect& rect);
    // Text in the canvas's font (code page 932).
    void TextOut(std::int32_t x, std::int32_t y, std::string_view text);
    void TextRect(const platform::Rect& rect, std::int32_t x, std::int32_t y, std::string_view text);
    platform::Size TextExtent(std::string_view text);
    std::int32_t TextWidth(std::string_view text) { return TextExtent(text).Cx; }
    std::int32_t TextHeight(std::string_view text) { return TextExtent(text).Cy; }
    void DrawFocusRect(const platform::Rect& rect);

    void NotifyChanged() {
        if (OnChange) OnChange(this);
    }
    void NotifyChanging() {
        if (OnChanging) OnChanging(this);
    }

    TChangeEvent OnChange;
    TChangeEvent OnChanging;

protected:
    // Attaches a device context if the kind of canvas has a way to get one.
    virtual void AcquireHandle() {}

private:
    void EstablishState(TCanvasState needed);
    void SelectFont();
    void SelectPen();
    void SelectBrush();
    void FontChanged(TPersistent* sender);
    void PenChanged(TPersistent* sender);
    void BrushChanged(TPersistent* sender);

    platform::DcHandle handle_ = 0;
    TCanvasState state_ = 0;
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TPen> pen_;
    std::unique_ptr<TBrush> brush_;
    platform::Point penPosition_;
    std::uint32_t copyMode_ = platform::rop::SrcCopy;
};

// Every live canvas, in creation order.
const std::vector<TCanvas*>& AllCanvases();

// The system colour scheme changed: every canvas gives its objects back and
// the pens and brushes of system colours are made again when next selected.
void SystemColorsChanged();

}  // namespace qmk
