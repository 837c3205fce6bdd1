// The table of the program's texts: each stored form reads as its readable
// form, and the readable form is stored as it is.
#include "runtime/ProgramTexts.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "runtime/Cp932.h"

namespace qmk::texts {
namespace {

TEST(ProgramTextsTest, EachStoredTextReadsAsItsReadableForm) {
    std::set<std::string_view> stored;
    for (const ProgramText* text : AllProgramTexts) {
        SCOPED_TRACE(std::string(text->Utf8));
        EXPECT_EQ(Cp932ToUtf8(text->Cp932), text->Utf8);
        EXPECT_EQ(Utf8ToCp932(text->Utf8), text->Cp932);
        EXPECT_TRUE(stored.insert(text->Cp932).second) << "stored twice";
    }
}

TEST(ProgramTextsTest, FormatTextFillsEachPlaceInTurnAndLeavesWhatArgumentsBring) {
    EXPECT_EQ(Cp932ToUtf8(FormatText(ParentRequired.Cp932, {"PaintBox1"})),
              "ｺﾝﾄﾛｰﾙ 'PaintBox1' は親ｳｨﾝﾄﾞｳを持っていません");
    EXPECT_EQ(FormatText("%s-%s", {"%s", "b"}), "%s-b");
    EXPECT_EQ(FormatText("%s and %s", {"a"}), "a and %s");
    EXPECT_EQ(FormatText("none", {"a"}), "none");
    EXPECT_EQ(FormatText("%s", {""}), "");
}

}  // namespace
}  // namespace qmk::texts
