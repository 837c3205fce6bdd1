// A form and its controls described as data, the way the program stores its
// window: each control with its class, name, parent and the properties the
// description sets; events name their handlers, which the form class
// registers by name. TForm::ReadDescription builds the form from it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "graphics/Color.h"
#include "ui/Icon.h"

namespace qmk {

enum class TPosition { poDesigned, poScreenCenter };
enum class TBorderStyle { bsSizeable, bsDialog };

struct TFontDescription {
    std::string Name;  // code page 932
    std::int32_t Height = -12;
    TColor Color = clWindowText;
    bool Bold = false;
};

struct TControlDescription {
    std::string ClassName;  // "TLabel", "TButton", "TMemo", "TPanel", "TPaintBox"
    std::string Name;
    std::string Parent;  // component name; empty for the form
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::optional<std::string> Caption;  // Caption or Text, code page 932
    std::optional<TFontDescription> Font;
    std::optional<bool> ParentFont;
    std::optional<TColor> Color;
    std::optional<bool> ParentColor;
    std::optional<std::int32_t> TabOrder;
    std::optional<bool> TabStop;
    std::optional<bool> ReadOnly;
    std::optional<std::vector<std::string>> Lines;  // TMemo, code page 932
    std::map<std::string, std::string> Events;      // "OnClick" -> handler name
};

struct TFormDescription {
    std::string ClassName;  // "TQMKForm"
    std::string Name;       // "QMKForm"
    std::string Caption;    // code page 932
    std::int32_t ClientWidth = 0;
    std::int32_t ClientHeight = 0;
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    TPosition Position = TPosition::poDesigned;
    TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
    std::string ActiveControl;  // component name
    TColor Color = clBtnFace;
    TFontDescription Font;
    TIconData Icon;
    std::int32_t PixelsPerInch = 96;
    std::int32_t TextHeight = 12;
    std::map<std::string, std::string> Events;  // "OnCreate", "OnClose"
    std::vector<TControlDescription> Controls;  // in creation order
};

}  // namespace qmk
