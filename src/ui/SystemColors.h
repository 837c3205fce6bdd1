// The one place the controls turn colours into platform colour values. A
// system colour (clBtnFace, clBtnHighlight, clBtnShadow, cl3DDkShadow,
// clWindowText, ...) is looked up when used, so it follows the current
// system setting.
#pragma once

#include "graphics/Color.h"
#include "platform/Types.h"

namespace qmk {

inline platform::ColorRef ColorRefOf(TColor color) { return ColorToColorRef(color); }

}  // namespace qmk
