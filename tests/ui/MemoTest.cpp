// The result box: ReplaceLine by logical line, the message frame around it,
// selection and copying.
#include <gtest/gtest.h>

#include "DemoForm.h"
#include "UiFixture.h"
#include "graphics/ControlCanvas.h"
#include "runtime/Cp932.h"
#include "support/Readable.h"

namespace qmk::test {
namespace {

class MemoTest : public UiTest {
protected:
    void SetUp() override {
        Start();
        form_ = &application_->CreateForm<TDemoForm>();
        memo_ = form_->Kekka;
    }
    std::string Initial() const { return CpuLabel + "\r\n" + VideoLabel + "\r\n"; }

    TDemoForm* form_ = nullptr;
    TMemo* memo_ = nullptr;
};

struct ReplaceCase {
    const char* Name;
    int Index;
    std::string Text;
    std::string Expected;  // "$0"/"$1" stand for the initial lines
    int Caret;             // -1: unchanged
};

class ReplaceLineTest : public MemoTest, public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(ReplaceLineTest, ReplacesOnlyThatLogicalLine) {
    const ReplaceCase& c = GetParam();
    std::string expected = c.Expected;
    for (auto [key, value] : {std::pair{std::string("$0"), CpuLabel}, std::pair{std::string("$1"), VideoLabel}}) {
        for (std::size_t at = expected.find(key); at != std::string::npos; at = expected.find(key)) {
            expected.replace(at, 2, value);
        }
    }
    const std::int32_t caretBefore = memo_->CaretPos();
    memo_->Lines().ReplaceLine(c.Index, c.Text);
    EXPECT_EQ(memo_->Text(), expected);
    EXPECT_EQ(memo_->CaretPos(), c.Caret < 0 ? caretBefore : c.Caret);
    EXPECT_EQ(memo_->SelLength(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReplaceLineTest,
    ::testing::Values(ReplaceCase{"Line0", 0, "CPU 1992", "CPU 1992\r\n$1\r\n", 8},
                      ReplaceCase{"Line1", 1, "V 2370", "$0\r\nV 2370\r\n", 16},
                      ReplaceCase{"Line2AfterLastBreak", 2, "x", "$0\r\n$1\r\nx", 21},
                      ReplaceCase{"Line3DoesNothing", 3, "x", "$0\r\n$1\r\n", -1},
                      ReplaceCase{"NegativeDoesNothing", -1, "x", "$0\r\n$1\r\n", -1},
                      ReplaceCase{"EmptyText", 0, "", "\r\n$1\r\n", 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(MemoTest, WrappedLineZeroDoesNotShiftLineOne) {
    // Line 0 is much wider than the box and wraps over several display lines.
    const std::string longLine = CpuLabel + "1234 (56.78%) 1234 (56.78%) 1234 (56.78%) 1234";
    memo_->Lines().ReplaceLine(0, longLine);
    ASSERT_GT(memo_->DisplayLines().size(), 3u);
    memo_->Lines().ReplaceLine(1, VideoLabel + "2370");
    EXPECT_EQ(memo_->Text(), longLine + "\r\n" + VideoLabel + "2370\r\n");
    EXPECT_EQ(memo_->Lines().Get(0), longLine);
    EXPECT_EQ(Readable(memo_->Lines().Get(1)), "ビデオ：2370");
    EXPECT_EQ(memo_->Lines().Count(), 3);
}

TEST_F(MemoTest, WrappedResultStaysBelowTheFirstLineUntilTheUserMovesThere) {
    memo_->Lines().ReplaceLine(0, CpuLabel + "1992 (100.00%)");
    memo_->Lines().ReplaceLine(1, VideoLabel + "1234567 (52091.42%) 1234567");
    ASSERT_EQ(memo_->DisplayLines().size(), 4u);  // line 1 takes two rows
    // The write leaves the caret on the half-visible third row and keeps
    // the first line in view.
    EXPECT_EQ(memo_->TopLine(), 0);
    // Moving the caret there brings that row wholly into view.
    form_->SetActiveControl(memo_);
    memo_->SetSelection(0, 0);
    const auto window = memo_->Handle();
    Send(Key(window, platform::vk::Down, true));
    EXPECT_EQ(memo_->TopLine(), 0);
    Send(Key(window, platform::vk::Down, true));
    EXPECT_EQ(memo_->TopLine(), 1);
    Send(Key(window, platform::vk::Up, true));
    Send(Key(window, platform::vk::Up, true));
    EXPECT_EQ(memo_->TopLine(), 0);
}

TEST_F(MemoTest, ReplaceLineRunsInTheMessageFrame) {
    // A canvas that borrowed a window context during a run gives it back
    // when the result line is written.
    form_->PaintBox1->Canvas().GetHandle();
    ASSERT_EQ(LiveWindowContexts().size(), 1u);
    memo_->Lines().ReplaceLine(0, "x");
    EXPECT_TRUE(LiveWindowContexts().empty());
    EXPECT_EQ(gdi_.LiveDcCount(), 0);
}

TEST_F(MemoTest, ReplaceLineRepaintsTheBoxAtOnce) {
    gdi_.ClearLog();
    memo_->Lines().ReplaceLine(0, "CPU 1992");
    bool drawn = false;
    for (const std::string& call : gdi_.Calls(platform::RecordingGdi::Call::ExtTextOut)) {
        if (call.find("CPU 1992") != std::string::npos) drawn = true;
    }
    EXPECT_TRUE(drawn);
}

TEST_F(MemoTest, CtrlACtrlCCopiesAllWithLineFeeds) {
    form_->SetActiveControl(memo_);
    const auto window = memo_->Handle();
    Send(Key(window, 'A', true, platform::mod::Control));
    EXPECT_EQ(memo_->SelLength(), static_cast<std::int32_t>(Initial().size()));
    // The selection is also offered as the desktop's selection.
    EXPECT_EQ(Readable(user_.SelectionText()), "ＣＰＵ：\nビデオ：\n");
    EXPECT_EQ(user_.ClipboardText(), "");
    Send(Key(window, 'C', true, platform::mod::Control));
    EXPECT_EQ(Readable(user_.ClipboardText()), "ＣＰＵ：\nビデオ：\n");
    EXPECT_EQ(memo_->Text(), Initial());  // keys never change the text
}

TEST_F(MemoTest, ShiftArrowsSelectWholeDoubleByteCharacters) {
    form_->SetActiveControl(memo_);
    const auto window = memo_->Handle();
    Send(Key(window, platform::vk::Right, true, platform::mod::Shift));
    Send(Key(window, platform::vk::Right, true, platform::mod::Shift));
    EXPECT_EQ(memo_->SelText(), CpuLabel.substr(0, 4));
    Send(Key(window, platform::vk::End, true, platform::mod::Shift));
    EXPECT_EQ(Readable(memo_->SelText()), "ＣＰＵ：");
    Send(Key(window, platform::vk::Insert, true, platform::mod::Control));
    EXPECT_EQ(Readable(user_.ClipboardText()), "ＣＰＵ：");
    // A plain arrow drops the selection.
    Send(Key(window, platform::vk::Right));
    EXPECT_EQ(memo_->SelLength(), 0);
    EXPECT_EQ(memo_->CaretPos(), static_cast<std::int32_t>(CpuLabel.size()) + 2);
}

TEST_F(MemoTest, DragSelectsAndDoubleClickSelectsAWord) {
    memo_->Lines().ReplaceLine(0, "abc def");
    const auto window = memo_->Handle();
    // The recorder's -13 font draws a single-byte character 7 pixels wide;
    // text starts 3 pixels in.
    Send(Mouse(window, platform::MessageKind::ButtonDown, 3, 5, 1000));
    EXPECT_EQ(form_->ActiveControl(), memo_);
    Send(Mouse(window, platform::MessageKind::MouseMove, 3 + 7 * 3, 5));
    Send(Mouse(window, platform::MessageKind::ButtonUp, 3 + 7 * 3, 5, 1100));
    EXPECT_EQ(memo_->SelText(), "abc");
    EXPECT_EQ(user_.SelectionText(), "abc");

    Send(Mouse(window, platform::MessageKind::ButtonDown, 3 + 7 * 5, 5, 5000));
    Send(Mouse(window, platform::MessageKind::ButtonUp, 3 + 7 * 5, 5, 5050));
    Send(Mouse(window, platform::MessageKind::ButtonDown, 3 + 7 * 5, 5, 5100));
    EXPECT_EQ(memo_->SelText(), "def");
}

}  // namespace
}  // namespace qmk::test
