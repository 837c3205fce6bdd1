// A windowless text label: opaque on its parent's colour, the text at its
// top left on one line. After loading it takes the size of its text
// whenever its font or text changes.
#pragma once

#include "ui/Control.h"

namespace qmk {

class TLabel : public TGraphicControl {
public:
    explicit TLabel(std::string name = {});

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    void Loaded() override;
    void Paint(platform::DcHandle dc) override;
    // Takes the width and height of the text in the label's font.
    void AdjustBounds();

protected:
    void FontChanged() override;
    void TextChanged() override;

private:
    void ContentChanged();

    bool autoSize_ = true;
    bool sizePending_ = false;  // changed while the form was being fitted
};

}  // namespace qmk
