// A demo form laid out like the program's main window, built from a window
// description, for the framework's tests.
#pragma once

#include <functional>
#include <string>

#include "runtime/ProgramTexts.h"
#include "support/ResultBoxLayout.h"
#include "ui/Button.h"
#include "ui/Form.h"
#include "ui/Label.h"
#include "ui/Memo.h"
#include "ui/PaintBox.h"
#include "ui/Panel.h"

namespace qmk::test {

inline const std::string PGothic(texts::ProportionalGothic.Cp932);
inline const std::string Gothic(texts::FixedGothic.Cp932);
inline const std::string StartText(texts::StartButton.Cp932);
inline const std::string CpuLabel(texts::CpuLabel.Cp932);
inline const std::string VideoLabel(texts::VideoLabel.Cp932);
inline const std::string YourSystem(texts::YourSystem.Cp932);

inline TFormDescription DemoDescription() {
    TFormDescription form;
    form.ClassName = "TDemoForm";
    form.Name = "DemoForm";
    form.Caption = "Demo";
    form.ClientWidth = 400;
    form.ClientHeight = 152;
    form.Left = 194;
    form.Top = 150;
    form.Position = TPosition::poScreenCenter;
    form.BorderStyle = TBorderStyle::bsDialog;
    form.ActiveControl = "StartButton";
    form.Color = clSilver;
    form.Font = {PGothic, -12, clWindowText, false};
    form.PixelsPerInch = 96;
    form.TextHeight = 12;
    form.Events = {{"OnCreate", "FormCreate"}, {"OnClose", "FormClose"}};

    auto label = [](std::string name, int l, int t, int w, int h, std::string text,
                    std::optional<TFontDescription> font) {
        TControlDescription c;
        c.ClassName = "TLabel";
        c.Name = std::move(name);
        c.Left = l;
        c.Top = t;
        c.Width = w;
        c.Height = h;
        c.Caption = std::move(text);
        if (font) {
            c.Font = font;
            c.ParentFont = false;
        }
        return c;
    };
    form.Controls.push_back(label("Label1", 16, 16, 380, 19, "Press the button", TFontDescription{Gothic, -19, clNavy, false}));
    form.Controls.push_back(label("Label2", 48, 94, 90, 12, YourSystem, std::nullopt));
    form.Controls.push_back(label("Label3", 192, 84, 95, 12, "Cyrix6x86 133MHz", TFontDescription{PGothic, -12, clPurple, false}));

    TControlDescription button;
    button.ClassName = "TButton";
    button.Name = "StartButton";
    button.Left = 8;
    button.Top = 48;
    button.Width = 121;
    button.Height = 33;
    button.Caption = StartText;
    button.Font = TFontDescription{Gothic, -16, clBlack, true};
    button.ParentFont = false;
    button.TabOrder = 0;
    button.Events = {{"OnClick", "StartButtonClick"}};
    form.Controls.push_back(button);

    form.Controls.push_back(ResultBoxDescription());
    form.Controls.push_back(PanelDescription());
    form.Controls.push_back(PaintBoxDescription());
    return form;
}

class TDemoForm : public TForm {
public:
    explicit TDemoForm(const TFormDescription& description = DemoDescription()) {
        Bind("Label1", Label1);
        Bind("Label2", Label2);
        Bind("Label3", Label3);
        Bind("StartButton", StartButton);
        Bind("Kekka", Kekka);
        Bind("Panel1", Panel1);
        Bind("PaintBox1", PaintBox1);
        Handler("FormCreate", &TDemoForm::FormCreate);
        Handler("FormClose", &TDemoForm::FormClose);
        Handler("StartButtonClick", &TDemoForm::StartButtonClick);
        ReadDescription(description);
    }

    void FormCreate(TControl&) {
        ++Created;
        if (OnCreateAction) OnCreateAction();
    }
    void FormClose(TControl&, TCloseAction& action) {
        ++Closed;
        ActionSeen = action;
    }
    void StartButtonClick(TControl&) {
        ++Clicks;
        if (OnClickAction) OnClickAction();
    }

    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TButton* StartButton = nullptr;
    TMemo* Kekka = nullptr;
    TPanel* Panel1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;

    int Created = 0;
    int Closed = 0;
    int Clicks = 0;
    TCloseAction ActionSeen = TCloseAction::caNone;
    // Static so a handler set before construction reaches FormCreate.
    static inline std::function<void()> OnCreateAction;
    std::function<void()> OnClickAction;
};

}  // namespace qmk::test
