// The graphics half of the platform seam on X11. Device bitmaps are
// server-side pixmaps at the screen's depth; a device context is a GC (plus
// an XftDraw once text is drawn) on a pixmap or on a window, and block
// transfers, fills and text are requests to the server; the program never
// holds a copy of an image. Where the connection allows it, a device
// bitmap's pixmap lives in memory shared with the server and single pixels
// are read and written there in place (X11SharedPixmap.h); elsewhere each
// pixel operation is a request. Handles are pointers to the records below.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_set>

#include "platform/Gdi.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Fonts.h"

namespace qmk::platform::x11 {

class X11Gdi final : public Gdi {
public:
    // A WindowHandle given to GetDC is an X window id (X11User's handles).
    explicit X11Gdi(X11Display& display);
    ~X11Gdi() override;
    X11Gdi(const X11Gdi&) = delete;
    X11Gdi& operator=(const X11Gdi&) = delete;

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

    // The family fontconfig chose for a font handle ("" for none), so a
    // caller can tell which substitute shows the Japanese faces.
    std::string FontFamily(ObjectHandle font);
    // The server pixmap behind a bitmap handle (0 for none), for code that
    // hands a picture to X directly, and for tests that read it back.
    Pixmap PixmapOf(ObjectHandle bitmap) const;

    struct ObjectRecord;
    struct BitmapRecord;
    struct PenRecord;
    struct BrushRecord;
    struct FontRecord;
    struct PaletteRecord;
    struct DcRecord;

private:
    enum StockId : int {
        StockWhiteBrush,
        StockLtGrayBrush,
        StockGrayBrush,
        StockDkGrayBrush,
        StockBlackBrush,
        StockHollowBrush,
        StockWhitePen,
        StockBlackPen,
        StockNullPen,
        StockUnused9,
        StockOemFixedFont,
        StockAnsiFixedFont,
        StockAnsiVarFont,
        StockSystemFont,
        StockDeviceDefaultFont,
        StockDefaultPalette,
        StockSystemFixedFont,
        StockDefaultGuiFont,
        StockCount
    };

    DcRecord* NewDc(int kind, Window window, Drawable target, int depth, std::int32_t width,
                    std::int32_t height);
    void FreeDc(DcRecord* dc);
    // Frees a record that NewDc made but that was never handed out.
    void DiscardNewDc(DcRecord* dc);
    // 0 when the server cannot make it.
    Pixmap NewPixmap(std::int32_t width, std::int32_t height, int depth);
    void FreeObject(ObjectRecord* object);
    bool IsLiveDc(DcHandle dc) const;
    ObjectRecord* LiveObject(ObjectHandle object) const;
    void MakeGc(DcRecord& dc);
    void ApplyClip(DcRecord& dc);
    void ApplyForeground(DcRecord& dc, unsigned long pixel);
    void ApplyFunction(DcRecord& dc, int function);
    int FormatOf(int depth) const;
    unsigned long PixelOf(const DcRecord& dc, ColorRef color) const;
    ColorRef ColorOf(const DcRecord& dc, unsigned long pixel) const;
    X11Font* FontOf(DcRecord& dc);
    XftDraw* XftOf(DcRecord& dc);
    void FillDevice(DcRecord& dc, int x, int y, int width, int height, unsigned long pixel,
                    int function);
    bool StretchSlow(DcRecord& dest, int x, int y, int width, int height, DcRecord& source,
                     int sourceX, int sourceY, int sourceWidth, int sourceHeight, int function);
    bool CopyPlane(DcRecord& dest, int x, int y, int width, int height, DcRecord& source,
                   int sourceX, int sourceY, int function);
    ColorRef ReadWindowPixel(DcRecord& dc, int x, int y);
    // The context's drawable, for a request that draws into it or copies
    // from it: a shared bitmap then waits for the server before its next
    // in-place pixel access.
    Drawable Requested(DcRecord& dc);

    X11Display& display_;
    Display* dpy_;
    bool rgb888_ = false;
    bool sharedPixmaps_ = false;  // whether this connection can have them
    std::array<std::unique_ptr<ObjectRecord>, StockCount> stock_;
    std::unique_ptr<BitmapRecord> stockBitmap_;  // what a new memory context holds
    Pixmap focusStipple_ = 0;                    // 2 x 2 checkerboard of focus rectangles
    std::unordered_set<DcRecord*> dcs_;
    std::unordered_set<ObjectRecord*> objects_;
    TextCache texts_;
    XftColorCache colors_;
};

}  // namespace qmk::platform::x11
