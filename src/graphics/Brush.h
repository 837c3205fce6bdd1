// The brush of a canvas: colour and style.
#pragma once

#include <cstdint>

#include "graphics/Color.h"
#include "graphics/GraphicsObject.h"

namespace qmk {

enum class TBrushStyle : std::uint8_t { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal,
                                        bsBDiagonal, bsCross, bsDiagCross };

struct TBrushData {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
    std::uint8_t Reserved[3] = {};
};

class TBrush final : public TGraphicsObject {
public:
    TBrush();
    ~TBrush() override;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;

    void Assign(const TBrush& source);
    // The platform brush, made on first need with the colour's current value.
    platform::ObjectHandle GetHandle() const;

    TColor Color() const { return resource_->Value.Color; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return resource_->Value.Style; }
    void SetStyle(TBrushStyle style);

private:
    void Change(const TBrushData& data);

    TResource<TBrushData>* resource_;
};

extern TResourceManager<TBrushData> BrushManager;

}  // namespace qmk
