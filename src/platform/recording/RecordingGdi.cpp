#include "platform/recording/RecordingGdi.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/SystemColors.h"
#include "platform/recording/RecordingHandles.h"
#include "runtime/Cp932.h"

namespace qmk::platform {

using recording::KindOf;
using recording::MakeHandle;
using recording::SerialOf;

namespace {

constexpr std::size_t LogCapacity = 1u << 16;
constexpr Rect Unclipped{INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2};

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
           std::min(a.Bottom, b.Bottom)};
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return r;
}

bool IsEmpty(const Rect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

// The two-operand mix of a pen colour with what is there (R2 codes 1..16):
// the code minus one is the truth table over (pen bit, destination bit).
ColorRef Mix(int rop2, ColorRef pen, ColorRef dest) {
    const unsigned table = static_cast<unsigned>(rop2 - 1) & 0xF;
    ColorRef result = 0;
    if (table & 1) result |= ~pen & ~dest;
    if (table & 2) result |= ~pen & dest;
    if (table & 4) result |= pen & ~dest;
    if (table & 8) result |= pen & dest;
    return result & 0x00FFFFFF;
}

}  // namespace

// ---------------------------------------------------------------------------
// Surfaces

RecordingSurface::RecordingSurface(std::int32_t width, std::int32_t height, int bitsPerPixel,
                                   ColorRef fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), bits_(bitsPerPixel),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {
    Fill(fill);
}

ColorRef RecordingSurface::Reduce(ColorRef color) const {
    color &= 0x00FFFFFF;
    if (bits_ == 16) return color & 0x00F8FCF8u;
    if (bits_ == 1) {
        const unsigned sum = (color & 0xFF) + ((color >> 8) & 0xFF) + ((color >> 16) & 0xFF);
        return sum >= 384 ? 0x00FFFFFFu : 0;
    }
    return color;
}

void RecordingSurface::Fill(ColorRef color) { std::fill(pixels_.begin(), pixels_.end(), Reduce(color)); }

void RecordingSurface::FillRect(const Rect& rect, ColorRef color) {
    const Rect r = Intersect(rect, Rect{0, 0, width_, height_});
    const ColorRef value = Reduce(color);
    for (std::int32_t y = r.Top; y < r.Bottom; ++y)
        for (std::int32_t x = r.Left; x < r.Right; ++x) pixels_[Index(x, y)] = value;
}

// ---------------------------------------------------------------------------
// Records

struct RecordingGdi::DcRecord {
    DcInfo Info;
    RecordingSurface* Surface = nullptr;
};

struct RecordingGdi::BitmapRecord {
    bool Alive = true;
    std::unique_ptr<RecordingSurface> Surface;
    DcHandle SelectedIn = 0;
};

struct RecordingGdi::ObjectRecord {
    bool Alive = true;
    int SelectCount = 0;
    LogPen Pen;
    LogBrush Brush;
    LogFont Font;
    std::vector<PaletteEntry> Entries;
};

RecordingGdi::RecordingGdi(int bitsPerPixel, std::int32_t screenWidth, std::int32_t screenHeight)
    : screenBits_(bitsPerPixel),
      screen_(std::make_unique<RecordingSurface>(screenWidth, screenHeight, bitsPerPixel)),
      defaultBitmap_(std::make_unique<RecordingSurface>(1, 1, 1, 0x00FFFFFF)),
      log_(LogCapacity) {
    std::copy(ClassicSystemColors.begin(), ClassicSystemColors.end(), sysColors_.begin());
    logText_.reserve(1u << 16);
    // Serial 0 is never handed out, so no handle is 0.
    dcs_.emplace_back();
    bitmaps_.emplace_back();
    for (auto& list : objects_) list.emplace_back();
}

RecordingGdi::~RecordingGdi() = default;

RecordingSurface& RecordingGdi::AddWindow(WindowHandle window, std::int32_t width,
                                          std::int32_t height, ColorRef fill) {
    auto surface = std::make_unique<RecordingSurface>(width, height, screenBits_, fill);
    RecordingSurface& result = *surface;
    for (auto& entry : windows_) {
        if (entry.first == window) {
            entry.second = std::move(surface);
            return result;
        }
    }
    windows_.emplace_back(window, std::move(surface));
    return result;
}

RecordingSurface* RecordingGdi::WindowSurface(WindowHandle window) {
    for (auto& entry : windows_)
        if (entry.first == window) return entry.second.get();
    return nullptr;
}

RecordingSurface* RecordingGdi::BitmapSurface(ObjectHandle bitmap) {
    if (KindOf(bitmap) == KindStock && SerialOf(bitmap) == DefaultBitmapId)
        return defaultBitmap_.get();
    BitmapRecord* record = FindBitmap(bitmap);
    return record != nullptr ? record->Surface.get() : nullptr;
}

