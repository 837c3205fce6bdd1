// The canvas of a control: it draws through a device context borrowed from
// the control's window (or, for a windowless control, its parent's window,
// already set up with the control's origin and clip). At most four such
// contexts are held at a time; the framework gives them all back after
// every window message.
#pragma once

#include <cstddef>
#include <span>

#include "graphics/Canvas.h"
#include "graphics/CanvasControl.h"

namespace qmk {

class TControlCanvas final : public TCanvas {
public:
    TControlCanvas() = default;
    ~TControlCanvas() override;

    // Gives the borrowed context back to its window.
    void ReleaseContext();

    TCanvasControl* Control() const { return control_; }
    // A different control first gives back the context borrowed for the
    // old one.
    void SetControl(TCanvasControl* control);

    platform::DcHandle DeviceContext() const { return deviceContext_; }
    platform::WindowHandle Window() const { return window_; }

protected:
    void AcquireHandle() override;

private:
    TCanvasControl* control_ = nullptr;
    platform::DcHandle deviceContext_ = 0;
    platform::WindowHandle window_ = 0;
};

inline constexpr std::size_t WindowContextCapacity = 4;

// Control canvases holding a window context, oldest first.
std::span<TControlCanvas* const> LiveWindowContexts();
// Gives back every window context; the framework calls it after each
// window message (before ReleaseAllMemoryContexts) and when a window is
// destroyed.
void ReleaseAllWindowContexts();

}  // namespace qmk
