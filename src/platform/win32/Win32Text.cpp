#include "platform/win32/Win32Text.h"

#include <cstring>

namespace qmk::platform::win32 {

WideText::WideText(const char* text, int length) {
    if (length < 0 || (text == nullptr && length > 0)) return;
    valid_ = true;
    if (length == 0) return;
    // Every byte gives at most one UTF-16 unit.
    wchar_t* out = inline_;
    if (length > InlineCapacity) {
        heap_ = std::make_unique<wchar_t[]>(static_cast<std::size_t>(length));
        out = heap_.get();
    }
    length_ = ::MultiByteToWideChar(Cp932, 0, text, length, out, length);
    data_ = out;
    valid_ = length_ > 0;
}

void FaceNameToWide(const char (&face)[32], WCHAR (&wide)[LF_FACESIZE]) {
    int bytes = 0;
    while (bytes < 32 && face[bytes] != '\0') ++bytes;
    int units = 0;
    if (bytes > 0) {
        WCHAR converted[32];
        units = ::MultiByteToWideChar(Cp932, 0, face, bytes, converted, 32);
        if (units > LF_FACESIZE - 1) units = LF_FACESIZE - 1;
        if (units < 0) units = 0;
        std::memcpy(wide, converted, static_cast<std::size_t>(units) * sizeof(WCHAR));
    }
    wide[units] = L'\0';
}

int WideToCp932(const wchar_t* text, int count, char* buffer, int size) {
    if (text == nullptr || count <= 0 || buffer == nullptr || size <= 0) return 0;
    BOOL usedDefault = FALSE;
    const int needed = ::WideCharToMultiByte(Cp932, WC_NO_BEST_FIT_CHARS, text, count, nullptr, 0,
                                             nullptr, &usedDefault);
    if (needed <= 0 || usedDefault || needed > size) return 0;
    return ::WideCharToMultiByte(Cp932, WC_NO_BEST_FIT_CHARS, text, count, buffer, size, nullptr,
                                 nullptr);
}

}  // namespace qmk::platform::win32
