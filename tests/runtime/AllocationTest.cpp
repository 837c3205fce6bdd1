// The meter's cost includes exactly one heap allocation per time text; a
// change that hides it (a small-buffer text) or adds one changes what the
// benchmark measures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "KernelFixture.h"
#include "runtime/NumberText.h"
#include "runtime/TimeText.h"

namespace {
int allocations = 0;
bool counting = false;
}  // namespace

// Inlined library code pairs these with free() directly, which GCC flags.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { ::operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { ::operator delete(block); }

namespace qmk {
namespace {

namespace li = platform::locale_item;
using AllocationTest = KernelFixture;

int AllocationsOf(const auto& work) {
    allocations = 0;
    counting = true;
    work();
    counting = false;
    return allocations;
}

TEST_F(AllocationTest, TimeTextAllocatesOnlyItsResult) {
    for (const char* format : {"H:mm:ss", "h:mm:ss tt", "hh:mm:ss"}) {
        ReadSettings({{li::TimeFormat, format}, {li::AmText, "AM"}, {li::PmText, "PM"}});
        Text previous = TimeText(0.25);
        Text current;
        EXPECT_EQ(AllocationsOf([&] { current = TimeText(0.75); }), 1) << format;
        EXPECT_EQ(AllocationsOf([&] { (void)(previous == current); }), 0);
    }
}

TEST_F(AllocationTest, ReadingTheClockAllocatesNothing) {
    kernel_.SetLocalTime({9, 5, 7, 250});
    EXPECT_EQ(AllocationsOf([] { (void)ReadClock(); }), 0);
}

}  // namespace
}  // namespace qmk
