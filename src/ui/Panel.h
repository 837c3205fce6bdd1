// A bevelled frame with a window of its own: a 1-pixel raised bevel, the
// face colour inside, no caption; its windowless children (the paint box)
// are painted after it.
#pragma once

#include "ui/Control.h"

namespace qmk {

class TPanel : public TWinControl {
public:
    explicit TPanel(std::string name = {});

protected:
    void PaintWindow(platform::DcHandle dc) override;
};

}  // namespace qmk
