#include "platform/x11/X11Gdi.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include <X11/Xft/Xft.h>

#include "platform/SystemColors.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11SharedPixmap.h"
#include "runtime/ProgramTexts.h"

namespace qmk::platform::x11 {

namespace {

enum class Kind : std::uint8_t { Bitmap, Pen, Brush, Font, Palette };
enum DcKind : int { ScreenDc, WindowDc, MemoryDc };
// How colour values become pixels on a context's drawable.
enum PixelFormat : int { GenericFormat, MonoFormat, Rgb888Format };

constexpr const auto& SystemColors = ClassicSystemColors;

// RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_BIGFONT |
// RC_STRETCHBLT | RC_STRETCHDIB.
constexpr int RasterCapabilities = 0x0001 | 0x0008 | 0x0080 | 0x0200 | 0x0400 | 0x0800 |
                                   caps::RcStretchDib;

// The X protocol carries coordinates and sizes in 16 bits.
constexpr std::int32_t CoordinateMin = SHRT_MIN;
constexpr std::int32_t CoordinateMax = SHRT_MAX;
constexpr std::int32_t MaxBitmapSide = SHRT_MAX;

constexpr std::uint32_t RopDstInvert = 0x00550009u;
constexpr std::uint32_t RopPatInvert = 0x005A0049u;
constexpr std::uint32_t RopSrcPaint = 0x00EE0086u;
constexpr std::uint32_t RopSrcAnd = 0x008800C6u;
constexpr std::uint32_t RopSrcInvert = 0x00660046u;
constexpr std::uint32_t RopNotSrcCopy = 0x00330008u;
constexpr std::uint32_t RopSrcErase = 0x00440328u;
constexpr std::uint32_t RopNotSrcErase = 0x001100A6u;
constexpr std::uint32_t RopMergePaint = 0x00BB0226u;

// The mix modes are the sixteen boolean functions of pen and destination,
// as are the GC functions of source and destination.
constexpr int FunctionOfRop2[17] = {
    GXcopy,        // 0: not a mix mode
    GXclear,       // black
    GXnor,         // not (pen or dest)
    GXandInverted, // (not pen) and dest
    GXcopyInverted,// not pen
    GXandReverse,  // pen and (not dest)
    GXinvert,      // not dest
    GXxor,         // pen xor dest
    GXnand,        // not (pen and dest)
    GXand,         // pen and dest
    GXequiv,       // not (pen xor dest)
    GXnoop,        // dest
    GXorInverted,  // (not pen) or dest
    GXcopy,        // pen
    GXorReverse,   // pen or (not dest)
    GXor,          // pen or dest
    GXset,         // white
};

// GC function for the raster operations that combine only source and
// destination; -1 for the rest.
int FunctionOfSourceRop(std::uint32_t rop) {
    switch (rop) {
        case rop::SrcCopy: return GXcopy;
        case RopSrcPaint: return GXor;
        case RopSrcAnd: return GXand;
        case RopSrcInvert: return GXxor;
        case RopNotSrcCopy: return GXcopyInverted;
        case RopSrcErase: return GXandReverse;
        case RopNotSrcErase: return GXnor;
        case RopMergePaint: return GXorInverted;
        default: return -1;
    }
}

bool IsPatternRop(std::uint32_t rop) {
    return rop == rop::Whiteness || rop == rop::Blackness || rop == rop::PatCopy ||
           rop == RopDstInvert || rop == RopPatInvert;
}

std::int16_t ClampCoordinate(std::int64_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, CoordinateMin, CoordinateMax));
}

// Intersection of two half-open rectangles; empty ones come out with
// Right <= Left or Bottom <= Top.
Rect Intersect(const Rect& a, const Rect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

bool IsEmpty(const Rect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

XRectangle ToXRectangle(const Rect& r) {
    XRectangle x;
    x.x = ClampCoordinate(r.Left);
    x.y = ClampCoordinate(r.Top);
    x.width = static_cast<unsigned short>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(r.Right) - r.Left, 0, USHRT_MAX));
    x.height = static_cast<unsigned short>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(r.Bottom) - r.Top, 0, USHRT_MAX));
    return x;
}

}  // namespace

struct X11Gdi::ObjectRecord {
    explicit ObjectRecord(Kind kind) : ObjectKind(kind) {}
    virtual ~ObjectRecord() = default;
    Kind ObjectKind;
    bool Stock = false;
    int Selections = 0;  // device contexts that have it selected
};

struct X11Gdi::BitmapRecord : ObjectRecord {
    BitmapRecord() : ObjectRecord(Kind::Bitmap) {}
    Pixmap Id = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    int Depth = 0;
    // Set when the pixels are in shared memory (Id is then its pixmap).
    std::unique_ptr<SharedPixmap> Shared;
};

struct X11Gdi::PenRecord : ObjectRecord {
    explicit PenRecord(const LogPen& pen) : ObjectRecord(Kind::Pen), Pen(pen) {}
    LogPen Pen;
};

struct X11Gdi::BrushRecord : ObjectRecord {
    explicit BrushRecord(const LogBrush& brush) : ObjectRecord(Kind::Brush), Brush(brush) {}
    LogBrush Brush;
};

struct X11Gdi::FontRecord : ObjectRecord {
    explicit FontRecord(const LogFont& request) : ObjectRecord(Kind::Font), Request(request) {}
    LogFont Request;
    std::unique_ptr<X11Font> Font;  // stock fonts open on first use
};

struct X11Gdi::PaletteRecord : ObjectRecord {
    PaletteRecord() : ObjectRecord(Kind::Palette) {}
    std::vector<PaletteEntry> Entries;
};

struct X11Gdi::DcRecord {
    int DcKind = MemoryDc;
    Window WindowId = 0;  // the window given to GetDC
    Drawable Target = 0;
    int Depth = 0;
    int Format = GenericFormat;
    GC Gc = nullptr;
    int GcDepth = 0;
    XftDraw* Xft = nullptr;
    bool XftClipStale = true;

    BitmapRecord* Bitmap = nullptr;
    PenRecord* Pen = nullptr;
    BrushRecord* Brush = nullptr;
    FontRecord* Font = nullptr;
    PaletteRecord* Palette = nullptr;

    // What the GC holds, so a request is only made when a value changes.
    unsigned long Foreground = 0;
    int Function = GXcopy;
    const PenRecord* LinePen = nullptr;  // pen whose width and style the GC has

    ColorRef BkColor = 0x00FFFFFF;
    ColorRef TextColor = 0x00000000;
    int BkMode = Opaque;
    int Rop2 = r2::CopyPen;
    int StretchMode = 1;  // BLACKONWHITE
    Point Origin;
    Point Position;

    Rect Surface;  // the drawable, device coordinates
    bool Clipped = false;
    Rect Clip;  // device coordinates, when Clipped
    // Surface and clip together: pixels outside are neither written nor read.
    std::int32_t VisibleLeft = 0, VisibleTop = 0;
    std::uint32_t VisibleWidth = 0, VisibleHeight = 0;

    bool Inside(std::int32_t x, std::int32_t y) const {
        return static_cast<std::uint32_t>(x - VisibleLeft) < VisibleWidth &&
               static_cast<std::uint32_t>(y - VisibleTop) < VisibleHeight;
    }
    void UpdateVisible() {
        const Rect v = Clipped ? Intersect(Surface, Clip) : Surface;
        VisibleLeft = v.Left;
        VisibleTop = v.Top;
        VisibleWidth = IsEmpty(v) ? 0 : static_cast<std::uint32_t>(v.Right - v.Left);
        VisibleHeight = IsEmpty(v) ? 0 : static_cast<std::uint32_t>(v.Bottom - v.Top);
    }
};

