#include "platform/win32/Win32Kernel.h"

#include <memory>

#include "platform/win32/Win32Text.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform::win32 {

namespace {

SystemTime FromSystemTime(const SYSTEMTIME& time) {
    SystemTime out;
    out.Hour = time.wHour;
    out.Minute = time.wMinute;
    out.Second = time.wSecond;
    out.Milliseconds = time.wMilliseconds;
    return out;
}

// Long enough for every item the program reads (long date patterns are the
// longest, well under 80 characters); longer answers are read again.
constexpr int LocaleTextCapacity = 128;

}  // namespace

SystemTime Win32Kernel::GetLocalTime() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromSystemTime(now);
}

SystemTime Win32Kernel::GetSystemTime() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return FromSystemTime(now);
}

int Win32Kernel::GetLocaleInfo(std::uint32_t item, char* buffer, int size) {
    if (buffer == nullptr || size <= 0 || (item & LOCALE_RETURN_NUMBER) != 0) return 0;
    const LCID locale = ::GetSystemDefaultLCID();
    wchar_t text[LocaleTextCapacity];
    int count = ::GetLocaleInfoW(locale, item, text, LocaleTextCapacity);
    if (count > 0) return WideToCp932(text, count, buffer, size);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
    const int needed = ::GetLocaleInfoW(locale, item, nullptr, 0);
    if (needed <= 0) return 0;
    auto longer = std::make_unique<wchar_t[]>(static_cast<std::size_t>(needed));
    count = ::GetLocaleInfoW(locale, item, longer.get(), needed);
    return count > 0 ? WideToCp932(longer.get(), count, buffer, size) : 0;
}

}  // namespace qmk::platform::win32
