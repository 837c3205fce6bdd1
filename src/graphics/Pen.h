// The pen of a canvas: colour, width, style and mix mode.
#pragma once

#include <cstdint>

#include "graphics/Color.h"
#include "graphics/GraphicsObject.h"

namespace qmk {

// In the order of the platform's pen styles 0 to 6.
enum class TPenStyle : std::uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear,
                                      psInsideFrame };
enum class TPenMode : std::uint8_t { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy,
                                     pmMergePenNot, pmMaskPenNot, pmMergeNotPen, pmMaskNotPen,
                                     pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor };

// The platform mix mode (r2::) of a pen mode.
int PenModeToRop2(TPenMode mode);

struct TPenData {
    TColor Color = clBlack;
    std::int32_t Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
    std::uint8_t Reserved[3] = {};
};

class TPen final : public TGraphicsObject {
public:
    TPen();
    ~TPen() override;
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;

    void Assign(const TPen& source);
    // The platform pen, made on first need with the colour's current value.
    platform::ObjectHandle GetHandle() const;

    TColor Color() const { return resource_->Value.Color; }
    void SetColor(TColor color);
    std::int32_t Width() const { return resource_->Value.Width; }
    void SetWidth(std::int32_t width);
    TPenStyle Style() const { return resource_->Value.Style; }
    void SetStyle(TPenStyle style);
    // Not part of the platform pen: the canvas sets it with SetROP2.
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode mode);

private:
    void Change(const TPenData& data);

    TResource<TPenData>* resource_;
    TPenMode mode_ = TPenMode::pmCopy;
};

extern TResourceManager<TPenData> PenManager;

}  // namespace qmk
