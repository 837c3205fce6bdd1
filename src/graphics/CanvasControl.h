// What a canvas needs of a control. The window framework's controls
// implement it; the drawing layer knows nothing else about them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace qmk {

class TCanvasControl {
public:
    virtual ~TCanvasControl() = default;
    // The parent (a windowed control) or null.
    virtual TCanvasControl* CanvasParent() const = 0;
    // Position and size in the parent's client coordinates.
    virtual std::int32_t GetLeft() const = 0;
    virtual std::int32_t GetTop() const = 0;
    virtual std::int32_t GetWidth() const = 0;
    virtual std::int32_t GetHeight() const = 0;
    // Component name, for the error text.
    virtual std::string GetName() const = 0;
    // A device context to draw on, and the window it must be given back to.
    // Windowless default: the parent's context with the origin moved to the
    // control's top-left corner and drawing clipped to its area (raises
    // EInvalidOperation without a parent). Windowed controls override it:
    // window created if needed, AcquireWindowDeviceContext(window).
    virtual platform::DcHandle AcquireDeviceContext(platform::WindowHandle& window);
};

// GetDC of the window's client area; raises EOutOfResources when the
// platform gives none.
platform::DcHandle AcquireWindowDeviceContext(platform::WindowHandle window);

}  // namespace qmk
