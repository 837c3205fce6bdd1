// The abstract picture.
#pragma once

#include <cstdint>

#include "graphics/Persistent.h"
#include "platform/Types.h"

namespace qmk {

class TCanvas;

class TGraphic : public TPersistent {
public:
    // Draws the picture into rect of the canvas (the canvas is prepared by
    // TCanvas::DrawGraphic).
    virtual void DrawInRect(TCanvas& canvas, const platform::Rect& rect) = 0;
    virtual bool Equals(const TGraphic& other) const { return this == &other; }
    virtual bool IsEmpty() const = 0;
    virtual std::int32_t GetHeight() const = 0;
    virtual std::int32_t GetWidth() const = 0;
    virtual void SetHeight(std::int32_t value) = 0;
    virtual void SetWidth(std::int32_t value) = 0;

    // Set by every change; nothing here clears it.
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    void SignalChange() {
        modified_ = true;
        if (OnChange) OnChange(this);
    }

    TChangeEvent OnChange;

private:
    bool modified_ = false;
};

}  // namespace qmk
