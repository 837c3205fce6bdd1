#include "platform/win32/Win32Desktop.h"

#include "platform/win32/Win32Console.h"
#include "platform/win32/Win32Gdi.h"
#include "platform/win32/Win32User.h"
#include "runtime/LocaleSettings.h"

namespace qmk::platform {

std::unique_ptr<Desktop> MakeDesktop(std::string_view /*programName*/) {
    InstallTextWriter(&win32::WriteConsoleText);
    return std::make_unique<win32::Win32Desktop>();
}

}  // namespace qmk::platform

namespace qmk::platform::win32 {

Win32Desktop::Win32Desktop() = default;

// The window half first: its windows go before the drawing objects.
Win32Desktop::~Win32Desktop() {
    user_.reset();
    gdi_.reset();
}

void Win32Desktop::OpenDisplay(const char* /*displayName*/) {
    gdi_ = std::make_unique<Win32Gdi>();
    user_ = std::make_unique<Win32User>();
    user_->SetSettingsChangedHandler(&ReadLocaleSettings);
}

Gdi* Win32Desktop::GdiPart() { return gdi_.get(); }

User* Win32Desktop::UserPart() { return user_.get(); }

}  // namespace qmk::platform::win32
