// The main window: the instruction, the start button, the result box, the
// labels naming the reference machine, and the bevelled panel whose paint
// box the video test draws on. It owns WorkBitmap, the off-screen bitmap of
// the tests, from FormCreate to FormClose.
#pragma once

#include <cstddef>
#include <memory>

#include "app/BenchmarkRun.h"
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

    // The per-second counts of the last click's run (zeros until a run
    // has ended; a run that failed leaves what it had), kept in memory for
    // the command-line runner only.
    const BenchmarkSamples& LastSamples() const { return lastSamples_; }
    // Told as each phase of a click's run begins (the runner's progress).
    PhaseHook OnPhaseStart;

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
    BenchmarkSamples lastSamples_;
};

// The one main window of the process (null while there is none).
extern TQMKForm* QMKForm;

// The main window's description: the window's properties and its controls
// in creation order, texts in code page 932.
const TFormDescription& QMKFormDescription();

}  // namespace qmk
