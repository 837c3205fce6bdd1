// The main window's result box, and the panel with its paint box, as its
// window description lays them out: the tests' forms are built from the
// same pieces, so a change of the layout is made once.
#pragma once

#include <string>
#include <vector>

#include "graphics/Color.h"
#include "runtime/ProgramTexts.h"
#include "ui/FormDescription.h"

namespace qmk::test {

inline TControlDescription ResultBoxDescription() {
    TControlDescription memo;
    memo.ClassName = "TMemo";
    memo.Name = "Kekka";
    memo.Left = 8;
    memo.Top = 112;
    memo.Width = 177;
    memo.Height = 33;
    memo.Color = clTeal;
    memo.Font = TFontDescription{std::string(texts::FixedGothic.Cp932), -13, clWhite, false};
    memo.ParentFont = false;
    memo.ReadOnly = true;
    memo.TabOrder = 1;
    memo.Lines = std::vector<std::string>{std::string(texts::CpuLabel.Cp932),
                                          std::string(texts::VideoLabel.Cp932)};
    return memo;
}

inline TControlDescription PanelDescription() {
    TControlDescription panel;
    panel.ClassName = "TPanel";
    panel.Name = "Panel1";
    panel.Left = 304;
    panel.Top = 48;
    panel.Width = 89;
    panel.Height = 97;
    panel.TabOrder = 2;
    return panel;
}

inline TControlDescription PaintBoxDescription() {
    TControlDescription box;
    box.ClassName = "TPaintBox";
    box.Name = "PaintBox1";
    box.Parent = "Panel1";
    box.Left = 1;
    box.Top = 1;
    box.Width = 87;
    box.Height = 95;
    box.Color = clMaroon;
    box.ParentColor = false;
    return box;
}

}  // namespace qmk::test