RecordingGdi::DcInfo RecordingGdi::Dc(DcHandle dc) const {
    const DcRecord* record = FindDc(dc);
    return record != nullptr ? record->Info : DcInfo{};
}

void RecordingGdi::SetSysColor(int index, ColorRef color) {
    if (index >= 0 && index < syscolor::Count) sysColors_[static_cast<std::size_t>(index)] = color;
}

int RecordingGdi::LiveDcCount() const {
    int count = 0;
    for (const auto& dc : dcs_)
        if (dc && dc->Info.Alive) ++count;
    return count;
}

int RecordingGdi::LiveObjectCount() const {
    int count = 0;
    for (const auto& bitmap : bitmaps_)
        if (bitmap && bitmap->Alive) ++count;
    for (const auto& list : objects_)
        for (const auto& object : list)
            if (object && object->Alive) ++count;
    return count;
}

// ---------------------------------------------------------------------------
// Log

void RecordingGdi::ClearLog() {
    logSize_ = 0;
    overflowed_ = false;
    logText_.clear();
}

std::int64_t RecordingGdi::LogText(const char* text, int length) {
    const auto offset = static_cast<std::int64_t>(logText_.size());
    if (logging_ && text != nullptr && length > 0) logText_.append(text, static_cast<std::size_t>(length));
    return offset;
}

// ---------------------------------------------------------------------------
// Lookups

RecordingGdi::DcRecord* RecordingGdi::FindDc(DcHandle dc) {
    if (KindOf(dc) != KindDc) return nullptr;
    const std::size_t serial = SerialOf(dc);
    if (serial == 0 || serial >= dcs_.size()) return nullptr;
    DcRecord* record = dcs_[serial].get();
    return record->Info.Alive ? record : nullptr;
}

const RecordingGdi::DcRecord* RecordingGdi::FindDc(DcHandle dc) const {
    return const_cast<RecordingGdi*>(this)->FindDc(dc);
}

RecordingGdi::BitmapRecord* RecordingGdi::FindBitmap(ObjectHandle bitmap) {
    if (KindOf(bitmap) != KindBitmap) return nullptr;
    const std::size_t serial = SerialOf(bitmap);
    if (serial == 0 || serial >= bitmaps_.size()) return nullptr;
    BitmapRecord* record = bitmaps_[serial].get();
    return record->Alive ? record : nullptr;
}

RecordingGdi::ObjectRecord* RecordingGdi::FindObject(ObjectHandle object, Kind kind) {
    if (KindOf(object) != kind || kind < KindPen || kind > KindPalette) return nullptr;
    auto& list = objects_[kind];
    const std::size_t serial = SerialOf(object);
    if (serial == 0 || serial >= list.size()) return nullptr;
    ObjectRecord* record = list[serial].get();
    return record->Alive ? record : nullptr;
}

RecordingGdi::Kind RecordingGdi::KindOfObject(ObjectHandle object) const {
    const std::uint8_t kind = KindOf(object);
    if (kind != KindStock) return static_cast<Kind>(kind);
    switch (SerialOf(object)) {
    case stock::WhiteBrush: case 1: case 2: case 3: case stock::BlackBrush: case stock::HollowBrush:
        return KindBrush;
    case stock::WhitePen: case stock::BlackPen: case stock::NullPen:
        return KindPen;
    case stock::DefaultPalette:
        return KindPalette;
    case DefaultBitmapId:
        return KindBitmap;
    default:
        return KindFont;
    }
}

bool RecordingGdi::PenOf(ObjectHandle pen, LogPen& out) {
    if (KindOf(pen) == KindStock) {
        switch (SerialOf(pen)) {
        case stock::WhitePen: out = LogPen{ps::Solid, 1, 0x00FFFFFF}; return true;
        case stock::BlackPen: out = LogPen{ps::Solid, 1, 0}; return true;
        case stock::NullPen: out = LogPen{ps::Null, 1, 0}; return true;
        default: return false;
        }
    }
    const ObjectRecord* record = FindObject(pen, KindPen);
    if (record == nullptr) return false;
    out = record->Pen;
    return true;
}

bool RecordingGdi::BrushOf(ObjectHandle brush, LogBrush& out) {
    if (KindOf(brush) == KindStock) {
        static constexpr ColorRef Greys[] = {0x00FFFFFF, 0x00C0C0C0, 0x00808080, 0x00404040, 0};
        const std::size_t id = SerialOf(brush);
        if (id <= stock::BlackBrush) { out = LogBrush{bs::Solid, Greys[id], 0}; return true; }
        if (id == stock::HollowBrush) { out = LogBrush{bs::Null, 0, 0}; return true; }
        return false;
    }
    const ObjectRecord* record = FindObject(brush, KindBrush);
    if (record == nullptr) return false;
    out = record->Brush;
    return true;
}

