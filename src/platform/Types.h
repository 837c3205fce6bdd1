// Values that cross the platform seam. The names and numbers follow the
// classic Windows graphics and window interfaces, because the drawing layer
// and the framework are written against those semantics; every backend
// (X11, the in-memory recorder, a future native one) implements them.
#pragma once

#include <cstdint>

namespace qmk::platform {

// Opaque handles. 0 is "no handle" everywhere. A backend may use pointers
// to its own records, so a handle lookup costs nothing on hot paths.
using Handle = std::uintptr_t;
using DcHandle = Handle;      // device context
using ObjectHandle = Handle;  // bitmap, pen, brush, font, palette
using WindowHandle = Handle;  // 0 stands for the whole screen in GetDC

// A platform colour value 0x00BBGGRR.
using ColorRef = std::uint32_t;
inline constexpr ColorRef InvalidColor = 0xFFFFFFFFu;  // CLR_INVALID

struct Point {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    std::int32_t Cx = 0;
    std::int32_t Cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Stock objects (GetStockObject).
namespace stock {
inline constexpr int WhiteBrush = 0;
inline constexpr int BlackBrush = 4;
inline constexpr int HollowBrush = 5;  // NULL_BRUSH
inline constexpr int WhitePen = 6;
inline constexpr int BlackPen = 7;
inline constexpr int NullPen = 8;
inline constexpr int SystemFont = 13;
inline constexpr int DefaultPalette = 15;
}  // namespace stock

// Raster operations.
namespace rop {
inline constexpr std::uint32_t SrcCopy = 0x00CC0020u;
inline constexpr std::uint32_t Whiteness = 0x00FF0062u;
inline constexpr std::uint32_t Blackness = 0x00000042u;
inline constexpr std::uint32_t PatCopy = 0x00F00021u;
}  // namespace rop

// Background modes, stretch modes.
inline constexpr int Transparent = 1;
inline constexpr int Opaque = 2;
inline constexpr int ColorOnColor = 3;

// Mix modes (SetROP2).
namespace r2 {
inline constexpr int Black = 1, NotMergePen = 2, MaskNotPen = 3, NotCopyPen = 4,
                     MaskPenNot = 5, Not = 6, XorPen = 7, NotMaskPen = 8, MaskPen = 9,
                     NotXorPen = 10, Nop = 11, MergeNotPen = 12, CopyPen = 13,
                     MergePenNot = 14, MergePen = 15, White = 16;
}

// Pen styles (LogPen::Style) and brush styles (LogBrush::Style).
namespace ps {
inline constexpr std::uint32_t Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4,
                               Null = 5, InsideFrame = 6;
}
namespace bs {
inline constexpr std::uint32_t Solid = 0, Null = 1, Hatched = 2, Pattern = 3;
}

// IntersectClipRect results.
inline constexpr int RegionError = 0;
inline constexpr int NullRegion = 1;
inline constexpr int SimpleRegion = 2;

// System colour indices (GetSysColor).
namespace syscolor {
inline constexpr int ScrollBar = 0, Background = 1, ActiveCaption = 2, InactiveCaption = 3,
                     Menu = 4, Window = 5, WindowFrame = 6, MenuText = 7, WindowText = 8,
                     CaptionText = 9, ActiveBorder = 10, InactiveBorder = 11,
                     AppWorkspace = 12, Highlight = 13, HighlightText = 14, BtnFace = 15,
                     BtnShadow = 16, GrayText = 17, BtnText = 18, InactiveCaptionText = 19,
                     BtnHighlight = 20, DkShadow3D = 21, Light3D = 22, InfoText = 23,
                     InfoBk = 24;
inline constexpr int Count = 25;
}  // namespace syscolor

// Device capabilities (GetDeviceCaps).
namespace caps {
inline constexpr int HorzRes = 8, VertRes = 10, BitsPixel = 12, Planes = 14, RasterCaps = 38,
                     LogPixelsX = 88, LogPixelsY = 90, SizePalette = 104;
inline constexpr int RcStretchDib = 0x2000;
}  // namespace caps

// System metrics (GetSystemMetrics).
namespace metric {
inline constexpr int CxScreen = 0, CyScreen = 1, CyCaption = 4, CxBorder = 5, CyBorder = 6,
                     CxDlgFrame = 7, CyDlgFrame = 8, CxEdge = 45, CyEdge = 46;
}

struct LogPen {
    std::uint32_t Style = ps::Solid;
    std::int32_t Width = 1;
    ColorRef Color = 0;
    friend bool operator==(const LogPen&, const LogPen&) = default;
};

struct LogBrush {
    std::uint32_t Style = bs::Solid;
    ColorRef Color = 0;
    std::uintptr_t Hatch = 0;
    friend bool operator==(const LogBrush&, const LogBrush&) = default;
};

// Font request. A negative height is a character height in pixels without
// internal leading; a positive one is a cell height. The face name is held
// in code page 932, as every text of the program.
struct LogFont {
    std::int32_t Height = 0;
    std::int32_t Width = 0;
    std::int32_t Weight = 400;  // 700 is bold
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::uint8_t CharSet = 1;  // DEFAULT_CHARSET
    std::uint8_t PitchAndFamily = 0;
    char FaceName[32] = {};
};

struct TextMetrics {
    std::int32_t Height = 0;
    std::int32_t Ascent = 0;
    std::int32_t Descent = 0;
    std::int32_t InternalLeading = 0;
    std::int32_t ExternalLeading = 0;
    std::int32_t AveCharWidth = 0;
    std::int32_t MaxCharWidth = 0;
};

struct PaletteEntry {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    std::uint8_t Flags = 0;
};

// ExtTextOut options.
namespace eto {
inline constexpr std::uint32_t Opaque = 0x0002, Clipped = 0x0004;
}

// Clock fields of GetLocalTime / GetSystemTime; only the time of day is used.
struct SystemTime {
    std::uint16_t Hour = 0;
    std::uint16_t Minute = 0;
    std::uint16_t Second = 0;
    std::uint16_t Milliseconds = 0;
    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// Locale items (GetLocaleInfo), with their Windows numbers.
namespace locale_item {
inline constexpr std::uint32_t Currency = 0x0014;       // LOCALE_SCURRENCY
inline constexpr std::uint32_t CurrencyFormat = 0x001B;  // LOCALE_ICURRENCY
inline constexpr std::uint32_t NegCurrencyFormat = 0x001C;  // LOCALE_INEGCURR
inline constexpr std::uint32_t ThousandSeparator = 0x000F;  // LOCALE_STHOUSAND
inline constexpr std::uint32_t DecimalSeparator = 0x000E;   // LOCALE_SDECIMAL
inline constexpr std::uint32_t CurrencyDigits = 0x0019;     // LOCALE_ICURRDIGITS
inline constexpr std::uint32_t DateSeparator = 0x001D;      // LOCALE_SDATE
inline constexpr std::uint32_t TimeSeparator = 0x001E;      // LOCALE_STIME
inline constexpr std::uint32_t ShortDate = 0x001F;          // LOCALE_SSHORTDATE
inline constexpr std::uint32_t LongDate = 0x0020;           // LOCALE_SLONGDATE
inline constexpr std::uint32_t AmText = 0x0028;             // LOCALE_S1159
inline constexpr std::uint32_t PmText = 0x0029;             // LOCALE_S2359
inline constexpr std::uint32_t TimeFormat = 0x1003;         // LOCALE_STIMEFORMAT
}  // namespace locale_item

}  // namespace qmk::platform
