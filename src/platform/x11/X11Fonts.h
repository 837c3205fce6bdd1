// Fonts and text for X11Gdi: Xft fonts found through fontconfig, their
// metrics in the classic sense, text colours and the conversion of the
// program's code page 932 texts to the UTF-8 that Xft draws.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <X11/Xft/Xft.h>

#include "platform/Types.h"
#include "platform/x11/X11Display.h"

namespace qmk::platform::x11 {

// Metrics of an opened font, in pixels, with the classic meanings: Height is
// the cell height (ascent + descent), InternalLeading the part of it above
// the character height (the em), ExternalLeading the recommended gap
// between lines.
struct FontMetrics {
    std::int32_t Height = 0;
    std::int32_t Ascent = 0;
    std::int32_t Descent = 0;
    std::int32_t InternalLeading = 0;
    std::int32_t ExternalLeading = 0;
    std::int32_t AveCharWidth = 0;
    std::int32_t MaxCharWidth = 0;
};

// The fontconfig families asked for a face name, in order: the name itself
// and then metric-compatible Japanese substitutes, so Japanese text always
// shows. faceUtf8 is the face name already converted to UTF-8.
std::vector<std::string> FamiliesFor(std::string_view faceUtf8, bool fixedPitch);

// An Xft font opened for a LogFont. Owns the XftFont.
class X11Font {
public:
    X11Font(Display* display, int screen, const LogFont& font);
    ~X11Font();
    X11Font(const X11Font&) = delete;
    X11Font& operator=(const X11Font&) = delete;

    XftFont* Xft() const { return font_; }
    const FontMetrics& Metrics() const { return metrics_; }
    const LogFont& Request() const { return request_; }
    // The family fontconfig actually chose.
    const std::string& Family() const { return family_; }
    // Advance width of UTF-8 text.
    std::int32_t TextWidth(std::string_view utf8) const;

private:
    void ComputeMetrics(double pixelSize);

    Display* display_;
    XftFont* font_ = nullptr;
    LogFont request_;
    FontMetrics metrics_;
    std::string family_;
};

// Code page 932 texts converted to UTF-8, with the short texts of labels,
// buttons and result lines kept, since they are drawn again on every paint.
class TextCache {
public:
    const std::string& Utf8(std::string_view cp932);

private:
    // Transparent, so a repaint looks its text up without building a key.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    static constexpr std::size_t MaxEntries = 512;
    static constexpr std::size_t MaxKeptLength = 256;
    std::unordered_map<std::string, std::string, Hash, std::equal_to<>> entries_;
    std::string scratch_;
};

// XftColors by colour value; on a TrueColor visual allocating one is a
// computation, but Xft wants them kept and freed.
class XftColorCache {
public:
    explicit XftColorCache(const X11Display& display) : display_(display) {}
    ~XftColorCache();
    XftColorCache(const XftColorCache&) = delete;
    XftColorCache& operator=(const XftColorCache&) = delete;

    const XftColor* Get(ColorRef color);

private:
    const X11Display& display_;
    std::unordered_map<ColorRef, XftColor> colors_;
};

}  // namespace qmk::platform::x11
