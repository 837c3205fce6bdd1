#include "graphics/Graphics.h"

namespace qmk {

platform::ObjectHandle StockPen = 0;
platform::ObjectHandle StockBrush = 0;
platform::ObjectHandle StockFont = 0;

void InitializeGraphics() {
    auto& gdi = platform::GdiApi();
    const platform::DcHandle screen = gdi.GetDC(0);
    if (screen != 0) {
        const int perInch = gdi.GetDeviceCaps(screen, platform::caps::LogPixelsY);
        if (perInch > 0) SetScreenLogPixels(perInch);
        gdi.ReleaseDC(0, screen);
    }
    StockPen = gdi.GetStockObject(platform::stock::BlackPen);
    StockBrush = gdi.GetStockObject(platform::stock::HollowBrush);
    StockFont = gdi.GetStockObject(platform::stock::SystemFont);
}

}  // namespace qmk
