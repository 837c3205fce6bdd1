// Builds, and so proves, that the seam's headers stand beside <windows.h>:
// nine of their method names are macros there. WinApi.h comes first, as in
// the backend; <windows.h> included once more afterwards must not bring
// the macros back. Every clashing method is called once.
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

// Not run: it only has to compile against the seam as it is declared.
void CallEveryClashingName(Gdi& gdi, User& user, Kernel& kernel) {
    CreateWindowParams params;
    const WindowHandle window = user.CreateWindow(params);
    user.SetWindowText(window, "x");
    const std::string text = user.GetWindowText(window);
    Message message;
    user.PeekMessage(message);
    LogFont request;
    const ObjectHandle font = gdi.CreateFontIndirect(request);
    Size size;
    gdi.GetTextExtentPoint(0, text.data(), static_cast<int>(text.size()), &size);
    TextMetrics metrics;
    gdi.GetTextMetrics(0, &metrics);
    gdi.ExtTextOut(0, 0, 0, 0, nullptr, "x", 1);
    gdi.DeleteObject(font);
    char buffer[8];
    kernel.GetLocaleInfo(locale_item::TimeSeparator, buffer, sizeof buffer);
}

namespace {

TEST(WinApiTest, TheClashingMacrosAreGone) {
#if defined(CreateWindow) || defined(CreateFontIndirect) || defined(ExtTextOut) ||             \
    defined(GetLocaleInfo) || defined(GetTextExtentPoint) || defined(GetTextMetrics) ||        \
    defined(GetWindowText) || defined(PeekMessage) || defined(SetWindowText)
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