namespace {

X11Gdi::DcRecord* AsDc(DcHandle dc) { return reinterpret_cast<X11Gdi::DcRecord*>(dc); }

template <typename T>
ObjectHandle AsHandle(T* record) {
    return reinterpret_cast<ObjectHandle>(static_cast<X11Gdi::ObjectRecord*>(record));
}

// One block copy in device coordinates, as the protocol takes it.
struct CopyArea {
    int SourceX = 0, SourceY = 0;
    unsigned Width = 0, Height = 0;
    int X = 0, Y = 0;
};

// The protocol carries positions in 16 bits, so a copy to (65536, 65536)
// would land at (0, 0). The copy is cut, in 64-bit arithmetic, to what the
// destination shows (its surface and clip) and what the source surface
// holds; what is left fits the protocol. False when nothing is left.
bool ClipCopy(const X11Gdi::DcRecord& d, const X11Gdi::DcRecord& s, std::int64_t x,
              std::int64_t y, std::int64_t width, std::int64_t height, std::int64_t sourceX,
              std::int64_t sourceY, CopyArea& area) {
    const std::int64_t visibleLeft = d.VisibleLeft, visibleTop = d.VisibleTop;
    const std::int64_t visibleRight = visibleLeft + d.VisibleWidth;
    const std::int64_t visibleBottom = visibleTop + d.VisibleHeight;
    const std::int64_t first = std::max<std::int64_t>(
        {0, visibleLeft - x, static_cast<std::int64_t>(s.Surface.Left) - sourceX});
    const std::int64_t last = std::min<std::int64_t>(
        {width, visibleRight - x, static_cast<std::int64_t>(s.Surface.Right) - sourceX});
    const std::int64_t top = std::max<std::int64_t>(
        {0, visibleTop - y, static_cast<std::int64_t>(s.Surface.Top) - sourceY});
    const std::int64_t bottom = std::min<std::int64_t>(
        {height, visibleBottom - y, static_cast<std::int64_t>(s.Surface.Bottom) - sourceY});
    if (last <= first || bottom <= top) return false;
    area.X = static_cast<int>(x + first);
    area.Y = static_cast<int>(y + top);
    area.SourceX = static_cast<int>(sourceX + first);
    area.SourceY = static_cast<int>(sourceY + top);
    area.Width = static_cast<unsigned>(last - first);
    area.Height = static_cast<unsigned>(bottom - top);
    return true;
}

LogFont StockFontRequest(bool fixed) {
    LogFont f;
    f.Height = -12;
    const std::string_view name = fixed ? texts::FixedGothic.Cp932 : texts::ProportionalGothic.Cp932;
    std::copy(name.begin(), name.end(), f.FaceName);
    f.PitchAndFamily = fixed ? 1 : 2;
    return f;
}

}  // namespace

X11Gdi::X11Gdi(X11Display& display)
    : display_(display), dpy_(display.Dpy()), colors_(display) {
    // The common 24-bit layout converts without the general channel code.
    const Visual* visual = display_.VisualOf();
    rgb888_ = display_.Depth() >= 24 && visual->red_mask == 0xFF0000 &&
              visual->green_mask == 0x00FF00 && visual->blue_mask == 0x0000FF;
    sharedPixmaps_ = SharedPixmapsPossible(dpy_, display_.VisualOf(), display_.Depth());
    auto brush = [](std::uint32_t style, ColorRef color) {
        LogBrush b;
        b.Style = style;
        b.Color = color;
        return std::make_unique<BrushRecord>(b);
    };
    auto pen = [](std::uint32_t style, ColorRef color) {
        LogPen p;
        p.Style = style;
        p.Width = 1;
        p.Color = color;
        return std::make_unique<PenRecord>(p);
    };
    stock_[StockWhiteBrush] = brush(bs::Solid, 0x00FFFFFF);
    stock_[StockLtGrayBrush] = brush(bs::Solid, 0x00C0C0C0);
    stock_[StockGrayBrush] = brush(bs::Solid, 0x00808080);
    stock_[StockDkGrayBrush] = brush(bs::Solid, 0x00404040);
    stock_[StockBlackBrush] = brush(bs::Solid, 0x00000000);
    stock_[StockHollowBrush] = brush(bs::Null, 0x00000000);
    stock_[StockWhitePen] = pen(ps::Solid, 0x00FFFFFF);
    stock_[StockBlackPen] = pen(ps::Solid, 0x00000000);
    stock_[StockNullPen] = pen(ps::Null, 0x00000000);
    for (int id : {StockOemFixedFont, StockAnsiFixedFont, StockSystemFixedFont})
        stock_[id] = std::make_unique<FontRecord>(StockFontRequest(true));
    for (int id : {StockAnsiVarFont, StockSystemFont, StockDeviceDefaultFont, StockDefaultGuiFont})
        stock_[id] = std::make_unique<FontRecord>(StockFontRequest(false));
    stock_[StockDefaultPalette] = std::make_unique<PaletteRecord>();
    for (auto& record : stock_)
        if (record) record->Stock = true;

    // A new memory context holds a 1 x 1 bitmap; at the screen's depth, so
    // the context's GC fits the bitmaps it will be given.
    stockBitmap_ = std::make_unique<BitmapRecord>();
    stockBitmap_->Stock = true;
    stockBitmap_->Id = XCreatePixmap(dpy_, display_.Root(), 1, 1,
                                     static_cast<unsigned>(display_.Depth()));
    stockBitmap_->Width = 1;
    stockBitmap_->Height = 1;
    stockBitmap_->Depth = display_.Depth();

    static const char checkerboard[] = {0x01, 0x02};
    focusStipple_ = XCreateBitmapFromData(dpy_, display_.Root(), checkerboard, 2, 2);
}

X11Gdi::~X11Gdi() {
    // Whatever callers left behind goes with the backend.
    while (!dcs_.empty()) FreeDc(*dcs_.begin());
    while (!objects_.empty()) {
        ObjectRecord* object = *objects_.begin();
        object->Selections = 0;
        FreeObject(object);
    }
    for (auto& record : stock_)
        if (record && record->ObjectKind == Kind::Font) static_cast<FontRecord&>(*record).Font.reset();
    XFreePixmap(dpy_, stockBitmap_->Id);
    XFreePixmap(dpy_, focusStipple_);
    XFlush(dpy_);
}

// ---------------------------------------------------------------------------
// Device contexts

X11Gdi::DcRecord* X11Gdi::NewDc(int kind, Window window, Drawable target, int depth,
                                std::int32_t width, std::int32_t height) {
    auto* dc = new DcRecord;
    dc->DcKind = kind;
    dc->WindowId = window;
    dc->Target = target;
    dc->Depth = depth;
    dc->Format = FormatOf(depth);
    dc->Surface = {0, 0, width, height};
    dc->UpdateVisible();
    dc->Pen = static_cast<PenRecord*>(stock_[StockBlackPen].get());
    dc->Brush = static_cast<BrushRecord*>(stock_[StockWhiteBrush].get());
    dc->Font = static_cast<FontRecord*>(stock_[StockSystemFont].get());
    dc->Palette = static_cast<PaletteRecord*>(stock_[StockDefaultPalette].get());
    MakeGc(*dc);
    dcs_.insert(dc);
    return dc;
}

