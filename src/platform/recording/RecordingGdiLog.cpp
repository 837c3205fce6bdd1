// The recording graphics backend's log as text, one line per call:
// "SelectObject(dc4,bmp1)", the way the tests compare call sequences.
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "platform/recording/RecordingGdi.h"
#include "platform/recording/RecordingHandles.h"

namespace qmk::platform {

using recording::KindOf;
using recording::SerialOf;

namespace {

// Argument kinds of each call, used when rendering a record:
// d dc, o object, w window, i integer, x hex, R optional rect (5 slots),
// s text (2 slots: offset into the arena, length).
struct CallFormat {
    const char* Name;
    const char* Args;
};
constexpr CallFormat Formats[] = {
    {"GetDC", "w"},
    {"ReleaseDC", "wd"},
    {"CreateCompatibleDC", "d"},
    {"DeleteDC", "d"},
    {"CreateCompatibleBitmap", "dii"},
    {"CreateBitmap", "iiii"},
    {"GetStockObject", "i"},
    {"CreatePenIndirect", "iix"},
    {"CreateBrushIndirect", "ixi"},
    {"CreateFontIndirect", "iiiiiiiis"},
    {"SelectObject", "do"},
    {"DeleteObject", "o"},
    {"UnrealizeObject", "o"},
    {"CreatePalette", "i"},
    {"GetPaletteEntryCount", "o"},
    {"GetPaletteEntries", "oii"},
    {"SelectPalette", "doi"},
    {"RealizePalette", "d"},
    {"SetPixel", "diix"},
    {"GetPixel", "dii"},
    {"BitBlt", "diiiidiix"},
    {"StretchBlt", "diiiidiiiix"},
    {"PatBlt", "diiiix"},
    {"FillRect", "diiiio"},
    {"MoveToEx", "dii"},
    {"LineTo", "dii"},
    {"GetCurrentPositionEx", "d"},
    {"SetBkColor", "dx"},
    {"SetTextColor", "dx"},
    {"SetBkMode", "di"},
    {"SetROP2", "di"},
    {"SetStretchBltMode", "di"},
    {"SetViewportOrgEx", "dii"},
    {"IntersectClipRect", "diiii"},
    {"GetSysColor", "i"},
    {"GetDeviceCaps", "di"},
    {"GetTextExtentPoint", "ds"},
    {"GetTextMetrics", "d"},
    {"ExtTextOut", "diixRs"},
    {"DrawFocusRect", "diiii"},
};
static_assert(std::size(Formats) == static_cast<std::size_t>(RecordingGdi::Call::Count));

}  // namespace

const char* RecordingGdi::CallName(Call call) {
    const auto index = static_cast<std::size_t>(call);
    return index < std::size(Formats) ? Formats[index].Name : "?";
}

std::string RecordingGdi::HandleName(Handle handle) {
    if (handle == 0) return "0";
    static constexpr const char* Prefixes[] = {"?", "dc", "bmp", "pen", "brush", "font", "pal", "stock"};
    const std::uint8_t kind = KindOf(handle);
    if (kind == KindStock && SerialOf(handle) == DefaultBitmapId) return "defaultbitmap";
    if (kind == 0 || kind > KindStock) return std::to_string(handle);
    return Prefixes[kind] + std::to_string(SerialOf(handle));
}

std::string RecordingGdi::Describe(std::size_t index) const {
    const CallRecord& record = log_[index];
    const CallFormat& format = Formats[static_cast<std::size_t>(record.Id)];
    std::string text = format.Name;
    text += '(';
    int slot = 0;
    char buffer[24];
    for (const char* kind = format.Args; *kind != '\0'; ++kind) {
        if (kind != format.Args) text += ',';
        const std::int64_t value = record.Args[slot++];
        switch (*kind) {
        case 'd':
        case 'o':
            text += HandleName(static_cast<Handle>(value));
            break;
        case 'w':
            text += value == 0 ? std::string("0") : "w" + std::to_string(value);
            break;
        case 'x':
            std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
            text += buffer;
            break;
        case 'R':
            if (value == 0) {
                text += "null";
            } else {
                std::snprintf(buffer, sizeof buffer, "(%d,%d,%d,%d)",
                              static_cast<int>(record.Args[slot]), static_cast<int>(record.Args[slot + 1]),
                              static_cast<int>(record.Args[slot + 2]), static_cast<int>(record.Args[slot + 3]));
                text += buffer;
            }
            slot += 4;
            break;
        case 's': {
            const auto offset = static_cast<std::size_t>(value);
            const auto length = static_cast<std::size_t>(record.Args[slot++]);
            text += '"';
            if (offset + length <= logText_.size()) text.append(logText_, offset, length);
            text += '"';
            break;
        }
        default:
            text += std::to_string(value);
            break;
        }
    }
    text += ')';
    return text;
}

std::vector<std::string> RecordingGdi::Calls() const {
    std::vector<std::string> result;
    result.reserve(logSize_);
    for (std::size_t i = 0; i < logSize_; ++i) result.push_back(Describe(i));
    return result;
}

std::vector<std::string> RecordingGdi::Calls(Call only) const {
    std::vector<std::string> result;
    for (std::size_t i = 0; i < logSize_; ++i)
        if (log_[i].Id == only) result.push_back(Describe(i));
    return result;
}

}  // namespace qmk::platform
