#include "ui/StylePainter.h"

#include "graphics/Color.h"
#include "platform/Platform.h"

namespace qmk::StylePainter {

namespace {

// Two edges of one colour: top and left, or bottom and right.
void TopLeft(platform::DcHandle dc, const platform::Rect& r, TColor color) {
    FillSolid(dc, {r.Left, r.Top, r.Right - 1, r.Top + 1}, color);
    FillSolid(dc, {r.Left, r.Top, r.Left + 1, r.Bottom - 1}, color);
}

void BottomRight(platform::DcHandle dc, const platform::Rect& r, TColor color) {
    FillSolid(dc, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, color);
    FillSolid(dc, {r.Right - 1, r.Top, r.Right, r.Bottom}, color);
}

void Edge(platform::DcHandle dc, platform::Rect& r, TColor topLeft, TColor bottomRight) {
    TopLeft(dc, r, topLeft);
    BottomRight(dc, r, bottomRight);
    r = Inflate(r, -1);
}

}  // namespace

platform::Rect Inflate(const platform::Rect& rect, std::int32_t by) {
    return {rect.Left - by, rect.Top - by, rect.Right + by, rect.Bottom + by};
}

void FillSolid(platform::DcHandle dc, const platform::Rect& rect, TColor color) {
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
    auto& gdi = platform::GdiApi();
    platform::LogBrush request;
    request.Color = ColorToColorRef(color);
    const platform::ObjectHandle brush = gdi.CreateBrushIndirect(request);
    if (brush == 0) return;
    gdi.FillRect(dc, rect, brush);
    gdi.DeleteObject(brush);
}

void FrameSolid(platform::DcHandle dc, const platform::Rect& rect, TColor color) {
    TopLeft(dc, rect, color);
    BottomRight(dc, rect, color);
}

platform::Rect PaintBevel(platform::DcHandle dc, const platform::Rect& rect, TBevel bevel) {
    platform::Rect r = rect;
    switch (bevel) {
    case TBevel::Raised: Edge(dc, r, clBtnHighlight, clBtnShadow); break;
    case TBevel::Sunken: Edge(dc, r, clBtnShadow, clBtnHighlight); break;
    case TBevel::Button:
        Edge(dc, r, clBtnHighlight, cl3DDkShadow);
        Edge(dc, r, cl3DLight, clBtnShadow);
        break;
    case TBevel::ButtonPressed: Edge(dc, r, clBtnShadow, clBtnShadow); break;
    case TBevel::ClientEdge:
        Edge(dc, r, clBtnShadow, clBtnHighlight);
        Edge(dc, r, cl3DDkShadow, cl3DLight);
        break;
    }
    return r;
}

void PaintFocusRect(platform::DcHandle dc, const platform::Rect& rect) {
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
    platform::GdiApi().DrawFocusRect(dc, rect);
}

}  // namespace qmk::StylePainter
