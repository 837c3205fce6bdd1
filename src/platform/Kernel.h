// The system-services half of the platform seam: the wall clock, the
// locale's format settings and the program's file name. Texts are code
// page 932 bytes, as the program keeps every text.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace qmk::platform {

class Kernel {
public:
    virtual ~Kernel() = default;

    // Local time of day (GetLocalTime); one reading of the system clock.
    virtual SystemTime GetLocalTime() = 0;
    // UTC time of day (GetSystemTime).
    virtual SystemTime GetSystemTime() = 0;
    // GetLocaleInfoA for the program's locale: writes the item's text in
    // code page 932 with its terminating zero into buffer and returns the
    // count of bytes written including the zero; returns 0 when the item is
    // unknown, cannot be converted or does not fit in size bytes.
    virtual int GetLocaleInfo(std::uint32_t item, char* buffer, int size) = 0;
    // GetModuleFileNameA of the program: the full path of the running
    // program's file, characters code page 932 lacks as "?"; empty when
    // the system does not tell (this default, for a backend that cannot).
    virtual std::string GetModuleFileName() { return {}; }
};

}  // namespace qmk::platform
