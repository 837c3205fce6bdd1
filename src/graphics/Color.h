// Colour values of the drawing layer. A TColor is either an explicit colour
// 0x00BBGGRR or, with bit 31 set, a system colour looked up when it is used.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace qmk {

using TColor = std::int32_t;

// The TColor that stands for system colour `index` (syscolor::).
constexpr TColor SystemColorValue(int index) {
    return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index));
}

inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clMaroon = 0x00000080;
inline constexpr TColor clGreen = 0x00008000;
inline constexpr TColor clOlive = 0x00008080;
inline constexpr TColor clNavy = 0x00800000;
inline constexpr TColor clPurple = 0x00800080;
inline constexpr TColor clTeal = 0x00808000;
inline constexpr TColor clGray = 0x00808080;
inline constexpr TColor clSilver = 0x00C0C0C0;
inline constexpr TColor clRed = 0x000000FF;
inline constexpr TColor clLime = 0x0000FF00;
inline constexpr TColor clYellow = 0x0000FFFF;
inline constexpr TColor clBlue = 0x00FF0000;
inline constexpr TColor clFuchsia = 0x00FF00FF;
inline constexpr TColor clAqua = 0x00FFFF00;
inline constexpr TColor clWhite = 0x00FFFFFF;

inline constexpr TColor clScrollBar = SystemColorValue(platform::syscolor::ScrollBar);
inline constexpr TColor clBackground = SystemColorValue(platform::syscolor::Background);
inline constexpr TColor clActiveCaption = SystemColorValue(platform::syscolor::ActiveCaption);
inline constexpr TColor clInactiveCaption = SystemColorValue(platform::syscolor::InactiveCaption);
inline constexpr TColor clMenu = SystemColorValue(platform::syscolor::Menu);
inline constexpr TColor clWindow = SystemColorValue(platform::syscolor::Window);
inline constexpr TColor clWindowFrame = SystemColorValue(platform::syscolor::WindowFrame);
inline constexpr TColor clMenuText = SystemColorValue(platform::syscolor::MenuText);
inline constexpr TColor clWindowText = SystemColorValue(platform::syscolor::WindowText);
inline constexpr TColor clCaptionText = SystemColorValue(platform::syscolor::CaptionText);
inline constexpr TColor clActiveBorder = SystemColorValue(platform::syscolor::ActiveBorder);
inline constexpr TColor clInactiveBorder = SystemColorValue(platform::syscolor::InactiveBorder);
inline constexpr TColor clAppWorkSpace = SystemColorValue(platform::syscolor::AppWorkspace);
inline constexpr TColor clHighlight = SystemColorValue(platform::syscolor::Highlight);
inline constexpr TColor clHighlightText = SystemColorValue(platform::syscolor::HighlightText);
inline constexpr TColor clBtnFace = SystemColorValue(platform::syscolor::BtnFace);
inline constexpr TColor clBtnShadow = SystemColorValue(platform::syscolor::BtnShadow);
inline constexpr TColor clGrayText = SystemColorValue(platform::syscolor::GrayText);
inline constexpr TColor clBtnText = SystemColorValue(platform::syscolor::BtnText);
inline constexpr TColor clInactiveCaptionText = SystemColorValue(platform::syscolor::InactiveCaptionText);
inline constexpr TColor clBtnHighlight = SystemColorValue(platform::syscolor::BtnHighlight);
inline constexpr TColor cl3DDkShadow = SystemColorValue(platform::syscolor::DkShadow3D);
inline constexpr TColor cl3DLight = SystemColorValue(platform::syscolor::Light3D);
inline constexpr TColor clInfoText = SystemColorValue(platform::syscolor::InfoText);
inline constexpr TColor clInfoBk = SystemColorValue(platform::syscolor::InfoBk);

// Not a colour: passed on unchanged, the platform decides what it draws.
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// A system colour is looked up on every use, so a change of the system
// scheme shows at the next drawing operation.
inline platform::ColorRef ColorToColorRef(TColor color) {
    if (color < 0) return platform::GdiApi().GetSysColor(color & 0xFF);
    return static_cast<platform::ColorRef>(color);
}

}  // namespace qmk
