#include "graphics/Brush.h"

namespace qmk {

TResourceManager<TBrushData> BrushManager;

TBrush::TBrush() : resource_(BrushManager.Allocate(TBrushData{})) {}

TBrush::~TBrush() { BrushManager.Free(resource_); }

void TBrush::Assign(const TBrush& source) {
    if (&source == this) return;
    TResource<TBrushData>* old = resource_;
    resource_ = source.resource_;
    ++resource_->RefCount;
    Changed();
    BrushManager.Free(old);
}

platform::ObjectHandle TBrush::GetHandle() const {
    if (resource_->Handle == 0) {
        const TBrushData& data = resource_->Value;
        platform::LogBrush brush;
        brush.Color = ColorToColorRef(data.Color);
        switch (data.Style) {
        case TBrushStyle::bsSolid:
            brush.Style = platform::bs::Solid;
            break;
        case TBrushStyle::bsClear:
            brush.Style = platform::bs::Null;
            break;
        default:
            // Hatch indices follow the style order from horizontal on.
            brush.Style = platform::bs::Hatched;
            brush.Hatch = static_cast<std::uintptr_t>(data.Style) -
                          static_cast<std::uintptr_t>(TBrushStyle::bsHorizontal);
            break;
        }
        resource_->Handle = platform::GdiApi().CreateBrushIndirect(brush);
    }
    return resource_->Handle;
}

void TBrush::Change(const TBrushData& data) { ChangeResource(BrushManager, resource_, data); }

void TBrush::SetColor(TColor color) {
    TBrushData data = resource_->Value;
    data.Color = color;
    Change(data);
}

void TBrush::SetStyle(TBrushStyle style) {
    TBrushData data = resource_->Value;
    data.Style = style;
    Change(data);
}

}  // namespace qmk
