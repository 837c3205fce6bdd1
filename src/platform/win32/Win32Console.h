// Text for the user on Windows. A console is not a byte stream: it shows
// bytes in its output code page, which belongs to the console and to every
// program that shares it, so the program leaves it alone and hands the
// console UTF-16 instead (WriteConsoleW). Files and pipes get the UTF-8
// bytes, as scripts that read them expect.
#pragma once

#include <string_view>

#include "platform/Platform.h"

namespace qmk::platform::win32 {

// The backend's TextWriter (see platform/Platform.h); the factories of the
// desktop and of the runner's host install it.
bool WriteConsoleText(StandardStream stream, std::string_view text);

}  // namespace qmk::platform::win32