std::int32_t RecordingGdi::FontHeight(const DcRecord& dc) {
    if (KindOf(dc.Info.Font) == KindStock) return 16;
    const ObjectRecord* record = FindObject(dc.Info.Font, KindFont);
    if (record == nullptr || record->Font.Height == 0) return 12;
    return record->Font.Height < 0 ? -record->Font.Height : record->Font.Height;
}

DcHandle RecordingGdi::NewDc(DcKind kind, WindowHandle window, RecordingSurface* surface) {
    auto record = std::make_unique<DcRecord>();
    record->Info.Alive = true;
    record->Info.Kind = kind;
    record->Info.Window = window;
    record->Info.Bitmap = kind == DcKind::Memory ? MakeHandle(KindStock, DefaultBitmapId) : 0;
    record->Info.Pen = MakeHandle(KindStock, stock::BlackPen);
    record->Info.Brush = MakeHandle(KindStock, stock::WhiteBrush);
    record->Info.Font = MakeHandle(KindStock, stock::SystemFont);
    record->Info.Palette = MakeHandle(KindStock, stock::DefaultPalette);
    record->Info.Clip = Unclipped;
    record->Surface = surface;
    dcs_.push_back(std::move(record));
    return MakeHandle(KindDc, dcs_.size() - 1);
}

void RecordingGdi::AdjustSelectCount(ObjectHandle object, int delta) {
    const Kind kind = static_cast<Kind>(KindOf(object));
    if (kind >= KindPen && kind <= KindPalette) {
        if (ObjectRecord* record = FindObject(object, kind)) record->SelectCount += delta;
    }
}

void RecordingGdi::ReleaseSelections(DcRecord& dc) {
    if (BitmapRecord* bitmap = FindBitmap(dc.Info.Bitmap)) bitmap->SelectedIn = 0;
    AdjustSelectCount(dc.Info.Pen, -1);
    AdjustSelectCount(dc.Info.Brush, -1);
    AdjustSelectCount(dc.Info.Font, -1);
    AdjustSelectCount(dc.Info.Palette, -1);
    dc.Info.Alive = false;
    dc.Surface = nullptr;
}

Rect RecordingGdi::DrawArea(const DcRecord& dc) const {
    if (dc.Surface == nullptr) return Rect{};
    return Intersect(dc.Info.Clip, Rect{0, 0, dc.Surface->Width(), dc.Surface->Height()});
}

void RecordingGdi::FillDevice(DcRecord& dc, Rect rect, ColorRef color) {
    rect.Left += dc.Info.Origin.X;
    rect.Right += dc.Info.Origin.X;
    rect.Top += dc.Info.Origin.Y;
    rect.Bottom += dc.Info.Origin.Y;
    dc.Surface->FillRect(Intersect(rect, DrawArea(dc)), color);
}

void RecordingGdi::PutMixed(DcRecord& dc, std::int32_t x, std::int32_t y, ColorRef pen) {
    const std::int32_t dx = x + dc.Info.Origin.X;
    const std::int32_t dy = y + dc.Info.Origin.Y;
    const Rect area = DrawArea(dc);
    if (dx < area.Left || dy < area.Top || dx >= area.Right || dy >= area.Bottom) return;
    dc.Surface->Put(dx, dy, Mix(dc.Info.Rop2, pen, dc.Surface->Pixel(dx, dy)));
}

// ---------------------------------------------------------------------------
// Device contexts

DcHandle RecordingGdi::GetDC(WindowHandle window) {
    Log(Call::GetDC, window);
    if (Failing(Call::GetDC)) return 0;
    if (window == 0) return NewDc(DcKind::Screen, 0, screen_.get());
    RecordingSurface* surface = WindowSurface(window);
    return surface != nullptr ? NewDc(DcKind::Window, window, surface) : 0;
}

int RecordingGdi::ReleaseDC(WindowHandle window, DcHandle dc) {
    Log(Call::ReleaseDC, window, dc);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || record->Info.Kind == DcKind::Memory || record->Info.Window != window)
        return 0;
    ReleaseSelections(*record);
    return 1;
}

DcHandle RecordingGdi::CreateCompatibleDC(DcHandle dc) {
    Log(Call::CreateCompatibleDC, dc);
    if (Failing(Call::CreateCompatibleDC)) return 0;
    if (dc != 0 && FindDc(dc) == nullptr) return 0;
    return NewDc(DcKind::Memory, 0, defaultBitmap_.get());
}

bool RecordingGdi::DeleteDC(DcHandle dc) {
    Log(Call::DeleteDC, dc);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || record->Info.Kind != DcKind::Memory) return false;
    ReleaseSelections(*record);
    return true;
}

// ---------------------------------------------------------------------------
// Objects

