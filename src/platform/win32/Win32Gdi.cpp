#include "platform/win32/Win32Gdi.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/win32/Win32Text.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform::win32 {

namespace {

// The seam's values carry the Windows numbers, and its colour values are
// COLORREFs; only the handles change type.
static_assert(sizeof(Handle) == sizeof(HANDLE));
static_assert(sizeof(ColorRef) == sizeof(COLORREF));
static_assert(sizeof(PaletteEntry) == sizeof(PALETTEENTRY));
static_assert(InvalidColor == CLR_INVALID);
static_assert(stock::WhiteBrush == WHITE_BRUSH && stock::HollowBrush == NULL_BRUSH &&
              stock::NullPen == NULL_PEN && stock::SystemFont == SYSTEM_FONT &&
              stock::DefaultPalette == DEFAULT_PALETTE);
static_assert(rop::SrcCopy == SRCCOPY && rop::Whiteness == WHITENESS &&
              rop::Blackness == BLACKNESS && rop::PatCopy == PATCOPY);
static_assert(eto::Opaque == ETO_OPAQUE && eto::Clipped == ETO_CLIPPED);
static_assert(caps::LogPixelsY == LOGPIXELSY && caps::RasterCaps == RASTERCAPS &&
              caps::SizePalette == SIZEPALETTE);
static_assert(Transparent == TRANSPARENT && Opaque == OPAQUE && ColorOnColor == COLORONCOLOR);
static_assert(r2::XorPen == R2_XORPEN && r2::CopyPen == R2_COPYPEN && r2::White == R2_WHITE);
static_assert(SimpleRegion == SIMPLEREGION && NullRegion == NULLREGION);

HDC Dc(DcHandle dc) { return reinterpret_cast<HDC>(dc); }
HGDIOBJ Object(ObjectHandle object) { return reinterpret_cast<HGDIOBJ>(object); }
template <typename T>
Handle ToHandle(T handle) {
    return reinterpret_cast<Handle>(handle);
}

RECT ToRect(const Rect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

PALETTEENTRY ToWin(const PaletteEntry& e) {
    return PALETTEENTRY{e.Red, e.Green, e.Blue, e.Flags};
}

}  // namespace

DcHandle Win32Gdi::GetDC(WindowHandle window) {
    return ToHandle(::GetDC(reinterpret_cast<HWND>(window)));
}

int Win32Gdi::ReleaseDC(WindowHandle window, DcHandle dc) {
    return ::ReleaseDC(reinterpret_cast<HWND>(window), Dc(dc));
}

DcHandle Win32Gdi::CreateCompatibleDC(DcHandle dc) { return ToHandle(::CreateCompatibleDC(Dc(dc))); }

bool Win32Gdi::DeleteDC(DcHandle dc) { return ::DeleteDC(Dc(dc)) != FALSE; }

ObjectHandle Win32Gdi::CreateCompatibleBitmap(DcHandle dc, std::int32_t width, std::int32_t height) {
    return ToHandle(::CreateCompatibleBitmap(Dc(dc), width, height));
}

ObjectHandle Win32Gdi::CreateBitmap(std::int32_t width, std::int32_t height, std::uint32_t planes,
                                    std::uint32_t bitsPerPixel, const void* bits) {
    return ToHandle(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

ObjectHandle Win32Gdi::GetStockObject(int id) { return ToHandle(::GetStockObject(id)); }

ObjectHandle Win32Gdi::CreatePenIndirect(const LogPen& pen) {
    const LOGPEN request{pen.Style, POINT{pen.Width, 0}, pen.Color};
    return ToHandle(::CreatePenIndirect(&request));
}

ObjectHandle Win32Gdi::CreateBrushIndirect(const LogBrush& brush) {
    const LOGBRUSH request{brush.Style, brush.Color, static_cast<ULONG_PTR>(brush.Hatch)};
    return ToHandle(::CreateBrushIndirect(&request));
}

ObjectHandle Win32Gdi::CreateFontIndirect(const LogFont& font) {
    LOGFONTW request{};
    request.lfHeight = font.Height;
    request.lfWidth = font.Width;
    request.lfWeight = font.Weight;
    request.lfItalic = font.Italic ? TRUE : FALSE;
    request.lfUnderline = font.Underline ? TRUE : FALSE;
    request.lfStrikeOut = font.StrikeOut ? TRUE : FALSE;
    // Every text of the program is Japanese; a request that leaves the
    // character set open asks for Shift-JIS, so that the font mapper of a
    // Windows without the requested face still picks a Japanese one.
    request.lfCharSet = font.CharSet == DEFAULT_CHARSET ? SHIFTJIS_CHARSET : font.CharSet;
    request.lfOutPrecision = OUT_DEFAULT_PRECIS;
    request.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    request.lfQuality = DEFAULT_QUALITY;
    request.lfPitchAndFamily = font.PitchAndFamily;
    FaceNameToWide(font.FaceName, request.lfFaceName);
    return ToHandle(::CreateFontIndirectW(&request));
}

ObjectHandle Win32Gdi::SelectObject(DcHandle dc, ObjectHandle object) {
    const HGDIOBJ previous = ::SelectObject(Dc(dc), Object(object));
    return previous == HGDI_ERROR ? 0 : ToHandle(previous);
}

bool Win32Gdi::DeleteObject(ObjectHandle object) { return ::DeleteObject(Object(object)) != FALSE; }

bool Win32Gdi::UnrealizeObject(ObjectHandle object) {
    return ::UnrealizeObject(Object(object)) != FALSE;
}

ObjectHandle Win32Gdi::CreatePalette(const PaletteEntry* entries, std::uint32_t count) {
    // A LOGPALETTE counts its entries in 16 bits.
    if (count > 0xFFFF || (entries == nullptr && count > 0)) return 0;
    std::vector<unsigned char> storage(offsetof(LOGPALETTE, palPalEntry) +
                                       std::max<std::size_t>(count, 1) * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(count);
    for (std::uint32_t i = 0; i < count; ++i) palette->palPalEntry[i] = ToWin(entries[i]);
    return ToHandle(::CreatePalette(palette));
}

bool Win32Gdi::GetPaletteEntryCount(ObjectHandle palette, std::uint16_t& count) {
    if (::GetObjectType(Object(palette)) != OBJ_PAL) return false;
    WORD entries = 0;
    if (::GetObjectW(Object(palette), sizeof entries, &entries) == 0) return false;
    count = entries;
    return true;
}

std::uint32_t Win32Gdi::GetPaletteEntries(ObjectHandle palette, std::uint32_t start,
                                          std::uint32_t count, PaletteEntry* entries) {
    const auto handle = reinterpret_cast<HPALETTE>(palette);
    // Without a buffer the answer is the palette's size, as GetPaletteEntries gives it.
    if (entries == nullptr) return ::GetPaletteEntries(handle, start, count, nullptr);
    PALETTEENTRY chunk[256];
    std::uint32_t copied = 0;
    while (copied < count) {
        const UINT asked = std::min<std::uint32_t>(count - copied, 256);
        const UINT got = ::GetPaletteEntries(handle, start + copied, asked, chunk);
        for (UINT i = 0; i < got; ++i)
            entries[copied + i] = PaletteEntry{chunk[i].peRed, chunk[i].peGreen, chunk[i].peBlue,
                                               chunk[i].peFlags};
        copied += got;
        if (got < asked) break;
    }
    return copied;
}

ObjectHandle Win32Gdi::SelectPalette(DcHandle dc, ObjectHandle palette, bool forceBackground) {
    return ToHandle(::SelectPalette(Dc(dc), reinterpret_cast<HPALETTE>(palette),
                                    forceBackground ? TRUE : FALSE));
}

std::uint32_t Win32Gdi::RealizePalette(DcHandle dc) { return ::RealizePalette(Dc(dc)); }

ColorRef Win32Gdi::SetPixel(DcHandle dc, std::int32_t x, std::int32_t y, ColorRef color) {
    return ::SetPixel(Dc(dc), x, y, color);
}

ColorRef Win32Gdi::GetPixel(DcHandle dc, std::int32_t x, std::int32_t y) {
    return ::GetPixel(Dc(dc), x, y);
}

bool Win32Gdi::BitBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height, DcHandle source, std::int32_t sourceX,
                      std::int32_t sourceY, std::uint32_t rop) {
    return ::BitBlt(Dc(dest), x, y, width, height, Dc(source), sourceX, sourceY, rop) != FALSE;
}

bool Win32Gdi::StretchBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                          std::int32_t height, DcHandle source, std::int32_t sourceX,
                          std::int32_t sourceY, std::int32_t sourceWidth,
                          std::int32_t sourceHeight, std::uint32_t rop) {
    return ::StretchBlt(Dc(dest), x, y, width, height, Dc(source), sourceX, sourceY, sourceWidth,
                        sourceHeight, rop) != FALSE;
}

bool Win32Gdi::PatBlt(DcHandle dc, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height, std::uint32_t rop) {
    return ::PatBlt(Dc(dc), x, y, width, height, rop) != FALSE;
}

int Win32Gdi::FillRect(DcHandle dc, const Rect& rect, ObjectHandle brush) {
    const RECT area = ToRect(rect);
    return ::FillRect(Dc(dc), &area, reinterpret_cast<HBRUSH>(brush));
}

bool Win32Gdi::MoveToEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) {
    POINT before{};
    if (::MoveToEx(Dc(dc), x, y, &before) == FALSE) return false;
    if (previous != nullptr) *previous = Point{before.x, before.y};
    return true;
}

bool Win32Gdi::LineTo(DcHandle dc, std::int32_t x, std::int32_t y) {
    return ::LineTo(Dc(dc), x, y) != FALSE;
}

bool Win32Gdi::GetCurrentPositionEx(DcHandle dc, Point* position) {
    POINT at{};
    if (position == nullptr || ::GetCurrentPositionEx(Dc(dc), &at) == FALSE) return false;
    *position = Point{at.x, at.y};
    return true;
}

ColorRef Win32Gdi::SetBkColor(DcHandle dc, ColorRef color) { return ::SetBkColor(Dc(dc), color); }

ColorRef Win32Gdi::SetTextColor(DcHandle dc, ColorRef color) {
    return ::SetTextColor(Dc(dc), color);
}

int Win32Gdi::SetBkMode(DcHandle dc, int mode) { return ::SetBkMode(Dc(dc), mode); }

int Win32Gdi::SetROP2(DcHandle dc, int mode) { return ::SetROP2(Dc(dc), mode); }

int Win32Gdi::SetStretchBltMode(DcHandle dc, int mode) { return ::SetStretchBltMode(Dc(dc), mode); }

bool Win32Gdi::SetViewportOrgEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) {
    POINT before{};
    if (::SetViewportOrgEx(Dc(dc), x, y, &before) == FALSE) return false;
    if (previous != nullptr) *previous = Point{before.x, before.y};
    return true;
}

