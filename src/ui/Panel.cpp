#include "ui/Panel.h"

#include "ui/StylePainter.h"

namespace qmk {

TPanel::TPanel(std::string name) : TWinControl(std::move(name)) { SetColor(clBtnFace); }

void TPanel::PaintWindow(platform::DcHandle dc) {
    const platform::Rect face = StylePainter::PaintBevel(dc, {0, 0, Width(), Height()}, TBevel::Raised);
    StylePainter::FillSolid(dc, face, Color());
}

}  // namespace qmk
