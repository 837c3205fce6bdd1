#include "graphics/ControlCanvas.h"

#include <algorithm>
#include <array>

namespace qmk {

namespace {

// A fixed ring is enough: the list never holds more than its capacity.
struct WindowContextList {
    std::array<TControlCanvas*, WindowContextCapacity> Entries{};
    std::size_t Count = 0;

    void Remove(TControlCanvas* canvas) {
        auto* end = Entries.begin() + Count;
        auto* found = std::find(Entries.begin(), end, canvas);
        if (found == end) return;
        std::copy(found + 1, end, found);
        --Count;
    }
};

WindowContextList windowContexts;

}  // namespace

std::span<TControlCanvas* const> LiveWindowContexts() {
    return {windowContexts.Entries.data(), windowContexts.Count};
}

void ReleaseAllWindowContexts() {
    while (windowContexts.Count > 0) windowContexts.Entries[0]->ReleaseContext();
}

TControlCanvas::~TControlCanvas() { ReleaseContext(); }

void TControlCanvas::AcquireHandle() {
    if (control_ == nullptr) return;
    if (deviceContext_ == 0) {
        if (windowContexts.Count == WindowContextCapacity) windowContexts.Entries[0]->ReleaseContext();
        deviceContext_ = control_->AcquireDeviceContext(window_);
        windowContexts.Entries[windowContexts.Count++] = this;
    }
    SetHandle(deviceContext_);
}

void TControlCanvas::ReleaseContext() {
    if (deviceContext_ == 0) return;
    SetHandle(0);
    windowContexts.Remove(this);
    platform::GdiApi().ReleaseDC(window_, deviceContext_);
    deviceContext_ = 0;
}

void TControlCanvas::SetControl(TCanvasControl* control) {
    if (control == control_) return;
    ReleaseContext();
    control_ = control;
}

}  // namespace qmk