int Win32Gdi::IntersectClipRect(DcHandle dc, std::int32_t left, std::int32_t top,
                                std::int32_t right, std::int32_t bottom) {
    return ::IntersectClipRect(Dc(dc), left, top, right, bottom);
}

PixelAccess Win32Gdi::PixelAccessOf(ObjectHandle bitmap) {
    return bitmap != 0 && ::GetObjectType(Object(bitmap)) == OBJ_BITMAP
               ? PixelAccess::SystemGdi
               : PixelAccess::Unknown;
}

ColorRef Win32Gdi::GetSysColor(int index) { return ::GetSysColor(index); }

int Win32Gdi::GetDeviceCaps(DcHandle dc, int index) { return ::GetDeviceCaps(Dc(dc), index); }

bool Win32Gdi::GetTextExtentPoint(DcHandle dc, const char* text, int length, Size* size) {
    if (size == nullptr) return false;
    const WideText wide(text, length);
    if (!wide.Valid()) return false;
    SIZE extent{};
    if (::GetTextExtentPoint32W(Dc(dc), wide.Data(), wide.Length(), &extent) == FALSE) return false;
    *size = Size{extent.cx, extent.cy};
    return true;
}

bool Win32Gdi::GetTextMetrics(DcHandle dc, TextMetrics* metrics) {
    TEXTMETRICW tm{};
    if (metrics == nullptr || ::GetTextMetricsW(Dc(dc), &tm) == FALSE) return false;
    metrics->Height = tm.tmHeight;
    metrics->Ascent = tm.tmAscent;
    metrics->Descent = tm.tmDescent;
    metrics->InternalLeading = tm.tmInternalLeading;
    metrics->ExternalLeading = tm.tmExternalLeading;
    metrics->AveCharWidth = tm.tmAveCharWidth;
    metrics->MaxCharWidth = tm.tmMaxCharWidth;
    return true;
}

bool Win32Gdi::ExtTextOut(DcHandle dc, std::int32_t x, std::int32_t y, std::uint32_t options,
                          const Rect* rect, const char* text, int length) {
    const WideText wide(text, length);
    if (!wide.Valid()) return false;
    RECT area{};
    if (rect != nullptr) area = ToRect(*rect);
    return ::ExtTextOutW(Dc(dc), x, y, options, rect != nullptr ? &area : nullptr, wide.Data(),
                         static_cast<UINT>(wide.Length()), nullptr) != FALSE;
}

bool Win32Gdi::DrawFocusRect(DcHandle dc, const Rect& rect) {
    const RECT area = ToRect(rect);
    return ::DrawFocusRect(Dc(dc), &area) != FALSE;
}

}  // namespace qmk::platform::win32
