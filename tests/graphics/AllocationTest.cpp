// The steady pixel operations and copies allocate nothing: every global
// allocation of this test program is counted while the counter is armed.
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "GraphicsFixture.h"

namespace {
bool counting = false;
long allocations = 0;
}  // namespace

// The compiler cannot see that these replace the global pair together.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace qmk {
namespace {

class AllocationTest : public GraphicsTest {};

TEST_F(AllocationTest, SteadyPixelOperationsAndCopiesAllocateNothing) {
    gdi.AddWindow(7, 89, 97);
    FakeWindowedControl panel(7, 89, 97);
    FakeGraphicControl paintBox(&panel, {1, 1, 88, 96}, "PaintBox1");
    TControlCanvas canvas;
    canvas.SetControl(&paintBox);
    TBitmap bitmap;
    bitmap.SetWidth(174);
    bitmap.SetHeight(190);
    TCanvas& pixels = bitmap.Canvas();
    pixels.WritePixel(0, 0, clBlack);
    canvas.DrawGraphic(0, 0, &bitmap);
    gdi.ClearLog();

    counting = true;
    TColor sink = 0;
    for (int i = 0; i < 1000; ++i) {
        pixels.WritePixel(i % 174, i % 190, i);
        sink ^= pixels.ReadPixel(i % 173, i % 189);
        pixels.WritePixel(i % 170, i % 180, sink);
        canvas.DrawGraphic(i % 87, i % 95, &bitmap);
    }
    counting = false;

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(gdi.LogSize(), 8000u);
    EXPECT_FALSE(gdi.LogOverflowed());
}

}  // namespace
}  // namespace qmk