void X11Gdi::MakeGc(DcRecord& dc) {
    if (dc.Gc != nullptr) XFreeGC(dpy_, dc.Gc);
    XGCValues values;
    values.graphics_exposures = False;  // copies would otherwise queue a NoExpose each
    values.subwindow_mode = dc.DcKind == ScreenDc ? IncludeInferiors : ClipByChildren;
    dc.Gc = XCreateGC(dpy_, dc.Target, GCGraphicsExposures | GCSubwindowMode, &values);
    dc.GcDepth = dc.Depth;
    dc.Foreground = 0;
    XSetForeground(dpy_, dc.Gc, 0);
    dc.Function = GXcopy;
    dc.LinePen = nullptr;
    if (dc.Clipped) ApplyClip(dc);
}

void X11Gdi::DiscardNewDc(DcRecord* dc) {
    if (dc->Gc != nullptr) XFreeGC(dpy_, dc->Gc);
    dcs_.erase(dc);
    delete dc;
}

void X11Gdi::FreeDc(DcRecord* dc) {
    if (dc->Bitmap != nullptr) --dc->Bitmap->Selections;
    --dc->Pen->Selections;
    --dc->Brush->Selections;
    --dc->Font->Selections;
    --dc->Palette->Selections;
    if (dc->Xft != nullptr) {
        if (dc->DcKind == WindowDc) {
            // The server frees a window's render picture with the window;
            // freeing it again for a window destroyed while this context
            // was out would be an error, so that one is caught here.
            ErrorTrap trap(dpy_);
            XftDrawDestroy(dc->Xft);
            XSync(dpy_, False);
        } else {
            XftDrawDestroy(dc->Xft);
        }
    }
    if (dc->Gc != nullptr) XFreeGC(dpy_, dc->Gc);
    dcs_.erase(dc);
    delete dc;
}

bool X11Gdi::IsLiveDc(DcHandle dc) const { return dc != 0 && dcs_.count(AsDc(dc)) != 0; }

DcHandle X11Gdi::GetDC(WindowHandle window) {
    DcRecord* dc = nullptr;
    if (window == 0) {
        dc = NewDc(ScreenDc, 0, display_.Root(), display_.Depth(), display_.ScreenWidth(),
                   display_.ScreenHeight());
    } else {
        // The GC is made before the geometry is asked, so the one round
        // trip of the question also brings any error of the GC's creation.
        ErrorTrap trap(dpy_);
        dc = NewDc(WindowDc, static_cast<Window>(window), static_cast<Window>(window),
                   display_.Depth(), 0, 0);
        Window root = 0;
        int x = 0, y = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        if (!XGetGeometry(dpy_, static_cast<Window>(window), &root, &x, &y, &width, &height,
                          &border, &depth) ||
            trap.Failed()) {
            DiscardNewDc(dc);
            trap.Sync();
            return 0;
        }
        dc->Depth = static_cast<int>(depth);
        dc->GcDepth = dc->Depth;
        dc->Format = FormatOf(dc->Depth);
        dc->Surface = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
        dc->UpdateVisible();
    }
    ++dc->Pen->Selections;
    ++dc->Brush->Selections;
    ++dc->Font->Selections;
    ++dc->Palette->Selections;
    return reinterpret_cast<DcHandle>(dc);
}

int X11Gdi::ReleaseDC(WindowHandle window, DcHandle dc) {
    if (!IsLiveDc(dc)) return 0;
    DcRecord* record = AsDc(dc);
    if (record->DcKind == MemoryDc || record->WindowId != static_cast<Window>(window)) return 0;
    FreeDc(record);
    return 1;
}

DcHandle X11Gdi::CreateCompatibleDC(DcHandle) {
    DcRecord* dc = nullptr;
    {
        // A server out of memory refuses the GC; the caller is told by a 0.
        ErrorTrap trap(dpy_);
        dc = NewDc(MemoryDc, 0, stockBitmap_->Id, stockBitmap_->Depth, 1, 1);
        if (trap.Sync()) {
            DiscardNewDc(dc);
            trap.Sync();
            return 0;
        }
    }
    dc->Bitmap = stockBitmap_.get();
    ++dc->Bitmap->Selections;
    ++dc->Pen->Selections;
    ++dc->Brush->Selections;
    ++dc->Font->Selections;
    ++dc->Palette->Selections;
    return reinterpret_cast<DcHandle>(dc);
}

bool X11Gdi::DeleteDC(DcHandle dc) {
    if (!IsLiveDc(dc) || AsDc(dc)->DcKind != MemoryDc) return false;
    FreeDc(AsDc(dc));
    return true;
}

// ---------------------------------------------------------------------------
// Objects

// The server makes a pixmap only when it has the memory for it; without
// the round trip a refused one would surface later as an error of some
// drawing request, and the caller would draw into nothing.
Pixmap X11Gdi::NewPixmap(std::int32_t width, std::int32_t height, int depth) {
    ErrorTrap trap(dpy_);
    const Pixmap pixmap = XCreatePixmap(dpy_, display_.Root(), static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), static_cast<unsigned>(depth));
    return trap.Sync() ? 0 : pixmap;
}

ObjectHandle X11Gdi::CreateCompatibleBitmap(DcHandle dc, std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0 || width > MaxBitmapSide || height > MaxBitmapSide) return 0;
    int depth = display_.Depth();
    if (dc != 0 && IsLiveDc(dc)) {
        const DcRecord& record = *AsDc(dc);
        depth = record.Bitmap != nullptr ? record.Bitmap->Depth : record.Depth;
    }
    // An empty request still gets a bitmap, of one pixel, as it always has.
    const std::int32_t w = std::max(width, 1), h = std::max(height, 1);
    auto bitmap = std::make_unique<BitmapRecord>();
    if (sharedPixmaps_ && depth == display_.Depth()) {
        bitmap->Shared = SharedPixmap::Create(dpy_, display_.Root(), display_.VisualOf(), depth, w, h);
        if (bitmap->Shared) bitmap->Id = bitmap->Shared->Id();
    }
    if (bitmap->Id == 0) bitmap->Id = NewPixmap(w, h, depth);
    if (bitmap->Id == 0) return 0;
    bitmap->Width = w;
    bitmap->Height = h;
    bitmap->Depth = depth;
    objects_.insert(bitmap.get());
    return AsHandle(bitmap.release());
}

