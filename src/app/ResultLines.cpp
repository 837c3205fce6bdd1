#include "app/ResultLines.h"

#include "runtime/NumberText.h"
#include "ui/Memo.h"

namespace qmk {

std::string ResultLineText(std::string_view label, std::int32_t score, std::int32_t reference) {
    std::string text(label);
    text += IntegerText(score);
    text += " (";
    text += FixedText(ScorePercentage(score, reference), 8, 2);
    text += "%)";
    return text;
}

void WriteResultLine(TMemo& results, std::int32_t line, std::string_view label,
                     std::int32_t reference, std::int32_t score) {
    results.Lines().ReplaceLine(line, ResultLineText(label, score, reference));
}

}  // namespace qmk
