#include "app/QMKForm.h"

#include <new>
#include <string>
#include <vector>

#include "app/AppIcon.h"
#include "app/BenchmarkRun.h"

namespace qmk {

TQMKForm* QMKForm = nullptr;

namespace {

// ボタンを押すとベンチマークを開始します。
constexpr char InstructionText[] =
    "\x83\x7b\x83\x5e\x83\x93\x82\xf0\x89\x9f\x82\xb7\x82\xc6\x83\x78\x83\x93\x83\x60\x83\x7d"
    "\x81\x5b\x83\x4e\x82\xf0\x8a\x4a\x8e\x6e\x82\xb5\x82\xdc\x82\xb7\x81\x42";
// あなたのシステム
constexpr char YourSystemText[] = "\x82\xa0\x82\xc8\x82\xbd\x82\xcc\x83\x56\x83\x58\x83\x65\x83\x80";
// ＣＰＵ：1992
constexpr char CpuReferenceText[] = "\x82\x62\x82\x6f\x82\x74\x81\x46" "1992";
// ビデオ：2370
constexpr char VideoReferenceText[] = "\x83\x72\x83\x66\x83\x49\x81\x46" "2370";
// 結果の数値はパフォーマンス
constexpr char NoteFirstText[] =
    "\x8c\x8b\x89\xca\x82\xcc\x90\x94\x92\x6c\x82\xcd\x83\x70\x83\x74\x83\x48\x81\x5b\x83\x7d"
    "\x83\x93\x83\x58";
// の高さに比例します。
constexpr char NoteSecondText[] =
    "\x82\xcc\x8d\x82\x82\xb3\x82\xc9\x94\xe4\x97\xe1\x82\xb5\x82\xdc\x82\xb7\x81\x42";

TFontDescription Font(const char* name, std::int32_t height, TColor color, bool bold = false) {
    return {name, height, color, bold};
}

// Each row of the control table names only the properties that control
// sets; the others keep their class defaults, as in a stored description.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

TFormDescription BuildDescription() {
    TFormDescription form;
    form.ClassName = "TQMKForm";
    form.Name = "QMKForm";
    form.Caption = QMKCaptionText;
    form.ClientWidth = 400;
    form.ClientHeight = 152;
    form.Left = 194;
    form.Top = 150;
    form.Position = TPosition::poScreenCenter;
    form.BorderStyle = TBorderStyle::bsDialog;
    form.ActiveControl = "StartButton";
    form.Color = clSilver;
    form.Font = Font(PGothicFontName, -12, clWindowText);
    form.Icon = MainIcon();
    form.PixelsPerInch = 96;
    form.TextHeight = 12;
    form.Events = {{"OnCreate", "FormCreate"}, {"OnClose", "FormClose"}};

    // Positions and sizes as laid out at 96 pixels per inch with a 12-pixel
    // "0"; AdaptToScreen rescales them.
    form.Controls = {
        {.ClassName = "TLabel", .Name = "Label1", .Left = 16, .Top = 16, .Width = 380, .Height = 19,
         .Caption = InstructionText, .Font = Font(GothicFontName, -19, clNavy), .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label2", .Left = 48, .Top = 94, .Width = 90, .Height = 12,
         .Caption = YourSystemText},
        {.ClassName = "TLabel", .Name = "Label3", .Left = 192, .Top = 84, .Width = 95, .Height = 12,
         .Caption = "Cyrix6x86 133MHz", .Font = Font(PGothicFontName, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label4", .Left = 208, .Top = 115, .Width = 72, .Height = 12,
         .Caption = CpuReferenceText, .Font = Font(GothicFontName, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label5", .Left = 208, .Top = 130, .Width = 72, .Height = 12,
         .Caption = VideoReferenceText, .Font = Font(GothicFontName, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label6", .Left = 136, .Top = 48, .Width = 148, .Height = 12,
         .Caption = NoteFirstText, .Font = Font(PGothicFontName, -12, clMaroon),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label7", .Left = 136, .Top = 64, .Width = 108, .Height = 12,
         .Caption = NoteSecondText, .Font = Font(PGothicFontName, -12, clMaroon),
         .ParentFont = false},
        {.ClassName = "TLabel", .Name = "Label8", .Left = 192, .Top = 96, .Width = 108, .Height = 12,
         .Caption = "S3 868 2MB 65K Col.", .Font = Font(PGothicFontName, -12, clPurple),
         .ParentFont = false},
        {.ClassName = "TButton", .Name = "StartButton", .Left = 8, .Top = 48, .Width = 121,
         .Height = 33, .Caption = StartButtonText, .Font = Font(GothicFontName, -16, clBlack, true),
         .ParentFont = false, .TabOrder = 0, .Events = {{"OnClick", "StartButtonClick"}}},
        {.ClassName = "TMemo", .Name = "Kekka", .Left = 8, .Top = 112, .Width = 177, .Height = 33,
         .Font = Font(GothicFontName, -13, clWhite), .ParentFont = false, .Color = clTeal,
         .TabOrder = 1, .ReadOnly = true,
         .Lines = std::vector<std::string>{KekkaCpuLabel, KekkaVideoLabel}},
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
    RunBenchmark(*workBitmap_, *PaintBox1, *Kekka);
}

}  // namespace qmk