ObjectHandle X11Gdi::CreateBitmap(std::int32_t width, std::int32_t height, std::uint32_t planes,
                                  std::uint32_t bitsPerPixel, const void* bits) {
    if (width <= 0 || height <= 0 || width > MaxBitmapSide || height > MaxBitmapSide) return 0;
    const bool mono = planes * bitsPerPixel == 1;
    const int depth = mono ? 1 : display_.Depth();
    auto bitmap = std::make_unique<BitmapRecord>();
    bitmap->Id = NewPixmap(width, height, depth);
    if (bitmap->Id == 0) return 0;
    bitmap->Width = width;
    bitmap->Height = height;
    bitmap->Depth = depth;

    const auto* source = static_cast<const unsigned char*>(bits);
    if (source != nullptr && (mono || (planes == 1 && bitsPerPixel == 32))) {
        GC gc = XCreateGC(dpy_, bitmap->Id, 0, nullptr);
        XImage* image = XCreateImage(dpy_, display_.VisualOf(), static_cast<unsigned>(depth),
                                     ZPixmap, 0, nullptr, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 32, 0);
        if (image != nullptr) {
            image->data = static_cast<char*>(
                std::calloc(static_cast<std::size_t>(image->bytes_per_line) * height, 1));
            // Rows of 1-bit bitmaps are padded to 16 bits, most significant
            // bit first, 1 being white; 32-bit rows are blue, green, red, unused.
            const std::size_t monoStride = ((static_cast<std::size_t>(width) + 15) / 16) * 2;
            for (std::int32_t row = 0; row < height && image->data != nullptr; ++row) {
                for (std::int32_t column = 0; column < width; ++column) {
                    unsigned long pixel;
                    if (mono) {
                        const unsigned char byte = source[row * monoStride + column / 8];
                        pixel = (byte >> (7 - column % 8)) & 1u;
                    } else {
                        const unsigned char* p = source + (static_cast<std::size_t>(row) * width + column) * 4;
                        pixel = display_.PixelFromColorRef(p[2] | (p[1] << 8) | (p[0] << 16));
                    }
                    XPutPixel(image, column, row, pixel);
                }
            }
            if (image->data != nullptr)
                XPutImage(dpy_, bitmap->Id, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height));
            XDestroyImage(image);
        }
        XFreeGC(dpy_, gc);
    }
    objects_.insert(bitmap.get());
    return AsHandle(bitmap.release());
}

ObjectHandle X11Gdi::GetStockObject(int id) {
    if (id < 0 || id >= StockCount || !stock_[static_cast<std::size_t>(id)]) return 0;
    return reinterpret_cast<ObjectHandle>(stock_[static_cast<std::size_t>(id)].get());
}

ObjectHandle X11Gdi::CreatePenIndirect(const LogPen& pen) {
    auto* record = new PenRecord(pen);
    objects_.insert(record);
    return AsHandle(record);
}

ObjectHandle X11Gdi::CreateBrushIndirect(const LogBrush& brush) {
    auto* record = new BrushRecord(brush);
    objects_.insert(record);
    return AsHandle(record);
}

ObjectHandle X11Gdi::CreateFontIndirect(const LogFont& font) {
    auto record = std::make_unique<FontRecord>(font);
    try {
        record->Font = std::make_unique<X11Font>(dpy_, display_.ScreenNumber(), font);
    } catch (const std::exception&) {
        return 0;
    }
    objects_.insert(record.get());
    return AsHandle(record.release());
}

X11Gdi::ObjectRecord* X11Gdi::LiveObject(ObjectHandle object) const {
    if (object == 0) return nullptr;
    auto* record = reinterpret_cast<ObjectRecord*>(object);
    if (objects_.count(record) != 0) return record;
    for (const auto& s : stock_)
        if (s.get() == record) return record;
    if (record == stockBitmap_.get()) return record;
    return nullptr;
}

ObjectHandle X11Gdi::SelectObject(DcHandle dc, ObjectHandle object) {
    if (!IsLiveDc(dc)) return 0;
    ObjectRecord* record = LiveObject(object);
    if (record == nullptr) return 0;
    DcRecord& d = *AsDc(dc);
    auto swap = [](auto*& slot, auto* next) {
        auto* previous = slot;
        --previous->Selections;
        ++next->Selections;
        slot = next;
        return AsHandle(previous);
    };
    switch (record->ObjectKind) {
        case Kind::Bitmap: {
            auto* bitmap = static_cast<BitmapRecord*>(record);
            if (d.DcKind != MemoryDc) return 0;
            if (bitmap == d.Bitmap) return object;
            // A bitmap lives in one memory context at a time.
            if (!bitmap->Stock && bitmap->Selections > 0) return 0;
            const ObjectHandle previous = swap(d.Bitmap, bitmap);
            d.Target = bitmap->Id;
            d.Surface = {0, 0, bitmap->Width, bitmap->Height};
            d.UpdateVisible();
            if (bitmap->Depth != d.GcDepth) {
                d.Depth = bitmap->Depth;
                d.Format = FormatOf(d.Depth);
                if (d.Xft != nullptr) {
                    XftDrawDestroy(d.Xft);
                    d.Xft = nullptr;
                }
                MakeGc(d);
            } else if (d.Xft != nullptr) {
                XftDrawChange(d.Xft, d.Target);
                d.XftClipStale = true;
            }
            return previous;
        }
        case Kind::Pen: return swap(d.Pen, static_cast<PenRecord*>(record));
        case Kind::Brush: return swap(d.Brush, static_cast<BrushRecord*>(record));
        case Kind::Font: return swap(d.Font, static_cast<FontRecord*>(record));
        case Kind::Palette: return 0;  // palettes go through SelectPalette
    }
    return 0;
}

void X11Gdi::FreeObject(ObjectRecord* object) {
    if (object->ObjectKind == Kind::Bitmap) {
        auto* bitmap = static_cast<BitmapRecord*>(object);
        if (bitmap->Shared) bitmap->Shared.reset();
        else XFreePixmap(dpy_, bitmap->Id);
    }
    objects_.erase(object);
    delete object;
}

bool X11Gdi::DeleteObject(ObjectHandle object) {
    ObjectRecord* record = LiveObject(object);
    if (record == nullptr) return false;
    if (record->Stock) return true;
    // Deleting what a context still uses would leave the context drawing
    // with a freed record; the object stays until it is selected out.
    if (record->Selections > 0) return false;
    FreeObject(record);
    return true;
}

bool X11Gdi::UnrealizeObject(ObjectHandle object) { return LiveObject(object) != nullptr; }

std::string X11Gdi::FontFamily(ObjectHandle font) {
    ObjectRecord* record = LiveObject(font);
    if (record == nullptr || record->ObjectKind != Kind::Font) return {};
    auto& f = static_cast<FontRecord&>(*record);
    if (!f.Font) f.Font = std::make_unique<X11Font>(dpy_, display_.ScreenNumber(), f.Request);
    return f.Font->Family();
}

PixelAccess X11Gdi::PixelAccessOf(ObjectHandle bitmap) {
    ObjectRecord* record = LiveObject(bitmap);
    if (record == nullptr || record->ObjectKind != Kind::Bitmap) return PixelAccess::Unknown;
    return static_cast<BitmapRecord*>(record)->Shared ? PixelAccess::SharedMemory : PixelAccess::Protocol;
}

Drawable X11Gdi::Requested(DcRecord& d) {
    if (d.Bitmap != nullptr && d.Bitmap->Shared) d.Bitmap->Shared->MarkServerBusy();
    return d.Target;
}

Pixmap X11Gdi::PixmapOf(ObjectHandle bitmap) const {
    ObjectRecord* record = LiveObject(bitmap);
    if (record == nullptr || record->ObjectKind != Kind::Bitmap) return 0;
    return static_cast<BitmapRecord*>(record)->Id;
}

// ---------------------------------------------------------------------------
// Palettes: a TrueColor screen maps every colour itself, so a palette is
// only kept for what callers ask back of it.

ObjectHandle X11Gdi::CreatePalette(const PaletteEntry* entries, std::uint32_t count) {
    if (count == 0 || count > 0xFFFF || entries == nullptr) return 0;
    auto* record = new PaletteRecord;
    record->Entries.assign(entries, entries + count);
    objects_.insert(record);
    return AsHandle(record);
}

