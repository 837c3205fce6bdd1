// An in-memory graphics backend for tests and benchmarks. Surfaces are
// plain pixel arrays (24 bits, or 16 bits in 5-6-5 layout, or 1 bit for
// monochrome bitmaps); every call is appended to a preallocated log of
// compact records (call id and integer arguments) that tests render as text
// such as "SetPixel(dc1,3,4,0x00FF0000)". Handles encode their kind and a
// serial number, so a lookup is an index and the log names read "dc1",
// "bmp2", "pen1", "stock7". Nothing on the pixel and copy paths allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Gdi.h"

namespace qmk::platform {

// A pixel array. Colours are held as 0x00BBGGRR already reduced to the
// surface's depth, so a read gives what a device bitmap of that format
// would give back.
class RecordingSurface {
public:
    RecordingSurface(std::int32_t width, std::int32_t height, int bitsPerPixel,
                     ColorRef fill = 0);

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    int BitsPerPixel() const { return bits_; }
    bool Contains(std::int32_t x, std::int32_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }
    // InvalidColor outside the surface.
    ColorRef Pixel(std::int32_t x, std::int32_t y) const {
        return Contains(x, y) ? pixels_[Index(x, y)] : InvalidColor;
    }
    // Stores the colour as this depth holds it; outside the surface nothing.
    void Put(std::int32_t x, std::int32_t y, ColorRef color) {
        if (Contains(x, y)) pixels_[Index(x, y)] = Reduce(color);
    }
    void Fill(ColorRef color);
    void FillRect(const Rect& rect, ColorRef color);
    // The colour as this depth stores it: 5-6-5 keeps the top bits of each
    // component (shifted back up, the low bits zero); 1 bit is black or white.
    ColorRef Reduce(ColorRef color) const;

private:
    std::size_t Index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    std::int32_t width_;
    std::int32_t height_;
    int bits_;
    std::vector<ColorRef> pixels_;
};

class RecordingGdi : public Gdi {
public:
    enum class Call : std::uint8_t {
        GetDC, ReleaseDC, CreateCompatibleDC, DeleteDC, CreateCompatibleBitmap, CreateBitmap,
        GetStockObject, CreatePenIndirect, CreateBrushIndirect, CreateFontIndirect,
        SelectObject, DeleteObject, UnrealizeObject, CreatePalette, GetPaletteEntryCount,
        GetPaletteEntries, SelectPalette, RealizePalette, SetPixel, GetPixel, BitBlt,
        StretchBlt, PatBlt, FillRect, MoveToEx, LineTo, GetCurrentPositionEx, SetBkColor,
        SetTextColor, SetBkMode, SetROP2, SetStretchBltMode, SetViewportOrgEx,
        IntersectClipRect, GetSysColor, GetDeviceCaps, GetTextExtentPoint, GetTextMetrics,
        ExtTextOut, DrawFocusRect,
        Count
    };
    static constexpr int MaxArgs = 11;

    struct CallRecord {
        Call Id = Call::Count;
        std::int64_t Args[MaxArgs] = {};
    };

    // What a device context holds, for assertions.
    enum class DcKind : std::uint8_t { Memory, Window, Screen };
    struct DcInfo {
        bool Alive = false;
        DcKind Kind = DcKind::Memory;
        WindowHandle Window = 0;
        ObjectHandle Bitmap = 0, Pen = 0, Brush = 0, Font = 0, Palette = 0;
        ColorRef BkColor = 0x00FFFFFF;
        ColorRef TextColor = 0;
        int BkMode = Opaque;
        int Rop2 = r2::CopyPen;
        int StretchMode = 1;  // BLACKONWHITE
        Point Origin;
        Rect Clip;  // device coordinates
        Point Position;
    };

    explicit RecordingGdi(int bitsPerPixel = 24, std::int32_t screenWidth = 1024,
                          std::int32_t screenHeight = 768);
    ~RecordingGdi() override;

    // --- Set-up for tests -------------------------------------------------
    // Registers a window whose client area GetDC draws into.
    RecordingSurface& AddWindow(WindowHandle window, std::int32_t width, std::int32_t height,
                                ColorRef fill = 0);
    RecordingSurface* WindowSurface(WindowHandle window);
    RecordingSurface& ScreenSurface() { return *screen_; }
    // The pixels of a live device bitmap, or null.
    RecordingSurface* BitmapSurface(ObjectHandle bitmap);
    DcInfo Dc(DcHandle dc) const;
    void SetSysColor(int index, ColorRef color);
    void SetLogPixels(int perInch) { logPixels_ = perInch; }
    void SetRasterCaps(int caps) { rasterCaps_ = caps; }
    // After `after` calls of the kind that succeed, the next `times` fail:
    // handles come back 0 and nothing changes. They are still logged.
    // Creation calls, GetDC, SelectObject and GetPaletteEntryCount can fail.
    void FailNext(Call call, int times = 1, int after = 0) {
        failures_[static_cast<int>(call)] = times;
        failureDelays_[static_cast<int>(call)] = after;
    }
    // Device contexts and non-stock objects that exist now (leak checks).
    int LiveDcCount() const;
    int LiveObjectCount() const;

