#include "graphics/CanvasControl.h"

#include "platform/Platform.h"
#include "runtime/Errors.h"

namespace qmk {

platform::DcHandle TCanvasControl::AcquireDeviceContext(platform::WindowHandle& window) {
    TCanvasControl* parent = CanvasParent();
    if (parent == nullptr)
        throw EInvalidOperation(texts::FormatText(texts::ParentRequired.Cp932, {GetName()}));
    const platform::DcHandle dc = parent->AcquireDeviceContext(window);
    auto& gdi = platform::GdiApi();
    // Set once per borrowed context, so no copy does coordinate arithmetic
    // or clipping of its own.
    gdi.SetViewportOrgEx(dc, GetLeft(), GetTop(), nullptr);
    gdi.IntersectClipRect(dc, 0, 0, GetWidth(), GetHeight());
    return dc;
}

platform::DcHandle AcquireWindowDeviceContext(platform::WindowHandle window) {
    const platform::DcHandle dc = platform::GdiApi().GetDC(window);
    if (dc == 0) throw EOutOfResources(texts::NoDeviceContext);
    return dc;
}

}  // namespace qmk
