// The Windows desktop: Win32Kernel from the start, and once the program
// asks for its display (there is only the session's desktop; a name given
// is not looked at), Win32Gdi and Win32User. A change of the system's
// locale settings makes the program read its settings again.
#pragma once

#include <memory>
#include <string_view>

#include "platform/Desktop.h"
#include "platform/win32/Win32Kernel.h"

namespace qmk::platform::win32 {

class Win32Gdi;
class Win32User;

class Win32Desktop : public Desktop {
public:
    Win32Desktop();
    ~Win32Desktop() override;

    Kernel& KernelPart() override { return kernel_; }
    void OpenDisplay(const char* displayName) override;
    Gdi* GdiPart() override;
    User* UserPart() override;

private:
    Win32Kernel kernel_;
    std::unique_ptr<Win32Gdi> gdi_;
    std::unique_ptr<Win32User> user_;
};

}  // namespace qmk::platform::win32
