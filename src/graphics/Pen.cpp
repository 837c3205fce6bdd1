#include "graphics/Pen.h"

namespace qmk {

TResourceManager<TPenData> PenManager;

int PenModeToRop2(TPenMode mode) {
    static constexpr int Rop2[] = {
        platform::r2::Black,       platform::r2::White,       platform::r2::Nop,
        platform::r2::Not,         platform::r2::CopyPen,     platform::r2::NotCopyPen,
        platform::r2::MergePenNot, platform::r2::MaskPenNot,  platform::r2::MergeNotPen,
        platform::r2::MaskNotPen,  platform::r2::MergePen,    platform::r2::NotMergePen,
        platform::r2::MaskPen,     platform::r2::NotMaskPen,  platform::r2::XorPen,
        platform::r2::NotXorPen,
    };
    return Rop2[static_cast<int>(mode)];
}

TPen::TPen() : resource_(PenManager.Allocate(TPenData{})) {}

TPen::~TPen() { PenManager.Free(resource_); }

void TPen::Assign(const TPen& source) {
    if (&source == this) return;
    TResource<TPenData>* old = resource_;
    resource_ = source.resource_;
    ++resource_->RefCount;
    mode_ = source.mode_;
    Changed();
    PenManager.Free(old);
}

platform::ObjectHandle TPen::GetHandle() const {
    if (resource_->Handle == 0) {
        const TPenData& data = resource_->Value;
        platform::LogPen pen;
        pen.Style = static_cast<std::uint32_t>(data.Style);
        pen.Width = data.Width;
        pen.Color = ColorToColorRef(data.Color);
        resource_->Handle = platform::GdiApi().CreatePenIndirect(pen);
    }
    return resource_->Handle;
}

void TPen::Change(const TPenData& data) { ChangeResource(PenManager, resource_, data); }

void TPen::SetColor(TColor color) {
    TPenData data = resource_->Value;
    data.Color = color;
    Change(data);
}

void TPen::SetWidth(std::int32_t width) {
    if (width < 0) return;
    TPenData data = resource_->Value;
    data.Width = width;
    Change(data);
}

void TPen::SetStyle(TPenStyle style) {
    TPenData data = resource_->Value;
    data.Style = style;
    Change(data);
}

void TPen::SetMode(TPenMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    Changed();
}

}  // namespace qmk
