#include "ui/PaintBox.h"

namespace qmk {

TPaintBox::TPaintBox(std::string name) : TGraphicControl(std::move(name)) {
    canvas_.SetControl(this);
}

TPaintBox::~TPaintBox() { canvas_.SetControl(nullptr); }

void TPaintBox::Paint(platform::DcHandle dc) {
    // The paint context is lent for this painting only; a context the
    // canvas borrowed itself stays borrowed and comes back with the next
    // drawing operation.
    struct TLend {
        TControlCanvas& Canvas;
        ~TLend() { Canvas.SetHandle(0); }
    } lend{canvas_};
    canvas_.SetHandle(dc);
    canvas_.SetFont(Font());
    canvas_.Brush().SetColor(Color());
    if (OnPaint) OnPaint(*this);
}

}  // namespace qmk