ObjectHandle RecordingGdi::CreateCompatibleBitmap(DcHandle dc, std::int32_t width,
                                                  std::int32_t height) {
    Log(Call::CreateCompatibleBitmap, dc, width, height);
    if (Failing(Call::CreateCompatibleBitmap)) return 0;
    const DcRecord* record = FindDc(dc);
    if (record == nullptr || width < 0 || height < 0) return 0;
    // As on the classic platform, an empty request gets the 1 x 1 monochrome
    // stock bitmap, and a memory context compatible with nothing yet
    // (still holding that bitmap) makes monochrome bitmaps.
    if (width == 0 || height == 0) return MakeHandle(KindStock, DefaultBitmapId);
    const int bits = record->Info.Kind == DcKind::Memory ? record->Surface->BitsPerPixel() : screenBits_;
    auto bitmap = std::make_unique<BitmapRecord>();
    bitmap->Surface = std::make_unique<RecordingSurface>(width, height, bits);
    bitmaps_.push_back(std::move(bitmap));
    return MakeHandle(KindBitmap, bitmaps_.size() - 1);
}

ObjectHandle RecordingGdi::CreateBitmap(std::int32_t width, std::int32_t height,
                                        std::uint32_t planes, std::uint32_t bitsPerPixel,
                                        const void* bits) {
    Log(Call::CreateBitmap, width, height, planes, bitsPerPixel);
    if (Failing(Call::CreateBitmap)) return 0;
    if (width < 0 || height < 0 || planes != 1) return 0;
    if (bitsPerPixel != 1 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return 0;
    if (width == 0 || height == 0) return MakeHandle(KindStock, DefaultBitmapId);
    auto bitmap = std::make_unique<BitmapRecord>();
    bitmap->Surface = std::make_unique<RecordingSurface>(
        width, height, bitsPerPixel == 32 ? 24 : static_cast<int>(bitsPerPixel));
    if (bits != nullptr && bitsPerPixel == 1) {
        // Word-aligned rows, most significant bit first; a set bit is white.
        const auto* bytes = static_cast<const std::uint8_t*>(bits);
        const std::int32_t stride = ((width + 15) / 16) * 2;
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < width; ++x)
                if (bytes[y * stride + x / 8] & (0x80 >> (x % 8)))
                    bitmap->Surface->Put(x, y, 0x00FFFFFF);
    }
    bitmaps_.push_back(std::move(bitmap));
    return MakeHandle(KindBitmap, bitmaps_.size() - 1);
}

ObjectHandle RecordingGdi::GetStockObject(int id) {
    Log(Call::GetStockObject, id);
    const bool known = (id >= 0 && id <= stock::NullPen) || (id >= 10 && id <= 17);
    return known ? MakeHandle(KindStock, static_cast<std::size_t>(id)) : 0;
}

ObjectHandle RecordingGdi::CreatePenIndirect(const LogPen& pen) {
    Log(Call::CreatePenIndirect, pen.Style, pen.Width, pen.Color);
    if (Failing(Call::CreatePenIndirect)) return 0;
    auto record = std::make_unique<ObjectRecord>();
    record->Pen = pen;
    objects_[KindPen].push_back(std::move(record));
    return MakeHandle(KindPen, objects_[KindPen].size() - 1);
}

ObjectHandle RecordingGdi::CreateBrushIndirect(const LogBrush& brush) {
    Log(Call::CreateBrushIndirect, brush.Style, brush.Color, brush.Hatch);
    if (Failing(Call::CreateBrushIndirect)) return 0;
    auto record = std::make_unique<ObjectRecord>();
    record->Brush = brush;
    objects_[KindBrush].push_back(std::move(record));
    return MakeHandle(KindBrush, objects_[KindBrush].size() - 1);
}

ObjectHandle RecordingGdi::CreateFontIndirect(const LogFont& font) {
    const int faceLength = static_cast<int>(strnlen(font.FaceName, sizeof font.FaceName));
    Log(Call::CreateFontIndirect, font.Height, font.Width, font.Weight, font.Italic ? 1 : 0,
        font.Underline ? 1 : 0, font.StrikeOut ? 1 : 0, font.CharSet, font.PitchAndFamily,
        LogText(font.FaceName, faceLength), faceLength);
    if (Failing(Call::CreateFontIndirect)) return 0;
    auto record = std::make_unique<ObjectRecord>();
    record->Font = font;
    objects_[KindFont].push_back(std::move(record));
    return MakeHandle(KindFont, objects_[KindFont].size() - 1);
}