    // --- The log ----------------------------------------------------------
    void SetLogging(bool on) { logging_ = on; }
    bool Logging() const { return logging_; }
    void ClearLog();
    std::size_t LogSize() const { return logSize_; }
    const CallRecord& LogEntry(std::size_t index) const { return log_[index]; }
    // True when records were dropped because the log was full.
    bool LogOverflowed() const { return overflowed_; }
    std::string Describe(std::size_t index) const;
    std::vector<std::string> Calls() const;
    // Only the calls with this name, e.g. "SetPixel".
    std::vector<std::string> Calls(Call only) const;
    static const char* CallName(Call call);
    static std::string HandleName(Handle handle);

    // --- platform::Gdi ----------------------------------------------------
    DcHandle GetDC(WindowHandle window) override;
    int ReleaseDC(WindowHandle window, DcHandle dc) override;
    DcHandle CreateCompatibleDC(DcHandle dc) override;
    bool DeleteDC(DcHandle dc) override;
    ObjectHandle CreateCompatibleBitmap(DcHandle dc, std::int32_t width,
                                        std::int32_t height) override;
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
    std::uint32_t GetPaletteEntries(ObjectHandle palette, std::uint32_t start,
                                    std::uint32_t count, PaletteEntry* entries) override;
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

    // Handle kinds (top byte of a handle).
    enum Kind : std::uint8_t { KindDc = 1, KindBitmap, KindPen, KindBrush, KindFont, KindPalette,
                               KindStock };
    // The bitmap a fresh memory context holds (1 x 1, monochrome).
    static constexpr int DefaultBitmapId = 21;

private:
    struct DcRecord;
    struct BitmapRecord;
    struct ObjectRecord;

    template <class... A>
    void Log(Call call, A... args) {
        if (!logging_) return;
        if (logSize_ == log_.size()) {
            overflowed_ = true;
            return;
        }
        CallRecord& record = log_[logSize_++];
        record.Id = call;
        std::int64_t values[] = {static_cast<std::int64_t>(args)..., 0};
        for (std::size_t i = 0; i < sizeof...(A); ++i) record.Args[i] = values[i];
    }
    // Appends text to the log's text arena; returns its offset.
    std::int64_t LogText(const char* text, int length);
    bool Failing(Call call) {
        int& left = failures_[static_cast<int>(call)];
        if (left == 0) return false;
        int& delay = failureDelays_[static_cast<int>(call)];
        if (delay > 0) {
            --delay;
            return false;
        }
        --left;
        return true;
    }

    DcRecord* FindDc(DcHandle dc);
    const DcRecord* FindDc(DcHandle dc) const;
    BitmapRecord* FindBitmap(ObjectHandle bitmap);
    ObjectRecord* FindObject(ObjectHandle object, Kind kind);
    DcHandle NewDc(DcKind kind, WindowHandle window, RecordingSurface* surface);
    void ReleaseSelections(DcRecord& dc);
    void AdjustSelectCount(ObjectHandle object, int delta);
    Kind KindOfObject(ObjectHandle object) const;
    // Effective colours of pens and brushes, stock ones included.
    bool PenOf(ObjectHandle pen, LogPen& out);
    bool BrushOf(ObjectHandle brush, LogBrush& out);
    std::int32_t FontHeight(const DcRecord& dc);
    Rect DrawArea(const DcRecord& dc) const;  // clip ∩ surface, device coordinates
    void FillDevice(DcRecord& dc, Rect rect, ColorRef color);  // logical rect
    void PutMixed(DcRecord& dc, std::int32_t x, std::int32_t y, ColorRef pen);
    bool Transfer(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, DcHandle source, std::int32_t sourceX,
                  std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight,
                  std::uint32_t rop);

    int screenBits_;
    std::unique_ptr<RecordingSurface> screen_;
    std::unique_ptr<RecordingSurface> defaultBitmap_;
    std::vector<std::pair<WindowHandle, std::unique_ptr<RecordingSurface>>> windows_;
    std::vector<std::unique_ptr<DcRecord>> dcs_;
    std::vector<std::unique_ptr<BitmapRecord>> bitmaps_;
    std::vector<std::unique_ptr<ObjectRecord>> objects_[KindPalette + 1];
    std::array<ColorRef, syscolor::Count> sysColors_;
    int logPixels_ = 96;
    int rasterCaps_ = caps::RcStretchDib;
    std::array<int, static_cast<int>(Call::Count)> failures_{};
    std::array<int, static_cast<int>(Call::Count)> failureDelays_{};

    bool logging_ = true;
    bool overflowed_ = false;
    std::vector<CallRecord> log_;
    std::size_t logSize_ = 0;
    std::string logText_;
};

}  // namespace qmk::platform
