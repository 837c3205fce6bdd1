#include "app/QMKForm.h"

#include <new>
#include <string>
#include <vector>

#include "app/AppIcon.h"
#include "app/BenchmarkRun.h"
#include "runtime/ProgramTexts.h"

namespace qmk {

TQMKForm* QMKForm = nullptr;

namespace {

std::string Text(const texts::ProgramText& text) { return std::string(text.Cp932); }

TFontDescription Font(const texts::ProgramText& name, std::int32_t height, TColor color,
                      bool bold = false) {
    return {Text(name), height, color, bold};
}

// Each row of the control table names only the properties that control
// sets; the others keep their class defaults, as in a stored description.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

TFormDescription BuildDescription() {
    TFormDescription form;
    form.ClassName = "TQMKForm";
    form.Name = "QMKForm";
    form.Caption = Text(texts::MainWindowCaption);
    form.ClientWidth = 400;
    form.ClientHeight = 152;
    form.Left = 194;
    form.Top = 150;
    form.Position = TPosition::poScreenCenter;
    form.BorderStyle = TBorderStyle::bsDialog;
    form.ActiveControl = "StartButton";
    form.Color = clSilver;
    form.Font = Font(texts::ProportionalGothic, -12, clWindowText);
    form.Icon = MainIcon();
    form.PixelsPerInch = 96;
    form.TextHeight = 12;
    form.Events = {{"OnCreate", "FormCreate"}, {"OnClose", "FormClose"}};

    // Positions and sizes as laid out at 96 pixels per inch with a 12-pixel
    // "0"; AdaptToScreen rescales them.
    form.Controls = {
        {.ClassName = "TLabel", .Name = "Label1", .Left = 16, .Top = 16, .Width = 380, .Height = 19,
         .Caption = Text(texts::Instruction), .Font = Font(texts::FixedGothic, -19, clNavy),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label2", .Left = 48, .Top = 94, .Width = 90, .Height = 12,
         .Caption = Text(texts::YourSystem)},
        {.ClassName = "TLabel", .Name = "Label3", .Left = 192, .Top = 84, .Width = 95, .Height = 12,
         .Caption = "Cyrix6x86 133MHz", .Font = Font(texts::ProportionalGothic, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label4", .Left = 208, .Top = 115, .Width = 72, .Height = 12,
         .Caption = Text(texts::CpuReference), .Font = Font(texts::FixedGothic, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label5", .Left = 208, .Top = 130, .Width = 72, .Height = 12,
         .Caption = Text(texts::VideoReference), .Font = Font(texts::FixedGothic, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label6", .Left = 136, .Top = 48, .Width = 148, .Height = 12,
         .Caption = Text(texts::NoteFirst), .Font = Font(texts::ProportionalGothic, -12, clMaroon),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label7", .Left = 136, .Top = 64, .Width = 108, .Height = 12,
         .Caption = Text(texts::NoteSecond), .Font = Font(texts::ProportionalGothic, -12, clMaroon),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label8", .Left = 192, .Top = 96, .Width = 108, .Height = 12,
         .Caption = "S3 868 2MB 65K Col.", .Font = Font(texts::ProportionalGothic, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TButton", .Name = "StartButton", .Left = 8, .Top = 48, .Width = 121,
         .Height = 33, .Caption = Text(texts::StartButton),
         .Font = Font(texts::FixedGothic, -16, clBlack, true),
         .ParentFont = false, .TabOrder = 0, .Events = {{"OnClick", "StartButtonClick"}}},
        {.ClassName = "TMemo", .Name = "Kekka", .Left = 8, .Top = 112, .Width = 177, .Height = 33,
         .Font = Font(texts::FixedGothic, -13, clWhite), .ParentFont = false, .Color = clTeal,
         .TabOrder = 1, .ReadOnly = true,
         .Lines = std::vector<std::string>{Text(texts::CpuLabel), Text(texts::VideoLabel)}},
        {.ClassName = "TPanel", .Name = "Panel1", .Left = 304, .Top = 48, .Width = 89, .Height = 97,
         .TabOrder = 2},
        {.ClassName = "TPaintBox", .Name = "PaintBox1", .Parent = "Panel1", .Left = 1, .Top = 1,
         .Width = 87, .Height = 95, .Color = clMaroon, .ParentColor = false},
    };
    return form;
}

#pragma GCC diagnostic pop

}  // namespace

const TFormDescription& QMKFormDescription() {
    static const TFormDescription description = BuildDescription();
    return description;
}

void* TQMKForm::operator new(std::size_t size) {
    void* storage = ::operator new(size);
    QMKForm = static_cast<TQMKForm*>(storage);
    return storage;
}

void TQMKForm::operator delete(void* storage) noexcept {
    if (static_cast<void*>(QMKForm) == storage) QMKForm = nullptr;
    ::operator delete(storage);
}

TQMKForm::TQMKForm() : TForm("QMKForm") {
    Bind("Label1", Label1);
    Bind("StartButton", StartButton);
    Bind("Kekka", Kekka);
    Bind("Label2", Label2);
    Bind("Label3", Label3);
    Bind("Label4", Label4);
    Bind("Label5", Label5);
    Bind("Label6", Label6);
    Bind("Label7", Label7);
    Bind("Panel1", Panel1);
    Bind("PaintBox1", PaintBox1);
    Bind("Label8", Label8);
    Handler("FormCreate", &TQMKForm::FormCreate);
    Handler("FormClose", &TQMKForm::FormClose);
    Handler("StartButtonClick", &TQMKForm::StartButtonClick);
    ReadDescription(QMKFormDescription());
}

TQMKForm::~TQMKForm() {
    // The bitmap goes before the controls; the window variable never
    // points at a form being destroyed.
    workBitmap_.reset();
    if (QMKForm == this) QMKForm = nullptr;
}

void TQMKForm::FormCreate(TControl&) {
    // Stored before it is sized: if sizing fails, FormClose still finds and
    // releases it.
    workBitmap_ = std::make_unique<TBitmap>();
    workBitmap_->SetWidth(PaintBox1->Width() * 2);
    workBitmap_->SetHeight(PaintBox1->Height() * 2);
    PaintBox1->SetVisible(true);
}

void TQMKForm::FormClose(TControl&, TCloseAction&) { workBitmap_.reset(); }

void TQMKForm::StartButtonClick(TControl&) {
    // A click still queued when the close was accepted arrives after
    // FormClose: the bitmap is gone and there is nothing to run on.
    if (!workBitmap_) return;
    lastSamples_ = {};
    RunBenchmark(*workBitmap_, *PaintBox1, *Kekka, &lastSamples_, OnPhaseStart);
}

}  // namespace qmk