ObjectHandle RecordingGdi::SelectObject(DcHandle dc, ObjectHandle object) {
    Log(Call::SelectObject, dc, object);
    if (Failing(Call::SelectObject)) return 0;
    DcRecord* record = FindDc(dc);
    if (record == nullptr || object == 0) return 0;
    const Kind kind = KindOfObject(object);
    const bool stockObject = KindOf(object) == KindStock;
    ObjectHandle* slot = nullptr;
    switch (kind) {
    case KindBitmap: {
        // Only a memory context holds a bitmap, and a bitmap is held by at
        // most one context at a time.
        if (record->Info.Kind != DcKind::Memory) return 0;
        RecordingSurface* surface = nullptr;
        BitmapRecord* bitmap = nullptr;
        if (stockObject) {
            surface = defaultBitmap_.get();
        } else {
            bitmap = FindBitmap(object);
            if (bitmap == nullptr || (bitmap->SelectedIn != 0 && bitmap->SelectedIn != dc)) return 0;
            surface = bitmap->Surface.get();
        }
        const ObjectHandle previous = record->Info.Bitmap;
        if (BitmapRecord* old = FindBitmap(previous)) old->SelectedIn = 0;
        if (bitmap != nullptr) bitmap->SelectedIn = dc;
        record->Info.Bitmap = object;
        record->Surface = surface;
        return previous;
    }
    case KindPen:
        slot = &record->Info.Pen;
        break;
    case KindBrush:
        slot = &record->Info.Brush;
        break;
    case KindFont:
        slot = &record->Info.Font;
        break;
    default:
        return 0;  // palettes go through SelectPalette
    }
    if (!stockObject && FindObject(object, kind) == nullptr) return 0;
    const ObjectHandle previous = *slot;
    AdjustSelectCount(previous, -1);
    AdjustSelectCount(object, +1);
    *slot = object;
    return previous;
}

bool RecordingGdi::DeleteObject(ObjectHandle object) {
    Log(Call::DeleteObject, object);
    if (KindOf(object) == KindStock) return true;
    if (BitmapRecord* bitmap = FindBitmap(object)) {
        // A bitmap still selected into a context is not deleted.
        if (bitmap->SelectedIn != 0) return false;
        bitmap->Alive = false;
        bitmap->Surface.reset();
        return true;
    }
    const Kind kind = static_cast<Kind>(KindOf(object));
    ObjectRecord* record = FindObject(object, kind);
    if (record == nullptr || record->SelectCount > 0) return false;
    record->Alive = false;
    record->Entries.clear();
    return true;
}

bool RecordingGdi::UnrealizeObject(ObjectHandle object) {
    Log(Call::UnrealizeObject, object);
    return object != 0;
}

// ---------------------------------------------------------------------------
// Palettes

ObjectHandle RecordingGdi::CreatePalette(const PaletteEntry* entries, std::uint32_t count) {
    Log(Call::CreatePalette, count);
    if (Failing(Call::CreatePalette) || count == 0 || entries == nullptr) return 0;
    auto record = std::make_unique<ObjectRecord>();
    record->Entries.assign(entries, entries + count);
    objects_[KindPalette].push_back(std::move(record));
    return MakeHandle(KindPalette, objects_[KindPalette].size() - 1);
}

bool RecordingGdi::GetPaletteEntryCount(ObjectHandle palette, std::uint16_t& count) {
    Log(Call::GetPaletteEntryCount, palette);
    if (Failing(Call::GetPaletteEntryCount)) return false;
    if (KindOf(palette) == KindStock && SerialOf(palette) == stock::DefaultPalette) {
        count = 20;
        return true;
    }
    const ObjectRecord* record = FindObject(palette, KindPalette);
    if (record == nullptr) return false;
    count = static_cast<std::uint16_t>(record->Entries.size());
    return true;
}

std::uint32_t RecordingGdi::GetPaletteEntries(ObjectHandle palette, std::uint32_t start,
                                              std::uint32_t count, PaletteEntry* entries) {
    Log(Call::GetPaletteEntries, palette, start, count);
    const ObjectRecord* record = FindObject(palette, KindPalette);
    if (record == nullptr || entries == nullptr || start >= record->Entries.size()) return 0;
    const auto available = static_cast<std::uint32_t>(record->Entries.size()) - start;
    const std::uint32_t copied = std::min(count, available);
    std::copy_n(record->Entries.begin() + start, copied, entries);
    return copied;
}

ObjectHandle RecordingGdi::SelectPalette(DcHandle dc, ObjectHandle palette, bool forceBackground) {
    Log(Call::SelectPalette, dc, palette, forceBackground ? 1 : 0);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || KindOfObject(palette) != KindPalette) return 0;
    if (KindOf(palette) != KindStock && FindObject(palette, KindPalette) == nullptr) return 0;
    const ObjectHandle previous = record->Info.Palette;
    AdjustSelectCount(previous, -1);
    AdjustSelectCount(palette, +1);
    record->Info.Palette = palette;
    return previous;
}

std::uint32_t RecordingGdi::RealizePalette(DcHandle dc) {
    Log(Call::RealizePalette, dc);
    return 0;
}

// ---------------------------------------------------------------------------
// Pixels and transfers

