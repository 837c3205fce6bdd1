// Fitting a form laid out at 96 pixels per inch and text height 12 to the
// screen: the rescaled geometry, fonts and auto-sized labels.
#include <gtest/gtest.h>

#include "DemoForm.h"
#include "UiFixture.h"
#include "runtime/MulDiv.h"

namespace qmk::test {
namespace {

struct Bounds {
    int Left, Top, Width, Height;
};

void ExpectBounds(const TControl& control, const Bounds& expected) {
    EXPECT_EQ(control.Left(), expected.Left) << control.Name();
    EXPECT_EQ(control.Top(), expected.Top) << control.Name();
    EXPECT_EQ(control.Width(), expected.Width) << control.Name();
    EXPECT_EQ(control.Height(), expected.Height) << control.Name();
}

struct ScaleCase {
    const char* Name;
    int PixelsPerInch;
    int ExtraTextHeight;  // 1: a substitute font whose "0" measures 13 at -12
    int ClientWidth, ClientHeight;
    Bounds Panel, PaintBox, Button, Memo;
    int MemoFont, ButtonFont, WindowFont;
    Bounds Label2, Label3;
};

class AdaptToScreenTest : public UiTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(AdaptToScreenTest, RescalesControlsFontsAndClientSize) {
    const ScaleCase& c = GetParam();
    Start(c.PixelsPerInch, c.ExtraTextHeight);
    TDemoForm& form = application_->CreateForm<TDemoForm>();

    EXPECT_EQ(form.ClientWidth(), c.ClientWidth);
    EXPECT_EQ(form.ClientHeight(), c.ClientHeight);
    ExpectBounds(*form.Panel1, c.Panel);
    ExpectBounds(*form.PaintBox1, c.PaintBox);
    ExpectBounds(*form.StartButton, c.Button);
    ExpectBounds(*form.Kekka, c.Memo);
    EXPECT_EQ(form.Kekka->Font().Height(), c.MemoFont);
    EXPECT_EQ(form.StartButton->Font().Height(), c.ButtonFont);
    EXPECT_EQ(form.Font().Height(), c.WindowFont);
    EXPECT_EQ(form.Label2->Font().Height(), c.WindowFont);  // follows the window font
    ExpectBounds(*form.Label2, c.Label2);
    ExpectBounds(*form.Label3, c.Label3);
    EXPECT_EQ(form.PixelsPerInch(), c.PixelsPerInch);

    // The platform window has the rescaled client size.
    const auto* info = user_.Info(form.Handle());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Width, c.ClientWidth);
    EXPECT_EQ(info->Height, c.ClientHeight);
    EXPECT_EQ(form.Created, 1);
}

// Labels keep their designed size unless their font changed; a changed one
// takes its text's size (the recorder measures a character as half the font
// height, a double-byte one as the full height).
INSTANTIATE_TEST_SUITE_P(
    Screens, AdaptToScreenTest,
    ::testing::Values(
        ScaleCase{"Dpi96", 96, 0, 400, 152, {304, 48, 89, 97}, {1, 1, 87, 95}, {8, 48, 121, 33},
                  {8, 112, 177, 33}, -13, -16, -12, {48, 94, 96, 12}, {192, 84, 96, 12}},
        ScaleCase{"Dpi120", 120, 0, 500, 190, {380, 60, 111, 121}, {1, 1, 109, 119},
                  {10, 60, 151, 41}, {10, 140, 221, 41}, -17, -22, -15, {60, 118, 120, 15},
                  {240, 105, 128, 15}},
        ScaleCase{"Dpi144", 144, 0, 600, 228, {456, 72, 134, 146}, {2, 2, 130, 142},
                  {12, 72, 182, 50}, {12, 168, 266, 50}, -22, -24, -18, {72, 141, 144, 18},
                  {288, 126, 144, 18}},
        ScaleCase{"SubstituteFontAt96", 96, 1, 433, 165, {329, 52, 97, 105}, {1, 1, 94, 103},
                  {9, 52, 131, 36}, {9, 121, 191, 36}, -15, -17, -12, {52, 102, 98, 13},
                  {208, 91, 112, 14}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(UiTest, FailedMeasurementLeavesTheDesignSize) {
    Start(96);
    // GetDC of the form's own window fails while the text is measured.
    gdi_.FailNext(platform::RecordingGdi::Call::GetDC);
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    EXPECT_EQ(form.ClientWidth(), 400);
    EXPECT_EQ(form.ClientHeight(), 152);
    ExpectBounds(*form.Panel1, {304, 48, 89, 97});
}

struct MulDivCase {
    int A, B, C, Expected;
};

class MulDivRounding : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivRounding, HalvesAwayFromZero) {
    const MulDivCase& c = GetParam();
    EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Expected) << c.A << "*" << c.B << "/" << c.C;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MulDivRounding,
    ::testing::Values(MulDivCase{94, 15, 12, 118}, MulDivCase{393, 18, 12, 590},
                      MulDivCase{-12, 120, 96, -15}, MulDivCase{-13, 72, 120, -8},
                      MulDivCase{13, 72, 120, 8}, MulDivCase{-1, 3, 2, -2},
                      MulDivCase{1, 3, 2, 2}, MulDivCase{7, 15, 12, 9},
                      MulDivCase{2000000000, 3, 4, 1500000000}, MulDivCase{5, 1, 0, -1}));

}  // namespace
}  // namespace qmk::test
