// The control word the Windows program runs under, read back from the
// processor under Wine, and kept across the system calls the program makes.
#include <gtest/gtest.h>

#include "platform/win32/FloatingPoint.h"
#include "platform/win32/Win32Gdi.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform::win32::testing {
namespace {

// Puts back what the test process had, so other tests run as before.
class FloatingPointTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = ReadControlWord(); }
    void TearDown() override {
        const std::uint16_t word = saved_;
        __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
    }
    std::uint16_t saved_ = 0;
};

TEST(ControlWordMeansTest, ReservedAndUnusedBitsDoNotCount) {
    EXPECT_TRUE(ControlWordMeans(0x1372, 0x1332));  // as the unit reads it back
    EXPECT_TRUE(ControlWordMeans(0xF372, 0x1332));
    EXPECT_FALSE(ControlWordMeans(0x1373, 0x1332));  // invalid operation masked
    EXPECT_FALSE(ControlWordMeans(0x1232, 0x1332));  // 53-bit precision
    EXPECT_FALSE(ControlWordMeans(0x1732, 0x1332));  // rounding down
    EXPECT_FALSE(ControlWordMeans(0x0332, 0x1332));  // infinity control
    EXPECT_FALSE(ControlWordMeans(0x037F, 0x1332));  // the start-up default
}

TEST_F(FloatingPointTest, LoadsAndReadsBackTheProgramsWord) {
    ASSERT_FALSE(ControlWordMeans(ReadControlWord(), ProgramControlWord));
    EXPECT_TRUE(LoadProgramControlWord());
    EXPECT_EQ(ReadControlWord(), 0x1372);
}

// A division by zero with the masks set (as before start-up) leaves its
// flag pending; loading the word must not turn it into a fault at the
// next floating-point instruction.
TEST_F(FloatingPointTest, PendingExceptionFlagsDoNotFaultAfterLoading) {
    volatile long double zero = 0.0L;
    volatile long double infinite = 1.0L / zero;
    EXPECT_TRUE(__builtin_isinf(infinite));
    ASSERT_TRUE(LoadProgramControlWord());
    volatile long double sum = 1.0L;
    sum = sum + 2.0L;
    EXPECT_EQ(sum, 3.0L);
}

// Extended precision and rounding to nearest, as the time values need:
// 1 + 2^-63 survives in 64 bits and would be lost at 53.
TEST_F(FloatingPointTest, ArithmeticUnderTheWordIsExtended) {
    ASSERT_TRUE(LoadProgramControlWord());
    volatile long double one = 1.0L;
    volatile long double tiny = 0x1p-63L;
    const long double sum = one + tiny;
    EXPECT_NE(sum, 1.0L);
    volatile long double half = 0x1p-64L;  // a tie rounds to even
    EXPECT_EQ(one + half, 1.0L);
}

// Wine's GDI, fonts and window code run in the program's thread; none of
// them may leave another word behind.
TEST_F(FloatingPointTest, WordSurvivesDrawingTextAndWindows) {
    ASSERT_TRUE(LoadProgramControlWord());
    Win32Gdi gdi;
    const DcHandle screen = gdi.GetDC(0);
    const DcHandle memory = gdi.CreateCompatibleDC(screen);
    const ObjectHandle bitmap = gdi.CreateCompatibleBitmap(screen, 100, 40);
    const ObjectHandle oldBitmap = gdi.SelectObject(memory, bitmap);
    LogFont request;
    request.Height = -19;
    const char face[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック
    for (int i = 0; face[i] != '\0'; ++i) request.FaceName[i] = face[i];
    const ObjectHandle font = gdi.CreateFontIndirect(request);
    const ObjectHandle oldFont = gdi.SelectObject(memory, font);
    Size size;
    gdi.GetTextExtentPoint(memory, "\x83\x58\x83\x5e\x81\x5b\x83\x67", 8, &size);
    gdi.ExtTextOut(memory, 0, 0, eto::Opaque, nullptr, "\x83\x58\x83\x5e\x81\x5b\x83\x67", 8);
    gdi.StretchBlt(screen, 0, 0, 200, 80, memory, 0, 0, 100, 40, rop::SrcCopy);
    EXPECT_TRUE(ControlWordMeans(ReadControlWord(), ProgramControlWord));

    const HWND window = ::CreateWindowExW(0, L"STATIC", L"\x30B9\x30BF\x30FC\x30C8",
                                          WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                          nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    MSG message;
    for (int round = 0; round < 20; ++round) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::Sleep(5);
    }
    ::DestroyWindow(window);
    EXPECT_TRUE(ControlWordMeans(ReadControlWord(), ProgramControlWord));

    gdi.SelectObject(memory, oldFont);
    gdi.DeleteObject(font);
    gdi.SelectObject(memory, oldBitmap);
    gdi.DeleteObject(bitmap);
    gdi.DeleteDC(memory);
    gdi.ReleaseDC(0, screen);
}

}  // namespace
}  // namespace qmk::platform::win32::testing
