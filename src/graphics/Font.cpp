#include "graphics/Font.h"

#include <algorithm>
#include <cstring>

#include "runtime/MulDiv.h"
#include "runtime/ProgramTexts.h"

namespace qmk {

TResourceManager<TFontData> FontManager;

namespace {

std::int32_t screenLogPixels = 96;
std::int32_t defaultFontHeight = -12;

TFontData DefaultFontData() {
    TFontData data;
    data.Height = defaultFontHeight;
    const std::string_view name = texts::ProportionalGothic.Cp932;
    std::copy(name.begin(), name.end(), data.Name);
    return data;
}

}  // namespace

std::int32_t ScreenLogPixels() { return screenLogPixels; }
std::int32_t DefaultFontHeight() { return defaultFontHeight; }

void SetScreenLogPixels(std::int32_t pixelsPerInch) {
    screenLogPixels = pixelsPerInch;
    defaultFontHeight = -MulDiv(9, pixelsPerInch, 72);
}

TFont::TFont() : resource_(FontManager.Allocate(DefaultFontData())), pixelsPerInch_(screenLogPixels) {}

TFont::~TFont() { FontManager.Free(resource_); }

void TFont::Assign(const TFont& source) {
    if (&source == this) return;
    TResource<TFontData>* old = resource_;
    resource_ = source.resource_;
    ++resource_->RefCount;
    color_ = source.color_;
    if (pixelsPerInch_ != source.pixelsPerInch_) SetSize(source.Size());
    Changed();
    FontManager.Free(old);
}

platform::ObjectHandle TFont::GetHandle() const {
    if (resource_->Handle == 0) {
        const TFontData& data = resource_->Value;
        platform::LogFont font;
        font.Height = data.Height;
        font.Weight = (data.Style & fsBold) != 0 ? 700 : 400;
        font.Italic = (data.Style & fsItalic) != 0;
        font.Underline = (data.Style & fsUnderline) != 0;
        font.StrikeOut = (data.Style & fsStrikeOut) != 0;
        font.CharSet = data.Charset;
        // DEFAULT_PITCH 0, FIXED_PITCH 1, VARIABLE_PITCH 2.
        font.PitchAndFamily = data.Pitch == TFontPitch::fpFixed      ? 1
                              : data.Pitch == TFontPitch::fpVariable ? 2
                                                                     : 0;
        std::memcpy(font.FaceName, data.Name, sizeof font.FaceName);
        resource_->Handle = platform::GdiApi().CreateFontIndirect(font);
    }
    return resource_->Handle;
}

void TFont::SetData(const TFontData& data) { ChangeResource(FontManager, resource_, data); }

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TFont::SetHeight(std::int32_t height) {
    TFontData data = resource_->Value;
    data.Height = height;
    SetData(data);
}

std::int32_t TFont::Size() const { return -MulDiv(Height(), 72, pixelsPerInch_); }

void TFont::SetSize(std::int32_t points) { SetHeight(-MulDiv(points, pixelsPerInch_, 72)); }

void TFont::SetName(std::string_view name) {
    TFontData data = resource_->Value;
    std::memset(data.Name, 0, sizeof data.Name);
    std::memcpy(data.Name, name.data(), std::min(name.size(), sizeof data.Name - 1));
    SetData(data);
}

void TFont::SetStyle(TFontStyles style) {
    TFontData data = resource_->Value;
    data.Style = style & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
    SetData(data);
}

void TFont::SetPitch(TFontPitch pitch) {
    TFontData data = resource_->Value;
    data.Pitch = pitch;
    SetData(data);
}

void TFont::SetCharset(std::uint8_t charset) {
    TFontData data = resource_->Value;
    data.Charset = charset;
    SetData(data);
}

}  // namespace qmk
