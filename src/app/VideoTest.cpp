#include "app/VideoTest.h"

#include "graphics/Bitmap.h"
#include "runtime/Generator.h"
#include "ui/PaintBox.h"

namespace qmk {

void VideoTest(TPaintBox& paintBox, TBitmap& workBitmap) {
    const std::int32_t y = RandomBelow(paintBox.Height());
    const std::int32_t x = RandomBelow(paintBox.Width());
    paintBox.Canvas().DrawGraphic(x, y, &workBitmap);
}

}  // namespace qmk
