#include "platform/x11/X11Fonts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "runtime/Cp932.h"

namespace qmk::platform::x11 {

namespace {

// Faces whose metrics match the Japanese system fonts, then any Japanese
// face, so that Japanese text shows whatever is installed. The Ume Gothic
// pair was chosen by measuring every text of the main window in the
// Japanese faces Debian packages, at 96 and 120 pixels per inch: its
// texts take exactly the sizes the window was laid out for at 96 (an
// em-high cell, and Latin letters as narrow as the design's, so
// "S3 868 2MB 65K Col." ends before the panel), and at 120 no label
// reaches another control. The IPA Gothic pair, also em-high but with
// broader Latin letters, comes next.
const char* const ProportionalSubstitutes[] = {"Ume P Gothic", "IPAPGothic", "IPA Pゴシック",
                                               "IPA P Gothic"};
const char* const FixedSubstitutes[] = {"Ume Gothic", "IPAGothic", "IPAゴシック", "IPA Gothic"};
const char* const JapaneseFallbacks[] = {"Noto Sans CJK JP", "Noto Sans JP", "VL PGothic",
                                         "VL Gothic", "TakaoPGothic", "TakaoGothic",
                                         "Droid Sans Fallback"};

constexpr std::uint8_t FixedPitch = 1;  // low bits of LogFont::PitchAndFamily
constexpr std::int32_t DefaultEm = 12;  // a LogFont height of 0

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// A Japanese face name without the "P" of the proportional variant names
// the fixed-pitch font, as do the usual Latin spellings of it.
bool LooksFixedPitch(std::string_view face) {
    if (Contains(face, "\xEF\xBC\xB0") || Contains(face, "PGothic") || Contains(face, "P Gothic"))
        return false;  // U+FF30 fullwidth P
    return Contains(face, "\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF") ||  // ゴシック
           Contains(face, "Gothic") || Contains(face, "Mincho") ||
           Contains(face, "\xE6\x98\x8E\xE6\x9C\x9D");  // 明朝
}

}  // namespace

std::vector<std::string> FamiliesFor(std::string_view faceUtf8, bool fixedPitch) {
    std::vector<std::string> families;
    if (!faceUtf8.empty()) families.emplace_back(faceUtf8);
    const bool fixed = fixedPitch || LooksFixedPitch(faceUtf8);
    if (fixed) {
        for (const char* f : FixedSubstitutes) families.emplace_back(f);
    } else {
        for (const char* f : ProportionalSubstitutes) families.emplace_back(f);
    }
    for (const char* f : JapaneseFallbacks) families.emplace_back(f);
    return families;
}

X11Font::X11Font(Display* display, int screen, const LogFont& font)
    : display_(display), request_(font) {
    const std::string face = Cp932ToUtf8(
        std::string_view(font.FaceName, strnlen(font.FaceName, sizeof font.FaceName)));
    const auto families = FamiliesFor(face, (font.PitchAndFamily & 3) == FixedPitch);

    auto open = [&](double pixelSize) -> XftFont* {
        FcPattern* pattern = FcPatternCreate();
        for (const auto& family : families)
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
        FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelSize);
        FcPatternAddInteger(pattern, FC_WEIGHT, font.Weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcResult result = FcResultNoMatch;
        FcPattern* matched = XftFontMatch(display_, screen, pattern, &result);
        FcPatternDestroy(pattern);
        if (matched == nullptr) return nullptr;
        XftFont* opened = XftFontOpenPattern(display_, matched);  // owns matched on success
        if (opened == nullptr) FcPatternDestroy(matched);
        return opened;
    };

    // A negative height is the em (the character height without internal
    // leading); a positive one is the whole cell, so the em follows from the
    // face's ascent and descent, which takes a first opening to learn.
    double pixelSize = font.Height < 0 ? -static_cast<double>(font.Height)
                       : font.Height > 0 ? static_cast<double>(font.Height)
                                         : DefaultEm;
    font_ = open(pixelSize);
    if (font_ == nullptr) throw std::runtime_error("no font for the request");
    if (font.Height > 0) {
        double cellPerEm = 1.0;
        if (FT_Face face = XftLockFace(font_); face != nullptr) {
            if (FT_IS_SCALABLE(face) && face->units_per_EM > 0 && face->ascender - face->descender > 0)
                cellPerEm = static_cast<double>(face->ascender - face->descender) / face->units_per_EM;
            XftUnlockFace(font_);
        }
        const double em = std::round(font.Height / cellPerEm);
        if (em != pixelSize && em > 0) {
            if (XftFont* resized = open(em)) {
                XftFontClose(display_, font_);
                font_ = resized;
                pixelSize = em;
            }
        }
    }
    ComputeMetrics(pixelSize);
    FcChar8* family = nullptr;
    if (FcPatternGetString(font_->pattern, FC_FAMILY, 0, &family) == FcResultMatch && family)
        family_ = reinterpret_cast<const char*>(family);
}

X11Font::~X11Font() {
    if (font_ != nullptr) XftFontClose(display_, font_);
}

// Xft rounds ascent and descent up separately, so a face whose ascent and
// descent add up to exactly one em (the IPA Gothic faces: 1802 + 246 of
// 2048 units) reports a cell one pixel taller than the em: 13 at 12
// pixels. The classic cell height is the face's ascent plus descent scaled
// and rounded as one, which gives 12 for these faces at 12 pixels and 15 at
// 15, as the Japanese system fonts measure. So the cell is taken from the
// face's own units wherever the face is scalable, and from Xft's rounded
// figures only for bitmap faces.
void X11Font::ComputeMetrics(double pixelSize) {
    const std::int32_t em = static_cast<std::int32_t>(std::lround(pixelSize));
    FontMetrics m;
    bool fromFace = false;
    if (FT_Face face = XftLockFace(font_); face != nullptr) {
        if (FT_IS_SCALABLE(face) && face->units_per_EM > 0) {
            const double scale = pixelSize / face->units_per_EM;
            const long designCell = face->ascender - face->descender;
            m.Height = static_cast<std::int32_t>(std::lround(designCell * scale));
            m.Ascent = static_cast<std::int32_t>(std::lround(face->ascender * scale));
            m.Descent = m.Height - m.Ascent;
            m.ExternalLeading = std::max<std::int32_t>(
                0, static_cast<std::int32_t>(std::lround((face->height - designCell) * scale)));
            fromFace = m.Height > 0 && m.Descent >= 0;
        }
        XftUnlockFace(font_);
    }
    if (!fromFace) {
        m.Ascent = font_->ascent;
        m.Descent = font_->descent;
        m.Height = m.Ascent + m.Descent;
        m.ExternalLeading = std::max(0, font_->height - m.Height);
    }
    m.InternalLeading = std::max(0, m.Height - em);
    m.AveCharWidth = TextWidth("x");
    m.MaxCharWidth = font_->max_advance_width;
    metrics_ = m;
}

std::int32_t X11Font::TextWidth(std::string_view utf8) const {
    if (utf8.empty()) return 0;
    XGlyphInfo info{};
    XftTextExtentsUtf8(display_, font_, reinterpret_cast<const FcChar8*>(utf8.data()),
                       static_cast<int>(utf8.size()), &info);
    return info.xOff;
}

const std::string& TextCache::Utf8(std::string_view cp932) {
    if (cp932.size() > MaxKeptLength) {
        scratch_ = Cp932ToUtf8(cp932);
        return scratch_;
    }
    auto found = entries_.find(cp932);
    if (found != entries_.end()) return found->second;
    if (entries_.size() >= MaxEntries) entries_.clear();
    return entries_.emplace(std::string(cp932), Cp932ToUtf8(cp932)).first->second;
}

XftColorCache::~XftColorCache() {
    for (auto& [value, color] : colors_)
        XftColorFree(display_.Dpy(), display_.VisualOf(), display_.ColormapOf(), &color);
}

const XftColor* XftColorCache::Get(ColorRef color) {
    auto found = colors_.find(color);
    if (found != colors_.end()) return &found->second;
    XRenderColor value;
    value.red = static_cast<unsigned short>((color & 0xFFu) * 257u);
    value.green = static_cast<unsigned short>(((color >> 8) & 0xFFu) * 257u);
    value.blue = static_cast<unsigned short>(((color >> 16) & 0xFFu) * 257u);
    value.alpha = 0xFFFF;
    XftColor allocated{};
    if (!XftColorAllocValue(display_.Dpy(), display_.VisualOf(), display_.ColormapOf(), &value,
                            &allocated))
        return nullptr;
    return &colors_.emplace(color, allocated).first->second;
}

}  // namespace qmk::platform::x11
