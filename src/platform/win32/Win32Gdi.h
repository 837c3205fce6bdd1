// The graphics half of the platform seam on Windows: each call is the GDI
// call of the same name, on the GDI handles themselves (a handle of the
// seam is the HDC, HBITMAP, HPEN, ... cast to an integer, a WindowHandle is
// an HWND), so the measured pixel and copy paths cost one GDI call each and
// nothing more. Texts and face names arrive in code page 932 and go to the
// W functions converted.
#pragma once

#include "platform/Gdi.h"

namespace qmk::platform::win32 {

class Win32Gdi final : public Gdi {
public:
    Win32Gdi() = default;
    Win32Gdi(const Win32Gdi&) = delete;
    Win32Gdi& operator=(const Win32Gdi&) = delete;

    DcHandle GetDC(WindowHandle window) override;
    int ReleaseDC(WindowHandle window, DcHandle dc) override;
    DcHandle CreateCompatibleDC(DcHandle dc) override;
    bool DeleteDC(DcHandle dc) override;

    ObjectHandle CreateCompatibleBitmap(DcHandle dc, std::int32_t width, std::int32_t height) override;
    ObjectHandle CreateBitmap(std::int32_t width, std::int32_t height, std::uint32_t planes,
                              std::uint32_t bitsPerPixel, const void* bits) override;
    ObjectHandle GetStockObject(int id) override;
    ObjectHandle CreatePenIndirect(const LogPen& pen) override;
    ObjectHandle CreateBrushIndirect(const LogBrush& brush) override;
    ObjectHandle CreateFontIndirect(const LogFont& font) override;
    ObjectHandle SelectObject(DcHandle dc, ObjectHandle object) override;
    bool DeleteObject(ObjectHandle object) override;
    bool UnrealizeObject(ObjectHandle object) override;

    ObjectHandle CreatePalette(const PaletteEntry* entries, std::uint32_t count) override;
    bool GetPaletteEntryCount(ObjectHandle palette, std::uint16_t& count) override;
    std::uint32_t GetPaletteEntries(ObjectHandle palette, std::uint32_t start, std::uint32_t count,
                                    PaletteEntry* entries) override;
    ObjectHandle SelectPalette(DcHandle dc, ObjectHandle palette, bool forceBackground) override;
    std::uint32_t RealizePalette(DcHandle dc) override;

    ColorRef SetPixel(DcHandle dc, std::int32_t x, std::int32_t y, ColorRef color) override;
    ColorRef GetPixel(DcHandle dc, std::int32_t x, std::int32_t y) override;
    bool BitBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, DcHandle source, std::int32_t sourceX, std::int32_t sourceY,
                std::uint32_t rop) override;
    bool StretchBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                    std::int32_t height, DcHandle source, std::int32_t sourceX,
                    std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight,
                    std::uint32_t rop) override;
    bool PatBlt(DcHandle dc, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, std::uint32_t rop) override;
    int FillRect(DcHandle dc, const Rect& rect, ObjectHandle brush) override;

    bool MoveToEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) override;
    bool LineTo(DcHandle dc, std::int32_t x, std::int32_t y) override;
    bool GetCurrentPositionEx(DcHandle dc, Point* position) override;

    ColorRef SetBkColor(DcHandle dc, ColorRef color) override;
    ColorRef SetTextColor(DcHandle dc, ColorRef color) override;
    int SetBkMode(DcHandle dc, int mode) override;
    int SetROP2(DcHandle dc, int mode) override;
    int SetStretchBltMode(DcHandle dc, int mode) override;
    bool SetViewportOrgEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) override;
    int IntersectClipRect(DcHandle dc, std::int32_t left, std::int32_t top, std::int32_t right,
                          std::int32_t bottom) override;

    PixelAccess PixelAccessOf(ObjectHandle bitmap) override;
    ColorRef GetSysColor(int index) override;
    int GetDeviceCaps(DcHandle dc, int index) override;

    bool GetTextExtentPoint(DcHandle dc, const char* text, int length, Size* size) override;
    bool GetTextMetrics(DcHandle dc, TextMetrics* metrics) override;
    bool ExtTextOut(DcHandle dc, std::int32_t x, std::int32_t y, std::uint32_t options,
                    const Rect* rect, const char* text, int length) override;
    bool DrawFocusRect(DcHandle dc, const Rect& rect) override;
};

}  // namespace qmk::platform::win32
