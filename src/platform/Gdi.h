// The graphics half of the platform seam: device contexts, device bitmaps,
// drawing objects, pixels, block transfers and text output. One method per
// platform call, with the classic semantics; the drawing layer's call
// sequences are measured, so a backend does exactly what a call says and
// nothing more (no hidden flushes, no per-call allocation on the pixel and
// copy paths).
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace qmk::platform {

// How SetPixel and GetPixel reach a device bitmap's pixels. Scores made
// one way are not comparable with scores made another, so the runner
// records it.
enum class PixelAccess {
    Unknown,       // not a live bitmap, or the backend does not say
    SharedMemory,  // in place, in memory the display server shares
    Protocol,      // one request to the display server per pixel
    SystemGdi,     // the system's graphics interface, one call per pixel
    InMemory,      // a backend of the program's own, in its memory
};
// "shared-memory", "protocol", "gdi", "in-memory", "unknown".
const char* PixelAccessName(PixelAccess access);

class Gdi {
public:
    virtual ~Gdi() = default;

    // Device contexts. GetDC(0) is the whole screen.
    virtual DcHandle GetDC(WindowHandle window) = 0;
    virtual int ReleaseDC(WindowHandle window, DcHandle dc) = 0;
    virtual DcHandle CreateCompatibleDC(DcHandle dc) = 0;
    virtual bool DeleteDC(DcHandle dc) = 0;

    // Objects.
    virtual ObjectHandle CreateCompatibleBitmap(DcHandle dc, std::int32_t width,
                                                std::int32_t height) = 0;
    virtual ObjectHandle CreateBitmap(std::int32_t width, std::int32_t height, std::uint32_t planes,
                                      std::uint32_t bitsPerPixel, const void* bits) = 0;
    virtual ObjectHandle GetStockObject(int id) = 0;
    virtual ObjectHandle CreatePenIndirect(const LogPen& pen) = 0;
    virtual ObjectHandle CreateBrushIndirect(const LogBrush& brush) = 0;
    virtual ObjectHandle CreateFontIndirect(const LogFont& font) = 0;
    // Returns the object of the same kind that was selected before, or 0.
    virtual ObjectHandle SelectObject(DcHandle dc, ObjectHandle object) = 0;
    virtual bool DeleteObject(ObjectHandle object) = 0;
    virtual bool UnrealizeObject(ObjectHandle object) = 0;

    // Palettes. GetPaletteEntryCount stands for GetObject(palette, 4 bytes):
    // it returns false when the query fails.
    virtual ObjectHandle CreatePalette(const PaletteEntry* entries, std::uint32_t count) = 0;
    virtual bool GetPaletteEntryCount(ObjectHandle palette, std::uint16_t& count) = 0;
    virtual std::uint32_t GetPaletteEntries(ObjectHandle palette, std::uint32_t start,
                                            std::uint32_t count, PaletteEntry* entries) = 0;
    virtual ObjectHandle SelectPalette(DcHandle dc, ObjectHandle palette, bool forceBackground) = 0;
    virtual std::uint32_t RealizePalette(DcHandle dc) = 0;

    // Pixels and transfers.
    virtual ColorRef SetPixel(DcHandle dc, std::int32_t x, std::int32_t y, ColorRef color) = 0;
    virtual ColorRef GetPixel(DcHandle dc, std::int32_t x, std::int32_t y) = 0;
    virtual bool BitBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, DcHandle source, std::int32_t sourceX,
                        std::int32_t sourceY, std::uint32_t rop) = 0;
    virtual bool StretchBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, DcHandle source, std::int32_t sourceX,
                            std::int32_t sourceY, std::int32_t sourceWidth,
                            std::int32_t sourceHeight, std::uint32_t rop) = 0;
    virtual bool PatBlt(DcHandle dc, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, std::uint32_t rop) = 0;
    virtual int FillRect(DcHandle dc, const Rect& rect, ObjectHandle brush) = 0;

    // Lines with the selected pen, from the current position.
    virtual bool MoveToEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) = 0;
    virtual bool LineTo(DcHandle dc, std::int32_t x, std::int32_t y) = 0;
    virtual bool GetCurrentPositionEx(DcHandle dc, Point* position) = 0;

    // Attributes of a device context. Each returns the previous value.
    virtual ColorRef SetBkColor(DcHandle dc, ColorRef color) = 0;
    virtual ColorRef SetTextColor(DcHandle dc, ColorRef color) = 0;
    virtual int SetBkMode(DcHandle dc, int mode) = 0;
    virtual int SetROP2(DcHandle dc, int mode) = 0;
    virtual int SetStretchBltMode(DcHandle dc, int mode) = 0;
    virtual bool SetViewportOrgEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) = 0;
    virtual int IntersectClipRect(DcHandle dc, std::int32_t left, std::int32_t top,
                                  std::int32_t right, std::int32_t bottom) = 0;

    // Queries.
    virtual PixelAccess PixelAccessOf(ObjectHandle /*bitmap*/) { return PixelAccess::Unknown; }
    virtual ColorRef GetSysColor(int index) = 0;
    virtual int GetDeviceCaps(DcHandle dc, int index) = 0;

    // Text in the selected font; texts are code page 932 bytes.
    virtual bool GetTextExtentPoint(DcHandle dc, const char* text, int length, Size* size) = 0;
    virtual bool GetTextMetrics(DcHandle dc, TextMetrics* metrics) = 0;
    // Draws the text with its cell's top-left at (x, y); with eto::Opaque
    // the rectangle is first filled with the background colour, with
    // eto::Clipped the text is cut at the rectangle.
    virtual bool ExtTextOut(DcHandle dc, std::int32_t x, std::int32_t y, std::uint32_t options,
                            const Rect* rect, const char* text, int length) = 0;
    // The dotted focus rectangle, drawn by inverting.
    virtual bool DrawFocusRect(DcHandle dc, const Rect& rect) = 0;
};

}  // namespace qmk::platform
