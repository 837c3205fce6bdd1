#include "app/CpuTest.h"

#include "graphics/Bitmap.h"
#include "runtime/Generator.h"

namespace qmk {

IntegerMix MixStep(std::int32_t j, std::int32_t r, std::int32_t k) { return MixStepInline(j, r, k); }

void CpuTest(TBitmap& workBitmap, std::int32_t j) {
    // Width, height and canvas are asked for before every pixel operation,
    // never remembered across them.
    for (std::int32_t r = 1; r <= 8; ++r) {
        const TColor colour = RandomBelow(0x1000000);
        std::int32_t y = RandomBelow(workBitmap.GetHeight());
        std::int32_t x = RandomBelow(workBitmap.GetWidth());
        workBitmap.Canvas().WritePixel(x, y, colour);

        y = RandomBelow(workBitmap.GetHeight());
        x = RandomBelow(workBitmap.GetWidth());
        const TColor read = workBitmap.Canvas().ReadPixel(x, y);
        y = RandomBelow(workBitmap.GetHeight());
        x = RandomBelow(workBitmap.GetWidth());
        workBitmap.Canvas().WritePixel(x, y, read);

        MixPass(j, r);
    }
}

}  // namespace qmk