bool X11Gdi::GetPaletteEntryCount(ObjectHandle palette, std::uint16_t& count) {
    ObjectRecord* record = LiveObject(palette);
    if (record == nullptr || record->ObjectKind != Kind::Palette) return false;
    count = static_cast<std::uint16_t>(static_cast<PaletteRecord*>(record)->Entries.size());
    return true;
}

std::uint32_t X11Gdi::GetPaletteEntries(ObjectHandle palette, std::uint32_t start,
                                        std::uint32_t count, PaletteEntry* entries) {
    ObjectRecord* record = LiveObject(palette);
    if (record == nullptr || record->ObjectKind != Kind::Palette) return 0;
    const auto& all = static_cast<PaletteRecord*>(record)->Entries;
    if (entries == nullptr) return static_cast<std::uint32_t>(all.size());
    if (start >= all.size()) return 0;
    const std::uint32_t n = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(all.size()) - start);
    std::copy_n(all.begin() + start, n, entries);
    return n;
}

ObjectHandle X11Gdi::SelectPalette(DcHandle dc, ObjectHandle palette, bool) {
    if (!IsLiveDc(dc)) return 0;
    ObjectRecord* record = LiveObject(palette);
    if (record == nullptr || record->ObjectKind != Kind::Palette) return 0;
    DcRecord& d = *AsDc(dc);
    PaletteRecord* previous = d.Palette;
    --previous->Selections;
    d.Palette = static_cast<PaletteRecord*>(record);
    ++d.Palette->Selections;
    return AsHandle(previous);
}

std::uint32_t X11Gdi::RealizePalette(DcHandle) { return 0; }

// ---------------------------------------------------------------------------
// Pixels and transfers

int X11Gdi::FormatOf(int depth) const {
    if (depth == 1) return MonoFormat;
    return depth == display_.Depth() && rgb888_ ? Rgb888Format : GenericFormat;
}

unsigned long X11Gdi::PixelOf(const DcRecord& dc, ColorRef color) const {
    switch (dc.Format) {
        case Rgb888Format:
            return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
        case MonoFormat: {
            // A 1-bit bitmap takes the nearer of black and white.
            const unsigned r = color & 0xFFu, g = (color >> 8) & 0xFFu, b = (color >> 16) & 0xFFu;
            return r * 30 + g * 59 + b * 11 >= 12750 ? 1 : 0;
        }
        default:
            return display_.PixelFromColorRef(color);
    }
}

