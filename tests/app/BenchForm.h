// A small form laid out like the main window's result box, panel and paint
// box, for the benchmark's tests and benchmarks on any backend; an
// independent model of the generator, so tests predict pixels and positions
// from the generator's formula rather than from the code under test; and
// clock fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"
#include "runtime/ProgramTexts.h"
#include "support/ResultBoxLayout.h"
#include "ui/Form.h"
#include "ui/FormDescription.h"
#include "ui/Memo.h"
#include "ui/PaintBox.h"
#include "ui/Panel.h"

namespace qmk::test {

inline const std::string GothicFace(texts::FixedGothic.Cp932);
inline const std::string CpuLabelBytes(texts::CpuLabel.Cp932);
inline const std::string VideoLabelBytes(texts::VideoLabel.Cp932);

inline TFormDescription BenchFormDescription() {
    TFormDescription form;
    form.ClassName = "TBenchForm";
    form.Name = "BenchForm";
    form.Caption = "Bench";
    form.ClientWidth = 400;
    form.ClientHeight = 152;
    form.BorderStyle = TBorderStyle::bsDialog;
    form.Color = clSilver;
    form.Font = {GothicFace, -12, clWindowText, false};

    form.Controls.push_back(ResultBoxDescription());
    form.Controls.push_back(PanelDescription());
    form.Controls.push_back(PaintBoxDescription());
    return form;
}

class TBenchForm : public TForm {
public:
    TBenchForm() {
        Bind("Kekka", Kekka);
        Bind("Panel1", Panel1);
        Bind("PaintBox1", PaintBox1);
        ReadDescription(BenchFormDescription());
    }
    TMemo* Kekka = nullptr;
    TPanel* Panel1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
};

// The generator's formula, written out again: state × 134775813 + 1, then
// the high half of range × state.
class GeneratorModel {
public:
    explicit GeneratorModel(std::uint32_t seed) : state_(seed) {}
    std::int32_t Draw(std::int32_t range) {
        state_ = state_ * 134775813u + 1u;
        return static_cast<std::int32_t>(
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(range)) * state_) >> 32);
    }
    std::uint32_t State() const { return state_; }

private:
    std::uint32_t state_;
};

inline platform::SystemTime At(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                               std::uint16_t milliseconds = 0) {
    platform::SystemTime time;
    time.Hour = hour;
    time.Minute = minute;
    time.Second = second;
    time.Milliseconds = milliseconds;
    return time;
}

}  // namespace qmk::test