ColorRef RecordingGdi::SetPixel(DcHandle dc, std::int32_t x, std::int32_t y, ColorRef color) {
    Log(Call::SetPixel, dc, x, y, color);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return InvalidColor;
    const std::int32_t dx = x + record->Info.Origin.X;
    const std::int32_t dy = y + record->Info.Origin.Y;
    const Rect& clip = record->Info.Clip;
    if (dx < clip.Left || dy < clip.Top || dx >= clip.Right || dy >= clip.Bottom ||
        !record->Surface->Contains(dx, dy))
        return InvalidColor;
    record->Surface->Put(dx, dy, color);
    return record->Surface->Pixel(dx, dy);
}

ColorRef RecordingGdi::GetPixel(DcHandle dc, std::int32_t x, std::int32_t y) {
    Log(Call::GetPixel, dc, x, y);
    const DcRecord* record = FindDc(dc);
    if (record == nullptr) return InvalidColor;
    const std::int32_t dx = x + record->Info.Origin.X;
    const std::int32_t dy = y + record->Info.Origin.Y;
    const Rect& clip = record->Info.Clip;
    if (dx < clip.Left || dy < clip.Top || dx >= clip.Right || dy >= clip.Bottom)
        return InvalidColor;
    return record->Surface->Pixel(dx, dy);
}

bool RecordingGdi::Transfer(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, DcHandle source, std::int32_t sourceX,
                            std::int32_t sourceY, std::int32_t sourceWidth,
                            std::int32_t sourceHeight, std::uint32_t rop) {
    DcRecord* to = FindDc(dest);
    if (to == nullptr || width <= 0 || height <= 0) return false;
    const DcRecord* from = nullptr;
    ColorRef constant = 0;
    switch (rop) {
    case rop::SrcCopy:
        from = FindDc(source);
        if (from == nullptr || sourceWidth <= 0 || sourceHeight <= 0) return false;
        break;
    case rop::Whiteness:
        constant = 0x00FFFFFF;
        break;
    case rop::Blackness:
        constant = 0;
        break;
    case rop::PatCopy: {
        LogBrush brush;
        if (!BrushOf(to->Info.Brush, brush)) return false;
        if (brush.Style == bs::Null) return true;
        constant = brush.Color;
        break;
    }
    default:
        return false;
    }
    const std::int32_t left = x + to->Info.Origin.X;
    const std::int32_t top = y + to->Info.Origin.Y;
    const Rect area = DrawArea(*to);
    const std::int32_t i0 = std::max(0, area.Left - left);
    const std::int32_t i1 = std::min(width, area.Right - left);
    const std::int32_t j0 = std::max(0, area.Top - top);
    const std::int32_t j1 = std::min(height, area.Bottom - top);
    RecordingSurface& target = *to->Surface;
    if (from == nullptr) {
        for (std::int32_t j = j0; j < j1; ++j)
            for (std::int32_t i = i0; i < i1; ++i) target.Put(left + i, top + j, constant);
        return true;
    }
    const RecordingSurface& origin = *from->Surface;
    const bool monoSource = origin.BitsPerPixel() == 1 && target.BitsPerPixel() != 1;
    const bool monoTarget = target.BitsPerPixel() == 1 && origin.BitsPerPixel() != 1;
    const std::int32_t sx0 = sourceX + from->Info.Origin.X;
    const std::int32_t sy0 = sourceY + from->Info.Origin.Y;
    const bool plain = width == sourceWidth && height == sourceHeight;
    for (std::int32_t j = j0; j < j1; ++j) {
        const std::int32_t sy = sy0 + (plain ? j : static_cast<std::int32_t>(
                                                       static_cast<std::int64_t>(j) * sourceHeight / height));
        for (std::int32_t i = i0; i < i1; ++i) {
            const std::int32_t sx = sx0 + (plain ? i : static_cast<std::int32_t>(
                                                           static_cast<std::int64_t>(i) * sourceWidth / width));
            if (!origin.Contains(sx, sy)) continue;
            ColorRef color = origin.Pixel(sx, sy);
            // Monochrome meets colour through the text and background colours.
            if (monoSource) color = color != 0 ? to->Info.BkColor : to->Info.TextColor;
            if (monoTarget) color = color == (from->Info.BkColor & 0x00FFFFFF) ? 0x00FFFFFF : 0;
            target.Put(left + i, top + j, color);
        }
    }
    return true;
}

bool RecordingGdi::BitBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                          std::int32_t height, DcHandle source, std::int32_t sourceX,
                          std::int32_t sourceY, std::uint32_t rop) {
    Log(Call::BitBlt, dest, x, y, width, height, source, sourceX, sourceY, rop);
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

bool RecordingGdi::StretchBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t height, DcHandle source, std::int32_t sourceX,
                              std::int32_t sourceY, std::int32_t sourceWidth,
                              std::int32_t sourceHeight, std::uint32_t rop) {
    Log(Call::StretchBlt, dest, x, y, width, height, source, sourceX, sourceY, sourceWidth,
        sourceHeight, rop);
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight,
                    rop);
}

