// The backend's own view of the clashing names: after WinApi.h (and
// <windows.h> once more) none of the ten macros is left, and the backend's
// objects answer through the seam's names. That every seam header compiles
// beside <windows.h> is checked apart (SeamHeadersBesideWindowsH).
#include "platform/win32/WinApi.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Platform.h"
#include "platform/Types.h"
#include "platform/User.h"
#include "platform/win32/Win32Gdi.h"
#include "platform/win32/Win32Kernel.h"

namespace qmk::platform::win32::testing {

namespace {

TEST(WinApiTest, TheClashingMacrosAreGone) {
#if defined(CreateWindow) || defined(CreateFontIndirect) || defined(ExtTextOut) ||             \
    defined(GetLocaleInfo) || defined(GetTextExtentPoint) || defined(GetTextMetrics) ||        \
    defined(GetWindowText) || defined(PeekMessage) || defined(SetWindowText) ||                \
    defined(GetModuleFileName)
    ADD_FAILURE() << "a macro of <windows.h> still renames a seam method";
#endif
    // The backend's own calls go through the seam's names.
    Win32Gdi gdi;
    Win32Kernel kernel;
    Gdi& seamGdi = gdi;
    Kernel& seamKernel = kernel;
    const ObjectHandle font = seamGdi.CreateFontIndirect(LogFont{});
    EXPECT_NE(font, 0u);
    EXPECT_TRUE(seamGdi.DeleteObject(font));
    char separator[4];
    EXPECT_EQ(seamKernel.GetLocaleInfo(locale_item::TimeSeparator, separator, sizeof separator), 2);
}

}  // namespace
}  // namespace qmk::platform::win32::testing
