// A windowless drawing area. It paints nothing itself: when its parent
// paints it, its canvas draws on the paint context for the duration and
// takes the box's font and colour, and OnPaint runs. Between paintings the
// program draws on Canvas(), which borrows the parent window's context.
#pragma once

#include "graphics/ControlCanvas.h"
#include "ui/Control.h"

namespace qmk {

class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(std::string name = {});
    ~TPaintBox() override;

    TControlCanvas& Canvas() { return canvas_; }
    void Paint(platform::DcHandle dc) override;

    TNotifyEvent OnPaint;

private:
    TControlCanvas canvas_;
};

}  // namespace qmk
