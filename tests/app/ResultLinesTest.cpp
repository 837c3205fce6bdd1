// The result lines: label, score, percentage of the reference score.
#include <string>

#include <gtest/gtest.h>

#include "AppFixture.h"
#include "app/ResultLines.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"
#include "support/Readable.h"

namespace qmk::test {
namespace {

struct LineCase {
    bool Cpu;
    std::int32_t Score;
    const char* Rest;  // what follows the label
};

TEST(ResultLineTextTest, ScoreAndPercentageOfTheReference) {
    const LineCase cases[] = {
        {true, 1992, "1992 (100.00%)"},
        {true, 996, "996 (50.00%)"},
        {true, 1, "1 (0.05%)"},
        {true, 1000, "1000 (50.20%)"},
        {true, 12345, "12345 (619.73%)"},
        {true, 19920, "19920 (1000.00%)"},
        {true, 19920001, "19920001 (1000000.10%)"},
        {true, 1991999990, "1991999990 (99999999.00%)"},
        {true, 1991999991, "1991999991 (1E8%)"},
        {true, 2147483647, "2147483647 (1.078054E8%)"},
        {false, 1, "1 (0.04%)"},
        {false, 1185, "1185 (50.00%)"},
        {false, 4740, "4740 (200.00%)"},
        {false, 100000, "100000 (4219.41%)"},
        {false, 2147483647, "2147483647 (90611124.00%)"},
    };
    for (const LineCase& c : cases) {
        const std::string label = c.Cpu ? CpuLabelBytes : VideoLabelBytes;
        const std::int32_t reference = c.Cpu ? CpuReferenceScore : VideoReferenceScore;
        EXPECT_EQ(ResultLineText(c.Cpu ? texts::CpuLabel.Cp932 : texts::VideoLabel.Cp932, c.Score, reference), label + c.Rest)
            << c.Score;
    }
}

TEST(ResultLineTextTest, DecimalSeparatorFollowsTheLocale) {
    const char saved = DecimalSeparatorChar;
    DecimalSeparatorChar = ',';
    const std::string text = ResultLineText(texts::CpuLabel.Cp932, 12345, CpuReferenceScore);
    DecimalSeparatorChar = saved;
    EXPECT_EQ(Readable(text), "ＣＰＵ：12345 (619,73%)");
}

class WriteResultLineTest : public AppTest {};

TEST_F(WriteResultLineTest, ReplacesOnlyItsLine) {
    WriteResultLine(Memo(), VideoLine, texts::VideoLabel.Cp932, VideoReferenceScore, 2370);
    EXPECT_EQ(Readable(Line(0)), "ＣＰＵ：");
    EXPECT_EQ(Readable(Line(1)), "ビデオ：2370 (100.00%)");
    WriteResultLine(Memo(), CpuLine, texts::CpuLabel.Cp932, CpuReferenceScore, 996);
    EXPECT_EQ(Readable(Line(0)), "ＣＰＵ：996 (50.00%)");
    EXPECT_EQ(Readable(Line(1)), "ビデオ：2370 (100.00%)");
    EXPECT_EQ(Memo().Lines().Count(), 3);
}

}  // namespace
}  // namespace qmk::test
