// The main window's panel and its paint box as bare canvas controls, with
// the sizes the window gives them, for tests and benchmarks of the drawing
// layer that run without the window framework. The panel draws into a
// platform window of the caller's.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/CanvasControl.h"
#include "platform/Types.h"

namespace qmk::test {

class FakePanel : public TCanvasControl {
public:
    explicit FakePanel(platform::WindowHandle window) : window_(window) {}
    TCanvasControl* CanvasParent() const override { return nullptr; }
    std::int32_t GetLeft() const override { return 0; }
    std::int32_t GetTop() const override { return 0; }
    std::int32_t GetWidth() const override { return 89; }
    std::int32_t GetHeight() const override { return 97; }
    std::string GetName() const override { return "Panel1"; }
    platform::DcHandle AcquireDeviceContext(platform::WindowHandle& window) override {
        window = window_;
        return AcquireWindowDeviceContext(window_);
    }

private:
    platform::WindowHandle window_;
};

class FakePaintBox : public TCanvasControl {
public:
    explicit FakePaintBox(TCanvasControl* parent) : parent_(parent) {}
    TCanvasControl* CanvasParent() const override { return parent_; }
    std::int32_t GetLeft() const override { return 1; }
    std::int32_t GetTop() const override { return 1; }
    std::int32_t GetWidth() const override { return 87; }
    std::int32_t GetHeight() const override { return 95; }
    std::string GetName() const override { return "PaintBox1"; }

private:
    TCanvasControl* parent_;
};

}  // namespace qmk::test