bool RecordingGdi::PatBlt(DcHandle dc, std::int32_t x, std::int32_t y, std::int32_t width,
                          std::int32_t height, std::uint32_t rop) {
    Log(Call::PatBlt, dc, x, y, width, height, rop);
    if (rop == rop::SrcCopy) return false;
    return Transfer(dc, x, y, width, height, 0, 0, 0, 0, 0, rop);
}

int RecordingGdi::FillRect(DcHandle dc, const Rect& rect, ObjectHandle brush) {
    Log(Call::FillRect, dc, rect.Left, rect.Top, rect.Right, rect.Bottom, brush);
    DcRecord* record = FindDc(dc);
    LogBrush fill;
    if (record == nullptr || !BrushOf(brush, fill)) return 0;
    if (fill.Style != bs::Null) FillDevice(*record, rect, fill.Color);
    return 1;
}

// ---------------------------------------------------------------------------
// Lines

bool RecordingGdi::MoveToEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) {
    Log(Call::MoveToEx, dc, x, y);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return false;
    if (previous != nullptr) *previous = record->Info.Position;
    record->Info.Position = Point{x, y};
    return true;
}

bool RecordingGdi::LineTo(DcHandle dc, std::int32_t x, std::int32_t y) {
    Log(Call::LineTo, dc, x, y);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return false;
    LogPen pen;
    const bool draw = PenOf(record->Info.Pen, pen) && pen.Style != ps::Null;
    std::int32_t cx = record->Info.Position.X;
    std::int32_t cy = record->Info.Position.Y;
    // Bresenham, the end point excluded.
    const std::int32_t dx = std::abs(x - cx), sx = cx < x ? 1 : -1;
    const std::int32_t dy = -std::abs(y - cy), sy = cy < y ? 1 : -1;
    std::int32_t error = dx + dy;
    while (draw && (cx != x || cy != y)) {
        PutMixed(*record, cx, cy, pen.Color);
        const std::int32_t twice = 2 * error;
        if (twice >= dy) { error += dy; cx += sx; }
        if (twice <= dx) { error += dx; cy += sy; }
    }
    record->Info.Position = Point{x, y};
    return true;
}

bool RecordingGdi::GetCurrentPositionEx(DcHandle dc, Point* position) {
    Log(Call::GetCurrentPositionEx, dc);
    const DcRecord* record = FindDc(dc);
    if (record == nullptr) return false;
    if (position != nullptr) *position = record->Info.Position;
    return true;
}

// ---------------------------------------------------------------------------
// Attributes

ColorRef RecordingGdi::SetBkColor(DcHandle dc, ColorRef color) {
    Log(Call::SetBkColor, dc, color);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return InvalidColor;
    return std::exchange(record->Info.BkColor, color);
}

ColorRef RecordingGdi::SetTextColor(DcHandle dc, ColorRef color) {
    Log(Call::SetTextColor, dc, color);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return InvalidColor;
    return std::exchange(record->Info.TextColor, color);
}

int RecordingGdi::SetBkMode(DcHandle dc, int mode) {
    Log(Call::SetBkMode, dc, mode);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || (mode != Transparent && mode != Opaque)) return 0;
    return std::exchange(record->Info.BkMode, mode);
}

int RecordingGdi::SetROP2(DcHandle dc, int mode) {
    Log(Call::SetROP2, dc, mode);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || mode < r2::Black || mode > r2::White) return 0;
    return std::exchange(record->Info.Rop2, mode);
}

int RecordingGdi::SetStretchBltMode(DcHandle dc, int mode) {
    Log(Call::SetStretchBltMode, dc, mode);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || mode < 1 || mode > 4) return 0;
    return std::exchange(record->Info.StretchMode, mode);
}

bool RecordingGdi::SetViewportOrgEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) {
    Log(Call::SetViewportOrgEx, dc, x, y);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return false;
    if (previous != nullptr) *previous = record->Info.Origin;
    record->Info.Origin = Point{x, y};
    return true;
}

int RecordingGdi::IntersectClipRect(DcHandle dc, std::int32_t left, std::int32_t top,
                                    std::int32_t right, std::int32_t bottom) {
    Log(Call::IntersectClipRect, dc, left, top, right, bottom);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return RegionError;
    const Point origin = record->Info.Origin;
    record->Info.Clip = Intersect(record->Info.Clip, Rect{left + origin.X, top + origin.Y,
                                                          right + origin.X, bottom + origin.Y});
    return IsEmpty(DrawArea(*record)) ? NullRegion : SimpleRegion;
}

// ---------------------------------------------------------------------------
// Queries

// A question for the runner's records, not a drawing call: not logged.
PixelAccess RecordingGdi::PixelAccessOf(ObjectHandle bitmap) {
    return FindBitmap(bitmap) != nullptr ? PixelAccess::InMemory : PixelAccess::Unknown;
}

