#include "graphics/Canvas.h"

#include <algorithm>

#include "graphics/Graphic.h"
#include "graphics/GraphicsErrors.h"

namespace qmk {

namespace {

std::vector<TCanvas*>& CanvasList() {
    static std::vector<TCanvas*> list;
    return list;
}

bool IsBrokenLine(TPenStyle style) {
    return style == TPenStyle::psDash || style == TPenStyle::psDot ||
           style == TPenStyle::psDashDot || style == TPenStyle::psDashDotDot;
}

}  // namespace

const std::vector<TCanvas*>& AllCanvases() { return CanvasList(); }

void SystemColorsChanged() {
    for (TCanvas* canvas : CanvasList()) canvas->DeselectObjects();
    const auto systemColour = [](const auto& data) { return data.Color < 0; };
    PenManager.DeleteHandles(systemColour);
    BrushManager.DeleteHandles(systemColour);
}

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()),
      brush_(std::make_unique<TBrush>()) {
    font_->OnChange = TChangeEvent::Bind<&TCanvas::FontChanged>(this);
    pen_->OnChange = TChangeEvent::Bind<&TCanvas::PenChanged>(this);
    brush_->OnChange = TChangeEvent::Bind<&TCanvas::BrushChanged>(this);
    CanvasList().push_back(this);
}

TCanvas::~TCanvas() {
    auto& list = CanvasList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    SetHandle(0);
    // Font, pen, brush: the order in which their handles are given up is
    // part of the call sequence, so it does not follow the members' order.
    font_.reset();
    pen_.reset();
    brush_.reset();
}

void TCanvas::SetHandle(platform::DcHandle dc) {
    if (dc == handle_) return;
    auto& gdi = platform::GdiApi();
    if (handle_ != 0) {
        DeselectObjects();
        gdi.GetCurrentPositionEx(handle_, &penPosition_);
        handle_ = 0;
        state_ &= static_cast<TCanvasState>(~csHandleValid);
    }
    if (dc != 0) {
        state_ |= csHandleValid;
        handle_ = dc;
        gdi.MoveToEx(dc, penPosition_.X, penPosition_.Y, nullptr);
    }
}

void TCanvas::DeselectObjects() {
    constexpr TCanvasState objects = csFontValid | csPenValid | csBrushValid;
    if ((state_ & objects) == 0) return;
    auto& gdi = platform::GdiApi();
    gdi.SelectObject(handle_, StockPen);
    gdi.SelectObject(handle_, StockBrush);
    gdi.SelectObject(handle_, StockFont);
    state_ &= static_cast<TCanvasState>(~objects);
}

void TCanvas::EstablishState(TCanvasState needed) {
    if ((needed & csHandleValid) != 0) {
        AcquireHandle();
        if (handle_ == 0) throw EInvalidOperation(messages::NoCanvasHandle);
    }
    if ((needed & csFontValid) != 0) SelectFont();
    if ((needed & csPenValid) != 0) {
        SelectPen();
        // Gaps of broken lines are filled with the background colour.
        if (IsBrokenLine(pen_->Style())) needed |= csBrushValid;
    }
    if ((needed & csBrushValid) != 0) SelectBrush();
    state_ |= needed;
}

void TCanvas::SelectFont() {
    auto& gdi = platform::GdiApi();
    gdi.SelectObject(handle_, font_->GetHandle());
    gdi.SetTextColor(handle_, ColorToColorRef(font_->Color()));
}

void TCanvas::SelectPen() {
    auto& gdi = platform::GdiApi();
    gdi.SelectObject(handle_, pen_->GetHandle());
    gdi.SetROP2(handle_, PenModeToRop2(pen_->Mode()));
}

void TCanvas::SelectBrush() {
    auto& gdi = platform::GdiApi();
    const platform::ObjectHandle brush = brush_->GetHandle();
    gdi.UnrealizeObject(brush);
    gdi.SelectObject(handle_, brush);
    const platform::ColorRef color = ColorToColorRef(brush_->Color());
    if (brush_->Style() == TBrushStyle::bsSolid) {
        gdi.SetBkColor(handle_, color);
        gdi.SetBkMode(handle_, platform::Opaque);
    } else {
        gdi.SetBkColor(handle_, ~color);
        gdi.SetBkMode(handle_, platform::Transparent);
    }
}

