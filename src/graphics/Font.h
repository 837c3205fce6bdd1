// A font: face name, height, colour and style. Usable on its own (controls
// keep one each) and as the font of a canvas.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/Color.h"
#include "graphics/GraphicsObject.h"

namespace qmk {

using TFontStyles = std::uint8_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

enum class TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };

inline constexpr std::uint8_t DefaultCharset = 1;
inline constexpr std::size_t FontNameCapacity = 32;  // with the terminating NUL

// The cached attribute record. The colour is not part of it: fonts that
// differ only in colour share one platform font.
struct TFontData {
    std::int32_t Height = 0;
    TFontPitch Pitch = TFontPitch::fpDefault;
    TFontStyles Style = 0;
    std::uint8_t Charset = DefaultCharset;
    std::uint8_t Reserved = 0;
    char Name[FontNameCapacity] = {};
};

// Screen pixels per inch and the default font height -MulDiv(9, ppi, 72),
// read by InitializeGraphics (96 and -12 until then).
std::int32_t ScreenLogPixels();
std::int32_t DefaultFontHeight();
void SetScreenLogPixels(std::int32_t pixelsPerInch);

class TFont final : public TGraphicsObject {
public:
    TFont();
    ~TFont() override;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    // Takes all attributes of the source (sharing its cache entry) and
    // reports one change.
    void Assign(const TFont& source);

    // The platform font, made on first need and shared with every font of
    // the same attributes.
    platform::ObjectHandle GetHandle() const;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    // Negative: character height in pixels; positive: cell height.
    std::int32_t Height() const { return resource_->Value.Height; }
    void SetHeight(std::int32_t height);
    // In points, at PixelsPerInch.
    std::int32_t Size() const;
    void SetSize(std::int32_t points);
    // Code page 932; longer names are cut to 31 bytes.
    std::string Name() const { return resource_->Value.Name; }
    void SetName(std::string_view name);
    TFontStyles Style() const { return resource_->Value.Style; }
    void SetStyle(TFontStyles style);
    TFontPitch Pitch() const { return resource_->Value.Pitch; }
    void SetPitch(TFontPitch pitch);
    std::uint8_t Charset() const { return resource_->Value.Charset; }
    void SetCharset(std::uint8_t charset);
    std::int32_t PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(std::int32_t pixelsPerInch) { pixelsPerInch_ = pixelsPerInch; }

    const TFontData& Data() const { return resource_->Value; }
    void SetData(const TFontData& data);

private:
    TResource<TFontData>* resource_;
    TColor color_ = clWindowText;
    std::int32_t pixelsPerInch_;
};

extern TResourceManager<TFontData> FontManager;

}  // namespace qmk
