// The one way into <windows.h> for the Win32 backend. The platform seam
// names nine of its methods after the Windows calls they stand for, and
// <windows.h> defines those names as macros that pick the A or W function;
// left defined, they would rename the seam's methods wherever the two
// headers meet. They are undefined here, once, and the backend calls the W
// functions by their full names: the program's texts are code page 932
// bytes, converted explicitly, so nothing depends on the ANSI code page of
// the Windows it runs on.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#undef UNICODE
#undef _UNICODE

#include <windows.h>

#undef CreateWindow
#undef CreateFontIndirect
#undef ExtTextOut
#undef GetLocaleInfo
#undef GetTextExtentPoint
#undef GetTextMetrics
#undef GetWindowText
#undef PeekMessage
#undef SetWindowText