void TCanvas::FontChanged(TPersistent*) {
    if ((state_ & csFontValid) == 0) return;
    state_ &= static_cast<TCanvasState>(~csFontValid);
    platform::GdiApi().SelectObject(handle_, StockFont);
}

void TCanvas::PenChanged(TPersistent*) {
    if ((state_ & csPenValid) == 0) return;
    state_ &= static_cast<TCanvasState>(~csPenValid);
    platform::GdiApi().SelectObject(handle_, StockPen);
}

void TCanvas::BrushChanged(TPersistent*) {
    if ((state_ & csBrushValid) == 0) return;
    state_ &= static_cast<TCanvasState>(~csBrushValid);
    platform::GdiApi().SelectObject(handle_, StockBrush);
}

void TCanvas::DrawGraphic(std::int32_t x, std::int32_t y, TGraphic* graphic) {
    if (graphic == nullptr || graphic->IsEmpty()) return;
    NotifyChanging();
    EnsureState(csHandleValid);
    auto& gdi = platform::GdiApi();
    gdi.SetBkColor(handle_, ColorToColorRef(brush_->Color()));
    gdi.SetTextColor(handle_, ColorToColorRef(font_->Color()));
    const std::int32_t height = graphic->GetHeight();
    const std::int32_t width = graphic->GetWidth();
    graphic->DrawInRect(*this, platform::Rect{x, y, x + width, y + height});
    NotifyChanged();
}

void TCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    EnsureState(csHandleValid);
    platform::GdiApi().MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::LineTo(std::int32_t x, std::int32_t y) {
    NotifyChanging();
    EnsureState(csHandleValid | csPenValid | csBrushValid);
    platform::GdiApi().LineTo(handle_, x, y);
    NotifyChanged();
}

void TCanvas::FillRect(const platform::Rect& rect) {
    NotifyChanging();
    EnsureState(csHandleValid | csBrushValid);
    platform::GdiApi().FillRect(handle_, rect, brush_->GetHandle());
    NotifyChanged();
}

void TCanvas::FrameRect(const platform::Rect& rect) {
    NotifyChanging();
    EnsureState(csHandleValid | csBrushValid);
    auto& gdi = platform::GdiApi();
    const platform::ObjectHandle brush = brush_->GetHandle();
    gdi.FillRect(handle_, {rect.Left, rect.Top, rect.Right, rect.Top + 1}, brush);
    gdi.FillRect(handle_, {rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, brush);
    gdi.FillRect(handle_, {rect.Left, rect.Top, rect.Left + 1, rect.Bottom}, brush);
    gdi.FillRect(handle_, {rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, brush);
    NotifyChanged();
}

void TCanvas::TextOut(std::int32_t x, std::int32_t y, std::string_view text) {
    NotifyChanging();
    EnsureState(csHandleValid | csFontValid | csBrushValid);
    platform::GdiApi().ExtTextOut(handle_, x, y, 0, nullptr, text.data(),
                                  static_cast<int>(text.size()));
    NotifyChanged();
}

void TCanvas::TextRect(const platform::Rect& rect, std::int32_t x, std::int32_t y,
                       std::string_view text) {
    NotifyChanging();
    EnsureState(csHandleValid | csFontValid | csBrushValid);
    std::uint32_t options = platform::eto::Clipped;
    if (brush_->Style() != TBrushStyle::bsClear) options |= platform::eto::Opaque;
    platform::GdiApi().ExtTextOut(handle_, x, y, options, &rect, text.data(),
                                  static_cast<int>(text.size()));
    NotifyChanged();
}

platform::Size TCanvas::TextExtent(std::string_view text) {
    EnsureState(csHandleValid | csFontValid);
    platform::Size size;
    platform::GdiApi().GetTextExtentPoint(handle_, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::DrawFocusRect(const platform::Rect& rect) {
    NotifyChanging();
    EnsureState(csHandleValid | csBrushValid);
    platform::GdiApi().DrawFocusRect(handle_, rect);
    NotifyChanged();
}

}  // namespace qmk
