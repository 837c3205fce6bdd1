// Compiled by the MinGW compiler only (see tests/CMakeLists.txt): every
// header of the seam stands beside <windows.h>, whichever comes first.
// Ten of the seam's method names are macros there; the backend's wrapper
// takes them away.
#include "platform/win32/WinApi.h"

#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Platform.h"
#include "platform/RunnerHost.h"
#include "platform/SystemColors.h"
#include "platform/Types.h"
#include "platform/User.h"

// <windows.h> once more, as a backend file that includes it directly would.
#include <windows.h>

namespace qmk::platform {

// The clashing names are the seam's methods, not the A or W functions.
void CallEveryClashingName(Gdi& gdi, User& user, Kernel& kernel) {
    const WindowHandle window = user.CreateWindow(CreateWindowParams{});
    user.SetWindowText(window, "x");
    const std::string text = user.GetWindowText(window);
    Message message;
    user.PeekMessage(message);
    const ObjectHandle font = gdi.CreateFontIndirect(LogFont{});
    Size size;
    gdi.GetTextExtentPoint(0, text.data(), static_cast<int>(text.size()), &size);
    TextMetrics metrics;
    gdi.GetTextMetrics(0, &metrics);
    gdi.ExtTextOut(0, 0, 0, 0, nullptr, "x", 1);
    gdi.DeleteObject(font);
    char buffer[8];
    kernel.GetLocaleInfo(locale_item::TimeSeparator, buffer, sizeof buffer);
    const std::string path = kernel.GetModuleFileName();
}

}  // namespace qmk::platform
