// The program's texts are code page 932 bytes; the Win32 backend calls the
// W functions with them converted here, so they show right whatever the
// ANSI code page of the Windows the program runs on (the A functions would
// read the bytes in that code page).
#pragma once

#include <memory>

#include "platform/win32/WinApi.h"

namespace qmk::platform::win32 {

inline constexpr UINT Cp932 = 932;

// Text in code page 932 as UTF-16. Texts up to InlineCapacity bytes, every
// text the window shows, convert into the object itself, so drawing and
// measuring them allocates nothing. A byte sequence that is not code page
// 932 comes out as the code page's default character, as the A functions
// would show it.
class WideText {
public:
    static constexpr int InlineCapacity = 256;

    WideText(const char* text, int length);
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;

    // False for a negative length, a null text of non-zero length, or a
    // failed conversion.
    bool Valid() const { return valid_; }
    const wchar_t* Data() const { return data_; }
    int Length() const { return length_; }

private:
    wchar_t inline_[InlineCapacity];
    std::unique_ptr<wchar_t[]> heap_;
    const wchar_t* data_ = inline_;
    int length_ = 0;
    bool valid_ = false;
};

// A LOGFONT face name (up to 32 bytes, zero-terminated when shorter) as a
// LOGFONTW one, cut to fit with its terminating zero.
void FaceNameToWide(const char (&face)[32], WCHAR (&wide)[LF_FACESIZE]);

// UTF-16 text (count units, terminating zero included when there is one)
// to code page 932 in buffer; returns the bytes written, or 0 when some
// character has no code page 932 form or the result needs more than size
// bytes. Nothing is written then.
int WideToCp932(const wchar_t* text, int count, char* buffer, int size);

}  // namespace qmk::platform::win32
