// The drawing layer in one include, and its start-up.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Brush.h"
#include "graphics/Canvas.h"
#include "graphics/CanvasControl.h"
#include "graphics/Color.h"
#include "graphics/ControlCanvas.h"
#include "graphics/Font.h"
#include "graphics/Graphic.h"
#include "graphics/Pen.h"

namespace qmk {

// Start-up of the drawing layer, once the platform backend is installed:
// reads the screen's pixels per inch (and with it the default font height)
// and fetches the stock pen, brush and font.
void InitializeGraphics();

// After every window message, in this order.
inline void ReleaseDrawingContexts() {
    ReleaseAllWindowContexts();
    ReleaseAllMemoryContexts();
}

}  // namespace qmk
