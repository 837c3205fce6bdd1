// A recording backend installed for one test, the drawing layer started on
// it, and the controls a control canvas needs.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/recording/RecordingGdi.h"

namespace qmk {

using platform::RecordingGdi;
using Call = RecordingGdi::Call;

class GraphicsTest : public ::testing::Test {
protected:
    explicit GraphicsTest(int bitsPerPixel = 24) : gdi(bitsPerPixel), backend_({&gdi, nullptr, nullptr}) {
        InitializeGraphics();
        gdi.ClearLog();
    }
    ~GraphicsTest() override { ReleaseDrawingContexts(); }

    // The calls since the last look, then forgets them.
    std::vector<std::string> TakeCalls() {
        std::vector<std::string> calls = gdi.Calls();
        gdi.ClearLog();
        return calls;
    }

    RecordingGdi gdi;

private:
    platform::ScopedBackend backend_;
};

// A control with a window of its own.
class FakeWindowedControl : public TCanvasControl {
public:
    FakeWindowedControl(platform::WindowHandle window, std::int32_t width, std::int32_t height)
        : window_(window), width_(width), height_(height) {}
    TCanvasControl* CanvasParent() const override { return nullptr; }
    std::int32_t GetLeft() const override { return 0; }
    std::int32_t GetTop() const override { return 0; }
    std::int32_t GetWidth() const override { return width_; }
    std::int32_t GetHeight() const override { return height_; }
    std::string GetName() const override { return "Panel1"; }
    platform::DcHandle AcquireDeviceContext(platform::WindowHandle& window) override {
        window = window_;
        return AcquireWindowDeviceContext(window_);
    }

private:
    platform::WindowHandle window_;
    std::int32_t width_, height_;
};

// A windowless control placed in a parent.
class FakeGraphicControl : public TCanvasControl {
public:
    FakeGraphicControl(TCanvasControl* parent, platform::Rect bounds, std::string name)
        : parent_(parent), bounds_(bounds), name_(std::move(name)) {}
    TCanvasControl* CanvasParent() const override { return parent_; }
    std::int32_t GetLeft() const override { return bounds_.Left; }
    std::int32_t GetTop() const override { return bounds_.Top; }
    std::int32_t GetWidth() const override { return bounds_.Right - bounds_.Left; }
    std::int32_t GetHeight() const override { return bounds_.Bottom - bounds_.Top; }
    std::string GetName() const override { return name_; }

private:
    TCanvasControl* parent_;
    platform::Rect bounds_;
    std::string name_;
};

struct ChangeCounter {
    int Count = 0;
    void Hit(TPersistent*) { ++Count; }
    TChangeEvent Event() { return TChangeEvent::Bind<&ChangeCounter::Hit>(this); }
};

}  // namespace qmk