ColorRef RecordingGdi::GetSysColor(int index) {
    Log(Call::GetSysColor, index);
    return index >= 0 && index < syscolor::Count ? sysColors_[static_cast<std::size_t>(index)] : 0;
}

int RecordingGdi::GetDeviceCaps(DcHandle dc, int index) {
    Log(Call::GetDeviceCaps, dc, index);
    if (FindDc(dc) == nullptr) return 0;
    switch (index) {
    case caps::HorzRes: return screen_->Width();
    case caps::VertRes: return screen_->Height();
    case caps::BitsPixel: return screenBits_;
    case caps::Planes: return 1;
    case caps::RasterCaps: return rasterCaps_;
    case caps::LogPixelsX:
    case caps::LogPixelsY: return logPixels_;
    case caps::SizePalette: return 0;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// Text: a fixed-metric font. A single-byte character is half the character
// height wide, a double-byte one the full height; a glyph is drawn as a
// solid block inset by one pixel, which is enough to see where text went.

bool RecordingGdi::GetTextExtentPoint(DcHandle dc, const char* text, int length, Size* size) {
    Log(Call::GetTextExtentPoint, dc, LogText(text, length), length);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || size == nullptr || length < 0) return false;
    const std::int32_t height = FontHeight(*record);
    std::int32_t width = 0;
    for (int i = 0; i < length; ++i) {
        if (IsDbcsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length) {
            width += height;
            ++i;
        } else {
            width += (height + 1) / 2;
        }
    }
    *size = Size{width, height};
    return true;
}

bool RecordingGdi::GetTextMetrics(DcHandle dc, TextMetrics* metrics) {
    Log(Call::GetTextMetrics, dc);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || metrics == nullptr) return false;
    const std::int32_t height = FontHeight(*record);
    metrics->Height = height;
    metrics->Descent = height / 6;
    metrics->Ascent = height - metrics->Descent;
    metrics->InternalLeading = 0;
    metrics->ExternalLeading = 0;
    metrics->AveCharWidth = (height + 1) / 2;
    metrics->MaxCharWidth = height;
    return true;
}

bool RecordingGdi::ExtTextOut(DcHandle dc, std::int32_t x, std::int32_t y, std::uint32_t options,
                              const Rect* rect, const char* text, int length) {
    Log(Call::ExtTextOut, dc, x, y, options, rect != nullptr ? 1 : 0,
        rect != nullptr ? rect->Left : 0, rect != nullptr ? rect->Top : 0,
        rect != nullptr ? rect->Right : 0, rect != nullptr ? rect->Bottom : 0,
        LogText(text, length), length);
    DcRecord* record = FindDc(dc);
    if (record == nullptr || length < 0) return false;
    if (rect != nullptr && (options & eto::Opaque)) FillDevice(*record, *rect, record->Info.BkColor);
    const std::int32_t height = FontHeight(*record);
    const Rect limit = rect != nullptr && (options & eto::Clipped) ? *rect : Unclipped;
    std::int32_t cx = x;
    for (int i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::int32_t width = (height + 1) / 2;
        if (IsDbcsLeadByte(c) && i + 1 < length) {
            width = height;
            ++i;
        }
        if (record->Info.BkMode == Opaque && !(options & eto::Opaque))
            FillDevice(*record, Intersect(Rect{cx, y, cx + width, y + height}, limit),
                       record->Info.BkColor);
        if (c != ' ')
            FillDevice(*record, Intersect(Rect{cx + 1, y + 1, cx + width - 1, y + height - 1}, limit),
                       record->Info.TextColor);
        cx += width;
    }
    return true;
}

bool RecordingGdi::DrawFocusRect(DcHandle dc, const Rect& rect) {
    Log(Call::DrawFocusRect, dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
    DcRecord* record = FindDc(dc);
    if (record == nullptr) return false;
    const int saved = std::exchange(record->Info.Rop2, r2::Not);
    for (std::int32_t x = rect.Left; x < rect.Right; ++x) {
        if ((x + rect.Top) % 2 == 0) PutMixed(*record, x, rect.Top, 0);
        if ((x + rect.Bottom - 1) % 2 == 0 && rect.Bottom - 1 > rect.Top)
            PutMixed(*record, x, rect.Bottom - 1, 0);
    }
    for (std::int32_t y = rect.Top + 1; y < rect.Bottom - 1; ++y) {
        if ((rect.Left + y) % 2 == 0) PutMixed(*record, rect.Left, y, 0);
        if ((rect.Right - 1 + y) % 2 == 0 && rect.Right - 1 > rect.Left)
            PutMixed(*record, rect.Right - 1, y, 0);
    }
    record->Info.Rop2 = saved;
    return true;
}

}  // namespace qmk::platform
