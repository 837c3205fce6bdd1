// The main window: the instruction, the start button, the result box, the
// labels naming the reference machine, and the bevelled panel whose paint
// box the video test draws on. It owns WorkBitmap, the off-screen bitmap of
// the tests, from FormCreate to FormClose.
#pragma once

#include <cstddef>
#include <memory>

#include "graphics/Bitmap.h"
#include "ui/Button.h"
#include "ui/Form.h"
#include "ui/FormDescription.h"
#include "ui/Label.h"
#include "ui/Memo.h"
#include "ui/PaintBox.h"
#include "ui/Panel.h"

namespace qmk {

class TQMKForm : public TForm {
public:
    // Reads the window description: every control, AdaptToScreen, the
    // client size, then FormCreate. Create it through
    // TApplication::CreateForm<TQMKForm>() so the application owns it.
    TQMKForm();
    ~TQMKForm() override;

    // QMKForm points at the storage before the constructor runs, so that it
    // is valid inside FormCreate; a construction that fails clears it.
    static void* operator new(std::size_t size);
    static void operator delete(void* storage) noexcept;

    void FormCreate(TControl& Sender);
    void FormClose(TControl& Sender, TCloseAction& Action);
    void StartButtonClick(TControl& Sender);

    // Null before FormCreate and after FormClose.
    TBitmap* WorkBitmap() const { return workBitmap_.get(); }

    // The components, in the order of the class's declaration; the form
    // owns them.
    TLabel* Label1 = nullptr;
    TButton* StartButton = nullptr;
    TMemo* Kekka = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TLabel* Label4 = nullptr;
    TLabel* Label5 = nullptr;
    TLabel* Label6 = nullptr;
    TLabel* Label7 = nullptr;
    TPanel* Panel1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    TLabel* Label8 = nullptr;

private:
    std::unique_ptr<TBitmap> workBitmap_;
};

// The one main window of the process (null while there is none).
extern TQMKForm* QMKForm;

// The main window's description: the window's properties and its controls
// in creation order, texts in code page 932.
const TFormDescription& QMKFormDescription();

// Texts of the window that the tests and other parts of the program share
// (code page 932).
// Plimboのベンチマーク for 32bit Windows R1.0
inline constexpr char QMKCaptionText[] =
    "Plimbo\x82\xcc\x83\x78\x83\x93\x83\x60\x83\x7d\x81\x5b\x83\x4e for 32bit Windows R1.0";
// ＣＰＵ：
inline constexpr char KekkaCpuLabel[] = "\x82\x62\x82\x6f\x82\x74\x81\x46";
// ビデオ：
inline constexpr char KekkaVideoLabel[] = "\x83\x72\x83\x66\x83\x49\x81\x46";
// スタート
inline constexpr char StartButtonText[] = "\x83\x58\x83\x5e\x81\x5b\x83\x67";
// ＭＳ Ｐゴシック (proportional)
inline constexpr char PGothicFontName[] =
    "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
// ＭＳ ゴシック (fixed pitch)
inline constexpr char GothicFontName[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";

}  // namespace qmk