ColorRef X11Gdi::ColorOf(const DcRecord& dc, unsigned long pixel) const {
    switch (dc.Format) {
        case Rgb888Format:
            return static_cast<ColorRef>(((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) |
                                         ((pixel & 0xFFu) << 16));
        case MonoFormat:
            return pixel != 0 ? 0x00FFFFFF : 0;
        default:
            return display_.ColorRefFromPixel(pixel);
    }
}

void X11Gdi::ApplyForeground(DcRecord& dc, unsigned long pixel) {
    if (pixel == dc.Foreground) return;
    XSetForeground(dpy_, dc.Gc, pixel);
    dc.Foreground = pixel;
}

void X11Gdi::ApplyFunction(DcRecord& dc, int function) {
    if (function == dc.Function) return;
    XSetFunction(dpy_, dc.Gc, function);
    dc.Function = function;
}

ColorRef X11Gdi::SetPixel(DcHandle dc, std::int32_t x, std::int32_t y, ColorRef color) {
    if (dc == 0) return InvalidColor;
    DcRecord& d = *AsDc(dc);
    const std::int32_t dx = x + d.Origin.X, dy = y + d.Origin.Y;
    // Outside the bitmap (or the clip) nothing is drawn; checking here also
    // keeps far coordinates from wrapping in the protocol's 16 bits.
    if (!d.Inside(dx, dy)) return InvalidColor;
    const unsigned long pixel = PixelOf(d, color);
    if (d.Bitmap != nullptr && d.Bitmap->Shared) {
        d.Bitmap->Shared->Write(dx, dy, pixel);
        return ColorOf(d, pixel);
    }
    ApplyFunction(d, GXcopy);  // a pixel write ignores the mix mode
    ApplyForeground(d, pixel);
    XDrawPoint(dpy_, d.Target, d.Gc, dx, dy);
    return ColorOf(d, pixel);
}

ColorRef X11Gdi::GetPixel(DcHandle dc, std::int32_t x, std::int32_t y) {
    if (dc == 0) return InvalidColor;
    DcRecord& d = *AsDc(dc);
    const std::int32_t dx = x + d.Origin.X, dy = y + d.Origin.Y;
    // XGetImage outside the drawable is an error, not an empty answer.
    if (!d.Inside(dx, dy)) return InvalidColor;
    if (d.Bitmap != nullptr && d.Bitmap->Shared) return ColorOf(d, d.Bitmap->Shared->Read(dx, dy));
    if (d.DcKind == WindowDc) return ReadWindowPixel(d, dx, dy);
    XImage* image = XGetImage(dpy_, d.Target, dx, dy, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return InvalidColor;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return ColorOf(d, pixel);
}

// A window that is unmapped or partly off the screen has pixels that
// cannot be read; the read then fails as one outside the surface does.
ColorRef X11Gdi::ReadWindowPixel(DcRecord& d, int x, int y) {
    XImage* image = nullptr;
    {
        ErrorTrap trap(dpy_);
        image = XGetImage(dpy_, d.Target, x, y, 1, 1, AllPlanes, ZPixmap);
        if (trap.Failed() && image != nullptr) {
            XDestroyImage(image);
            image = nullptr;
        }
    }
    if (image == nullptr) return InvalidColor;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return ColorOf(d, pixel);
}

bool X11Gdi::BitBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                    std::int32_t height, DcHandle source, std::int32_t sourceX,
                    std::int32_t sourceY, std::uint32_t rop) {
    return StretchBlt(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

bool X11Gdi::StretchBlt(DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, DcHandle source, std::int32_t sourceX,
                        std::int32_t sourceY, std::int32_t sourceWidth,
                        std::int32_t sourceHeight, std::uint32_t rop) {
    if (dest == 0) return false;
    DcRecord& d = *AsDc(dest);
    // The video test's copy: same size, same format, plain copy.
    if (source != 0 && rop == rop::SrcCopy && width == sourceWidth && height == sourceHeight &&
        width > 0 && height > 0) {
        DcRecord& s = *AsDc(source);
        if (s.Depth == d.Depth) {
            ApplyFunction(d, GXcopy);
            CopyArea area;
            if (ClipCopy(d, s, std::int64_t{x} + d.Origin.X, std::int64_t{y} + d.Origin.Y, width,
                         height, std::int64_t{sourceX} + s.Origin.X,
                         std::int64_t{sourceY} + s.Origin.Y, area)) {
                XCopyArea(dpy_, Requested(s), Requested(d), d.Gc, area.SourceX, area.SourceY, area.Width,
                          area.Height, area.X, area.Y);
            }
            return true;
        }
    }
    if (IsPatternRop(rop)) return PatBlt(dest, x, y, width, height, rop);
    if (source == 0) return false;
    DcRecord& s = *AsDc(source);
    int function = FunctionOfSourceRop(rop);
    if (function < 0) function = GXcopy;
    const std::int64_t dx = std::int64_t{x} + d.Origin.X, dy = std::int64_t{y} + d.Origin.Y;
    const std::int64_t sx = std::int64_t{sourceX} + s.Origin.X;
    const std::int64_t sy = std::int64_t{sourceY} + s.Origin.Y;
    if (width == sourceWidth && height == sourceHeight) {
        if (width <= 0 || height <= 0) return width == 0 || height == 0;
        if (s.Depth == d.Depth || s.Depth == 1) {
            CopyArea area;
            if (!ClipCopy(d, s, dx, dy, width, height, sx, sy, area)) return true;
            if (s.Depth == 1) {
                return CopyPlane(d, area.X, area.Y, static_cast<int>(area.Width),
                                 static_cast<int>(area.Height), s, area.SourceX, area.SourceY,
                                 function);
            }
            ApplyFunction(d, function);
            XCopyArea(dpy_, Requested(s), Requested(d), d.Gc, area.SourceX, area.SourceY, area.Width,
                      area.Height, area.X, area.Y);
            return true;
        }
    }
    // A stretch reads the source through the client; one that lands wholly
    // outside the destination's 32-bit range of pixels changes nothing.
    const std::int64_t left = std::min(dx, dx + width), top = std::min(dy, dy + height);
    const std::int64_t span = std::abs(std::int64_t{width}), rows = std::abs(std::int64_t{height});
    if (left >= d.Surface.Right || top >= d.Surface.Bottom || left + span <= d.Surface.Left ||
        top + rows <= d.Surface.Top || sx < INT_MIN || sx > INT_MAX || sy < INT_MIN ||
        sy > INT_MAX || dx < INT_MIN || dx > INT_MAX || dy < INT_MIN || dy > INT_MAX) {
        return true;
    }
    return StretchSlow(d, static_cast<int>(dx), static_cast<int>(dy), width, height, s,
                       static_cast<int>(sx), static_cast<int>(sy), sourceWidth, sourceHeight,
                       function);
}

// A 1-bit source onto a colour surface: white source pixels take the
// destination's background colour and black ones its text colour.
bool X11Gdi::CopyPlane(DcRecord& d, int x, int y, int width, int height, DcRecord& s,
                       int sourceX, int sourceY, int function) {
    ApplyFunction(d, function);
    ApplyForeground(d, PixelOf(d, d.BkColor));
    XSetBackground(dpy_, d.Gc, PixelOf(d, d.TextColor));
    XCopyPlane(dpy_, s.Target, Requested(d), d.Gc, sourceX, sourceY, static_cast<unsigned>(width),
               static_cast<unsigned>(height), x, y, 1);
    return true;
}

// Different sizes or formats: the program itself never stretches, so this
// goes through the client (nearest pixel, rows and columns dropped or
// repeated, a negative size mirrors).
bool X11Gdi::StretchSlow(DcRecord& d, int x, int y, int width, int height, DcRecord& s,
                         int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                         int function) {
    if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return true;
    const bool flipX = (width < 0) != (sourceWidth < 0);
    const bool flipY = (height < 0) != (sourceHeight < 0);
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    if (sourceWidth < 0) {
        sourceX += sourceWidth;
        sourceWidth = -sourceWidth;
    }
    if (sourceHeight < 0) {
        sourceY += sourceHeight;
        sourceHeight = -sourceHeight;
    }
    if (width > MaxBitmapSide || height > MaxBitmapSide) return false;
    // Only the part of the source inside its surface can be read.
    const Rect wanted{sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight};
    const Rect readable = Intersect(wanted, s.Surface);
    if (IsEmpty(readable)) return true;
    XImage* in = nullptr;
    {
        ErrorTrap trap(dpy_);
        in = XGetImage(dpy_, s.Target, readable.Left, readable.Top,
                       static_cast<unsigned>(readable.Right - readable.Left),
                       static_cast<unsigned>(readable.Bottom - readable.Top), AllPlanes, ZPixmap);
        if (trap.Failed() && in != nullptr) {
            XDestroyImage(in);
            in = nullptr;
        }
    }
    if (in == nullptr) return false;
    XImage* out = XCreateImage(dpy_, display_.VisualOf(), static_cast<unsigned>(d.Depth),
                               ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (out == nullptr) {
        XDestroyImage(in);
        return false;
    }
    out->data = static_cast<char*>(
        std::malloc(static_cast<std::size_t>(out->bytes_per_line) * static_cast<std::size_t>(height)));
    if (out->data == nullptr) {
        XDestroyImage(in);
        XDestroyImage(out);
        return false;
    }
    // Destination pixels whose source lies outside the source surface are
    // drawn from a pre-read of the destination, so they stay as they were.
    XImage* keep = nullptr;
    {
        const Rect area = Intersect({x, y, x + width, y + height}, d.Surface);
        if (!(readable == wanted) && !IsEmpty(area)) {
            ErrorTrap trap(dpy_);
            keep = XGetImage(dpy_, d.Target, x, y, static_cast<unsigned>(width),
                             static_cast<unsigned>(height), AllPlanes, ZPixmap);
            if (trap.Failed() && keep != nullptr) {
                XDestroyImage(keep);
                keep = nullptr;
            }
        }
    }
    for (int row = 0; row < height; ++row) {
        const int r = flipY ? height - 1 - row : row;
        const int sourceRow = sourceY + static_cast<int>(static_cast<long long>(r) * sourceHeight / height);
        for (int column = 0; column < width; ++column) {
            const int c = flipX ? width - 1 - column : column;
            const int sourceColumn =
                sourceX + static_cast<int>(static_cast<long long>(c) * sourceWidth / width);
            unsigned long pixel;
            if (sourceColumn >= readable.Left && sourceColumn < readable.Right &&
                sourceRow >= readable.Top && sourceRow < readable.Bottom) {
                pixel = XGetPixel(in, sourceColumn - readable.Left, sourceRow - readable.Top);
                if (s.Depth != d.Depth) pixel = PixelOf(d, ColorOf(s, pixel));
            } else if (keep != nullptr) {
                pixel = XGetPixel(keep, column, row);
            } else {
                continue;
            }
            XPutPixel(out, column, row, pixel);
        }
    }
    ApplyFunction(d, function);
    XPutImage(dpy_, Requested(d), d.Gc, out, 0, 0, x, y, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XDestroyImage(in);
    XDestroyImage(out);
    if (keep != nullptr) XDestroyImage(keep);
    return true;
}

void X11Gdi::FillDevice(DcRecord& d, int x, int y, int width, int height, unsigned long pixel,
                        int function) {
    if (width <= 0 || height <= 0) return;
    // Keep the rectangle inside what the protocol can say.
    const Rect r = Intersect({x, y, x + width, y + height},
                             {CoordinateMin, CoordinateMin, CoordinateMax, CoordinateMax});
    if (IsEmpty(r)) return;
    ApplyFunction(d, function);
    ApplyForeground(d, pixel);
    XFillRectangle(dpy_, Requested(d), d.Gc, r.Left, r.Top, static_cast<unsigned>(r.Right - r.Left),
                   static_cast<unsigned>(r.Bottom - r.Top));
}

bool X11Gdi::PatBlt(DcHandle dc, std::int32_t x, std::int32_t y, std::int32_t width,
                    std::int32_t height, std::uint32_t rop) {
    if (dc == 0) return false;
    DcRecord& d = *AsDc(dc);
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    const int dx = x + d.Origin.X, dy = y + d.Origin.Y;
    const LogBrush& brush = d.Brush->Brush;
    switch (rop) {
        case rop::Whiteness:
            FillDevice(d, dx, dy, width, height, PixelOf(d, 0x00FFFFFF), GXcopy);
            return true;
        case rop::Blackness:
            FillDevice(d, dx, dy, width, height, PixelOf(d, 0), GXcopy);
            return true;
        case rop::PatCopy:
            if (brush.Style != bs::Null)
                FillDevice(d, dx, dy, width, height, PixelOf(d, brush.Color), GXcopy);
            return true;
        case RopPatInvert:
            if (brush.Style != bs::Null)
                FillDevice(d, dx, dy, width, height, PixelOf(d, brush.Color), GXxor);
            return true;
        case RopDstInvert:
            FillDevice(d, dx, dy, width, height, d.Foreground, GXinvert);
            return true;
        default:
            return false;
    }
}

int X11Gdi::FillRect(DcHandle dc, const Rect& rect, ObjectHandle brush) {
    if (dc == 0) return 0;
    DcRecord& d = *AsDc(dc);
    ColorRef color;
    // Small values stand for the system colour brushes (index + 1).
    if (brush >= 1 && brush <= static_cast<ObjectHandle>(syscolor::Count)) {
        color = SystemColors[brush - 1];
    } else {
        ObjectRecord* record = LiveObject(brush);
        if (record == nullptr || record->ObjectKind != Kind::Brush) return 0;
        const LogBrush& b = static_cast<BrushRecord*>(record)->Brush;
        if (b.Style == bs::Null) return 1;
        color = b.Color;
    }
    FillDevice(d, rect.Left + d.Origin.X, rect.Top + d.Origin.Y, rect.Right - rect.Left,
               rect.Bottom - rect.Top, PixelOf(d, color), GXcopy);
    return 1;
}

// ---------------------------------------------------------------------------
// Lines

bool X11Gdi::MoveToEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) {
    if (dc == 0) return false;
    DcRecord& d = *AsDc(dc);
    if (previous != nullptr) *previous = d.Position;
    d.Position = {x, y};
    return true;
}

bool X11Gdi::LineTo(DcHandle dc, std::int32_t x, std::int32_t y) {
    if (dc == 0) return false;
    DcRecord& d = *AsDc(dc);
    const Point from = d.Position;
    d.Position = {x, y};
    const LogPen& pen = d.Pen->Pen;
    if (pen.Style == ps::Null) return true;
    const int ddx = x - from.X, ddy = y - from.Y;
    if (ddx == 0 && ddy == 0) return true;

    if (d.LinePen != d.Pen) {
        static const char dash[] = {18, 6}, dot[] = {3, 3}, dashDot[] = {9, 6, 3, 6},
                          dashDotDot[] = {9, 3, 3, 3, 3, 3};
        const char* dashes = nullptr;
        int count = 0;
        switch (pen.Style) {
            case ps::Dash: dashes = dash; count = 2; break;
            case ps::Dot: dashes = dot; count = 2; break;
            case ps::DashDot: dashes = dashDot; count = 4; break;
            case ps::DashDotDot: dashes = dashDotDot; count = 6; break;
            default: break;
        }
        const unsigned width = pen.Width > 1 ? static_cast<unsigned>(pen.Width) : 0;
        XSetLineAttributes(dpy_, d.Gc, width, dashes != nullptr ? LineOnOffDash : LineSolid,
                           width > 1 ? CapRound : CapButt, width > 1 ? JoinRound : JoinMiter);
        if (dashes != nullptr) XSetDashes(dpy_, d.Gc, 0, dashes, count);
        d.LinePen = d.Pen;
    }
    ApplyFunction(d, d.Rop2 >= 1 && d.Rop2 <= 16 ? FunctionOfRop2[d.Rop2] : GXcopy);
    ApplyForeground(d, PixelOf(d, pen.Color));

    // A line stops one pixel short of its end point, so the next line from
    // there does not draw that pixel twice (which an inverting mix would
    // undo).
    int endX, endY;
    if (std::abs(ddx) >= std::abs(ddy)) {
        const int steps = std::abs(ddx) - 1;
        endX = from.X + (ddx > 0 ? steps : -steps);
        endY = from.Y + static_cast<int>(std::lround(static_cast<double>(ddy) * steps / std::abs(ddx)));
    } else {
        const int steps = std::abs(ddy) - 1;
        endY = from.Y + (ddy > 0 ? steps : -steps);
        endX = from.X + static_cast<int>(std::lround(static_cast<double>(ddx) * steps / std::abs(ddy)));
    }
    const int x0 = from.X + d.Origin.X, y0 = from.Y + d.Origin.Y;
    const int x1 = endX + d.Origin.X, y1 = endY + d.Origin.Y;
    XDrawLine(dpy_, Requested(d), d.Gc, ClampCoordinate(x0), ClampCoordinate(y0), ClampCoordinate(x1),
              ClampCoordinate(y1));
    return true;
}

bool X11Gdi::GetCurrentPositionEx(DcHandle dc, Point* position) {
    if (dc == 0 || position == nullptr) return false;
    *position = AsDc(dc)->Position;
    return true;
}

// ---------------------------------------------------------------------------
// Attributes

ColorRef X11Gdi::SetBkColor(DcHandle dc, ColorRef color) {
    if (dc == 0) return InvalidColor;
    DcRecord& d = *AsDc(dc);
    const ColorRef previous = d.BkColor;
    d.BkColor = color;
    return previous;
}

ColorRef X11Gdi::SetTextColor(DcHandle dc, ColorRef color) {
    if (dc == 0) return InvalidColor;
    DcRecord& d = *AsDc(dc);
    const ColorRef previous = d.TextColor;
    d.TextColor = color;
    return previous;
}

int X11Gdi::SetBkMode(DcHandle dc, int mode) {
    if (dc == 0 || (mode != Transparent && mode != Opaque)) return 0;
    DcRecord& d = *AsDc(dc);
    return std::exchange(d.BkMode, mode);
}

int X11Gdi::SetROP2(DcHandle dc, int mode) {
    if (dc == 0 || mode < r2::Black || mode > r2::White) return 0;
    DcRecord& d = *AsDc(dc);
    return std::exchange(d.Rop2, mode);
}

int X11Gdi::SetStretchBltMode(DcHandle dc, int mode) {
    if (dc == 0 || mode < 1 || mode > 4) return 0;
    DcRecord& d = *AsDc(dc);
    return std::exchange(d.StretchMode, mode);
}

bool X11Gdi::SetViewportOrgEx(DcHandle dc, std::int32_t x, std::int32_t y, Point* previous) {
    if (dc == 0) return false;
    DcRecord& d = *AsDc(dc);
    if (previous != nullptr) *previous = d.Origin;
    d.Origin = {x, y};
    return true;
}

void X11Gdi::ApplyClip(DcRecord& d) {
    if (!d.Clipped) {
        XSetClipMask(dpy_, d.Gc, None);
        return;
    }
    XRectangle r = ToXRectangle(d.Clip);
    XSetClipRectangles(dpy_, d.Gc, 0, 0, &r, IsEmpty(d.Clip) ? 0 : 1, YXBanded);
}

int X11Gdi::IntersectClipRect(DcHandle dc, std::int32_t left, std::int32_t top,
                              std::int32_t right, std::int32_t bottom) {
    if (dc == 0) return RegionError;
    DcRecord& d = *AsDc(dc);
    // Given in logical coordinates, kept in device ones: moving the origin
    // later does not move the clip.
    Rect r{left + d.Origin.X, top + d.Origin.Y, right + d.Origin.X, bottom + d.Origin.Y};
    if (r.Right < r.Left) std::swap(r.Left, r.Right);
    if (r.Bottom < r.Top) std::swap(r.Top, r.Bottom);
    d.Clip = d.Clipped ? Intersect(d.Clip, r) : r;
    if (IsEmpty(d.Clip)) d.Clip = {0, 0, 0, 0};
    d.Clipped = true;
    d.UpdateVisible();
    d.XftClipStale = true;
    ApplyClip(d);
    return IsEmpty(Intersect(d.Clip, d.Surface)) ? NullRegion : SimpleRegion;
}

// ---------------------------------------------------------------------------
// Queries

ColorRef X11Gdi::GetSysColor(int index) {
    return index >= 0 && index < syscolor::Count ? SystemColors[static_cast<std::size_t>(index)] : 0;
}

int X11Gdi::GetDeviceCaps(DcHandle dc, int index) {
    int depth = display_.Depth();
    if (IsLiveDc(dc)) depth = AsDc(dc)->Depth;
    switch (index) {
        case caps::HorzRes: return display_.ScreenWidth();
        case caps::VertRes: return display_.ScreenHeight();
        case caps::BitsPixel: return depth;
        case caps::Planes: return 1;
        case caps::RasterCaps: return RasterCapabilities;
        case caps::LogPixelsX:
        case caps::LogPixelsY: return display_.PixelsPerInch();
        case caps::SizePalette: return 0;  // not a palette device
        default: return 0;
    }
}

// ---------------------------------------------------------------------------
// Text

X11Font* X11Gdi::FontOf(DcRecord& d) {
    FontRecord& f = *d.Font;
    if (!f.Font) {
        try {
            f.Font = std::make_unique<X11Font>(dpy_, display_.ScreenNumber(), f.Request);
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    return f.Font.get();
}

XftDraw* X11Gdi::XftOf(DcRecord& d) {
    if (d.Xft == nullptr) {
        d.Xft = d.Depth == 1 ? XftDrawCreateBitmap(dpy_, d.Target)
                             : XftDrawCreate(dpy_, d.Target, display_.VisualOf(),
                                             display_.ColormapOf());
        d.XftClipStale = true;
    }
    return d.Xft;
}

bool X11Gdi::GetTextExtentPoint(DcHandle dc, const char* text, int length, Size* size) {
    if (dc == 0 || size == nullptr || length < 0 || (text == nullptr && length > 0)) return false;
    X11Font* font = FontOf(*AsDc(dc));
    if (font == nullptr) return false;
    const std::string& utf8 = texts_.Utf8(std::string_view(text, static_cast<std::size_t>(length)));
    size->Cx = font->TextWidth(utf8);
    size->Cy = font->Metrics().Height;
    return true;
}

bool X11Gdi::GetTextMetrics(DcHandle dc, TextMetrics* metrics) {
    if (dc == 0 || metrics == nullptr) return false;
    X11Font* font = FontOf(*AsDc(dc));
    if (font == nullptr) return false;
    const FontMetrics& m = font->Metrics();
    metrics->Height = m.Height;
    metrics->Ascent = m.Ascent;
    metrics->Descent = m.Descent;
    metrics->InternalLeading = m.InternalLeading;
    metrics->ExternalLeading = m.ExternalLeading;
    metrics->AveCharWidth = m.AveCharWidth;
    metrics->MaxCharWidth = m.MaxCharWidth;
    return true;
}

bool X11Gdi::ExtTextOut(DcHandle dc, std::int32_t x, std::int32_t y, std::uint32_t options,
                        const Rect* rect, const char* text, int length) {
    if (dc == 0 || length < 0 || (text == nullptr && length > 0)) return false;
    DcRecord& d = *AsDc(dc);
    X11Font* font = FontOf(d);
    if (font == nullptr) return false;
    const std::string& utf8 =
        texts_.Utf8(std::string_view(text != nullptr ? text : "", static_cast<std::size_t>(length)));
    const int dx = x + d.Origin.X, dy = y + d.Origin.Y;
    const bool clipped = (options & eto::Clipped) != 0 && rect != nullptr;
    Rect cut{CoordinateMin, CoordinateMin, CoordinateMax, CoordinateMax};
    if (rect != nullptr) {
        const Rect device{rect->Left + d.Origin.X, rect->Top + d.Origin.Y,
                          rect->Right + d.Origin.X, rect->Bottom + d.Origin.Y};
        if (clipped) cut = device;
        if ((options & eto::Opaque) != 0)
            FillDevice(d, device.Left, device.Top, device.Right - device.Left,
                       device.Bottom - device.Top, PixelOf(d, d.BkColor), GXcopy);
    }
    if (utf8.empty()) return true;
    const FontMetrics& m = font->Metrics();
    if (d.BkMode == Opaque && (options & eto::Opaque) == 0) {
        const Rect cell = Intersect({dx, dy, dx + font->TextWidth(utf8), dy + m.Height}, cut);
        if (!IsEmpty(cell))
            FillDevice(d, cell.Left, cell.Top, cell.Right - cell.Left, cell.Bottom - cell.Top,
                       PixelOf(d, d.BkColor), GXcopy);
    }
    const XftColor* color = colors_.Get(d.TextColor);
    if (color == nullptr) return false;
    XftDraw* draw = XftOf(d);
    if (draw == nullptr) return false;
    if (clipped) {
        const Rect area = d.Clipped ? Intersect(cut, d.Clip) : cut;
        XRectangle r = ToXRectangle(area);
        XftDrawSetClipRectangles(draw, 0, 0, &r, IsEmpty(area) ? 0 : 1);
        d.XftClipStale = true;
    } else if (d.XftClipStale) {
        if (d.Clipped) {
            XRectangle r = ToXRectangle(d.Clip);
            XftDrawSetClipRectangles(draw, 0, 0, &r, IsEmpty(d.Clip) ? 0 : 1);
        } else {
            XftDrawSetClip(draw, nullptr);
        }
        d.XftClipStale = false;
    }
    Requested(d);
    XftDrawStringUtf8(draw, color, font->Xft(), dx, dy + m.Ascent,
                      reinterpret_cast<const FcChar8*>(utf8.data()), static_cast<int>(utf8.size()));
    return true;
}

bool X11Gdi::DrawFocusRect(DcHandle dc, const Rect& rect) {
    if (dc == 0) return false;
    DcRecord& d = *AsDc(dc);
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    if (width <= 0 || height <= 0) return true;
    // The outline's pixels where x + y is even (on the device), inverted;
    // each edge pixel is touched once, so drawing it again takes it away.
    const int x = rect.Left + d.Origin.X, y = rect.Top + d.Origin.Y;
    XRectangle edges[4];
    int count = 0;
    auto add = [&](int ex, int ey, int ew, int eh) {
        if (ew <= 0 || eh <= 0) return;
        edges[count++] = ToXRectangle({ex, ey, ex + ew, ey + eh});
    };
    add(x, y, width, 1);
    if (height > 1) add(x, y + height - 1, width, 1);
    add(x, y + 1, 1, height - 2);
    if (width > 1) add(x + width - 1, y + 1, 1, height - 2);
    ApplyFunction(d, GXinvert);
    XSetStipple(dpy_, d.Gc, focusStipple_);
    XSetTSOrigin(dpy_, d.Gc, 0, 0);
    XSetFillStyle(dpy_, d.Gc, FillStippled);
    XFillRectangles(dpy_, Requested(d), d.Gc, edges, count);
    XSetFillStyle(dpy_, d.Gc, FillSolid);
    return true;
}

}  // namespace qmk::platform::x11
