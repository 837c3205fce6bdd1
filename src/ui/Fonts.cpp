#include "ui/Fonts.h"

#include <algorithm>

#include "platform/Platform.h"
#include "ui/DeviceContext.h"

namespace qmk {

void ApplyFontDescription(TFont& font, const TFontDescription& description) {
    TFontData data = font.Data();
    data.Height = description.Height;
    data.Style = description.Bold ? fsBold : 0;
    data.Name[0] = '\0';
    const std::size_t length = std::min(description.Name.size(), FontNameCapacity - 1);
    description.Name.copy(data.Name, length);
    data.Name[length] = '\0';
    font.SetData(data);
    font.SetColor(description.Color);
}

std::int32_t FontHeight(const TFont& font) { return font.Height(); }
void SetFontHeight(TFont& font, std::int32_t height) { font.SetHeight(height); }
TColor FontColor(const TFont& font) { return font.Color(); }
void CopyFont(TFont& target, const TFont& source) { target.Assign(source); }
platform::ObjectHandle FontHandle(const TFont& font) { return font.GetHandle(); }

platform::Size TextExtent(const TFont& font, std::string_view text, platform::DcHandle dc) {
    auto& gdi = platform::GdiApi();
    platform::Size size;
    const bool screen = dc == 0;
    if (screen) {
        dc = gdi.GetDC(0);
        if (dc == 0) return size;
    }
    {
        TSelectedObject selected(dc, FontHandle(font));
        if (!gdi.GetTextExtentPoint(dc, text.data(), static_cast<int>(text.size()), &size)) {
            size = {};
        }
    }
    if (screen) gdi.ReleaseDC(0, dc);
    return size;
}

std::int32_t LineHeight(const TFont& font, platform::DcHandle dc) {
    auto& gdi = platform::GdiApi();
    TSelectedObject selected(dc, FontHandle(font));
    platform::TextMetrics metrics;
    if (gdi.GetTextMetrics(dc, &metrics) && metrics.Height > 0) return metrics.Height;
    platform::Size size;
    if (gdi.GetTextExtentPoint(dc, "0", 1, &size) && size.Cy > 0) return size.Cy;
    return FontHeight(font) < 0 ? -FontHeight(font) : FontHeight(font);
}

}  // namespace qmk
