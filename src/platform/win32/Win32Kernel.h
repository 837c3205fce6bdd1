// The system-services half of the platform seam on Windows: the clock from
// GetLocalTime and GetSystemTime, the locale's settings from the system's
// default locale, read with GetLocaleInfoW and handed on in code page 932,
// the program's encoding, whatever the ANSI code page of the machine.
#pragma once

#include "platform/Kernel.h"

namespace qmk::platform::win32 {

class Win32Kernel final : public Kernel {
public:
    SystemTime GetLocalTime() override;
    SystemTime GetSystemTime() override;
    // Items asked with LOCALE_RETURN_NUMBER get 0: their answer is a number,
    // not a text to convert.
    int GetLocaleInfo(std::uint32_t item, char* buffer, int size) override;
};

}  // namespace qmk::platform::win32
