// Keyboard and mouse on a form: tab order, the button's clicks, reading the
// description.
#include <gtest/gtest.h>

#include "DemoForm.h"
#include "UiFixture.h"
#include "graphics/Color.h"

namespace qmk::test {
namespace {

using platform::MessageKind;

class FormTest : public UiTest {
protected:
    void SetUp() override {
        Start();
        form_ = &application_->CreateForm<TDemoForm>();
        form_->Show();
    }
    TDemoForm* form_ = nullptr;
};

TEST_F(FormTest, TabOrderListsTheTabStopsInOrder) {
    const std::vector<TWinControl*> expected{form_->StartButton, form_->Kekka};
    EXPECT_EQ(form_->TabOrderList(), expected);
    const auto window = form_->Handle();
    Send(Key(window, platform::vk::Tab));
    EXPECT_EQ(form_->ActiveControl(), form_->Kekka);
    Send(Key(window, platform::vk::Tab));
    EXPECT_EQ(form_->ActiveControl(), form_->StartButton);
    Send(Key(window, platform::vk::Tab, true, platform::mod::Shift));
    EXPECT_EQ(form_->ActiveControl(), form_->Kekka);
}

TEST_F(FormTest, TabOrderFollowsTheTabOrderPropertyNotCreationOrder) {
    form_->StartButton->SetTabOrder(5);
    const std::vector<TWinControl*> expected{form_->Kekka, form_->StartButton};
    EXPECT_EQ(form_->TabOrderList(), expected);
}

struct ClickCase {
    const char* Name;
    std::vector<std::pair<std::uint32_t, bool>> Keys;  // key, down
    std::uint32_t Modifiers;
    int Clicks;
};

class ButtonKeys : public FormTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ButtonKeys, ClickOnceOrNotAtAll) {
    const ClickCase& c = GetParam();
    const auto window = form_->StartButton->Handle();
    for (const auto& [key, down] : c.Keys) Send(Key(window, key, down, c.Modifiers));
    EXPECT_EQ(form_->Clicks, c.Clicks);
    EXPECT_FALSE(form_->StartButton->Pressed());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ButtonKeys,
    ::testing::Values(
        ClickCase{"EnterClicksOnKeyDown", {{platform::vk::Return, true}}, 0, 1},
        ClickCase{"ShiftEnterDoesNot", {{platform::vk::Return, true}}, platform::mod::Shift, 0},
        ClickCase{"CtrlEnterDoesNot", {{platform::vk::Return, true}}, platform::mod::Control, 0},
        ClickCase{"SpaceClicksOnRelease", {{platform::vk::Space, true}, {platform::vk::Space, false}}, 0, 1},
        ClickCase{"SpaceReleaseAloneDoesNot", {{platform::vk::Space, false}}, 0, 0},
        ClickCase{"OtherKeysDoNot", {{'A', true}, {'A', false}}, 0, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FormTest, SpaceShowsThePressedLookUntilReleased) {
    const auto window = form_->StartButton->Handle();
    Send(Key(window, platform::vk::Space, true));
    EXPECT_TRUE(form_->StartButton->Pressed());
    EXPECT_EQ(form_->Clicks, 0);
    Send(Key(window, platform::vk::Space, false));
    EXPECT_FALSE(form_->StartButton->Pressed());
    EXPECT_EQ(form_->Clicks, 1);
}

TEST_F(FormTest, MouseClicksOnlyWhenReleasedInside) {
    form_->SetActiveControl(form_->Kekka);
    const auto window = form_->StartButton->Handle();
    Send(Mouse(window, MessageKind::ButtonDown, 10, 10));
    EXPECT_TRUE(form_->StartButton->Pressed());
    EXPECT_EQ(form_->ActiveControl(), form_->StartButton);
    Send(Mouse(window, MessageKind::MouseMove, 500, 10));
    EXPECT_FALSE(form_->StartButton->Pressed());
    Send(Mouse(window, MessageKind::ButtonUp, 500, 10));
    EXPECT_EQ(form_->Clicks, 0);
    Send(Mouse(window, MessageKind::ButtonDown, 10, 10));
    Send(Mouse(window, MessageKind::ButtonUp, 12, 12));
    EXPECT_EQ(form_->Clicks, 1);
}

// The click's handler may run for seconds without a paint, so the button
// draws each change of its look at once, as the standard button does.
TEST_F(FormTest, ButtonDrawsPressedAndReleasedAtOnceBeforeTheClickRuns) {
    const auto window = form_->StartButton->Handle();
    const platform::ColorRef highlight = gdi_.GetSysColor(platform::syscolor::BtnHighlight);
    const platform::ColorRef shadow = gdi_.GetSysColor(platform::syscolor::BtnShadow);
    platform::ColorRef duringClick = 0;
    form_->OnClickAction = [&] { duringClick = gdi_.WindowSurface(window)->Pixel(1, 1); };
    // Inside the black default frame: the bevel's top-left edge.
    Send(Mouse(window, MessageKind::ButtonDown, 10, 10));
    EXPECT_EQ(gdi_.WindowSurface(window)->Pixel(1, 1), shadow);
    Send(Mouse(window, MessageKind::ButtonUp, 10, 10));
    EXPECT_EQ(form_->Clicks, 1);
    EXPECT_EQ(duringClick, highlight);

    Send(Key(window, platform::vk::Space, true));
    EXPECT_EQ(gdi_.WindowSurface(window)->Pixel(1, 1), shadow);
    Send(Key(window, platform::vk::Space, false));
    EXPECT_EQ(form_->Clicks, 2);
    EXPECT_EQ(duringClick, highlight);
}

// Another program's window is active: the focused control keeps being the
// form's active control, but draws no focus until its window is active again.
TEST_F(FormTest, FocusShowsOnlyWhileTheWindowIsActive) {
    const auto activation = [this](MessageKind kind) {
        platform::Message m;
        m.Window = form_->Handle();
        m.Kind = kind;
        gdi_.ClearLog();
        user_.Post(m);
        application_->ProcessMessages();
    };
    const auto focusFrames = [this] { return gdi_.Calls(platform::RecordingGdi::Call::DrawFocusRect).size(); };
    const auto buttonPainted = [this] {
        for (const std::string& call : gdi_.Calls(platform::RecordingGdi::Call::ExtTextOut)) {
            if (call.find("\"" + StartText + "\"") != std::string::npos) return true;
        }
        return false;
    };
    application_->ProcessMessages();
    ASSERT_TRUE(form_->Active());

    activation(MessageKind::Deactivate);
    EXPECT_FALSE(form_->Active());
    EXPECT_EQ(form_->ActiveControl(), form_->StartButton);
    EXPECT_TRUE(buttonPainted()) << "deactivation did not repaint the focused button";
    EXPECT_EQ(focusFrames(), 0u);
    activation(MessageKind::Activate);
    EXPECT_TRUE(buttonPainted());
    EXPECT_EQ(focusFrames(), 1u);

    // The result box: selection and caret.
    form_->SetActiveControl(form_->Kekka);
    form_->Kekka->SelectAll();
    application_->ProcessMessages();
    auto* surface = gdi_.WindowSurface(form_->Kekka->Handle());
    const platform::Rect text = form_->Kekka->TextRect();
    const platform::ColorRef highlight = ColorToColorRef(clHighlight);
    EXPECT_EQ(surface->Pixel(text.Left, text.Top), highlight);
    activation(MessageKind::Deactivate);
    EXPECT_EQ(surface->Pixel(text.Left, text.Top), ColorToColorRef(clTeal));
    EXPECT_EQ(form_->Kekka->SelLength(), static_cast<std::int32_t>(form_->Kekka->Text().size()));
    activation(MessageKind::Activate);
    EXPECT_EQ(surface->Pixel(text.Left, text.Top), highlight);
}

TEST_F(FormTest, EnterOnTheMemoDoesNotClickTheButton) {
    form_->SetActiveControl(form_->Kekka);
    Send(Key(form_->Kekka->Handle(), platform::vk::Return));
    EXPECT_EQ(form_->Clicks, 0);
}

TEST_F(FormTest, DescriptionPropertiesReachTheControls) {
    EXPECT_EQ(form_->Name(), "DemoForm");
    EXPECT_EQ(form_->StartButton->Caption(), StartText);
    EXPECT_EQ(form_->StartButton->Font().Style(), fsBold);
    EXPECT_EQ(form_->StartButton->Font().Name(), Gothic);
    EXPECT_EQ(form_->Kekka->Color(), clTeal);
    EXPECT_EQ(form_->Kekka->Font().Color(), clWhite);
    EXPECT_TRUE(form_->Kekka->ReadOnly());
    EXPECT_EQ(form_->Label2->Color(), clSilver);  // takes its parent's colour
    EXPECT_EQ(form_->PaintBox1->Color(), clMaroon);
    EXPECT_EQ(form_->PaintBox1->Parent(), form_->Panel1);
    EXPECT_EQ(form_->Panel1->Color(), clBtnFace);
    EXPECT_FALSE(form_->Panel1->TabStop());
    const auto* info = user_.Info(form_->Handle());
    EXPECT_EQ(info->Text, "Demo");
    EXPECT_NE(info->Style & platform::ws::DialogFrame, 0u);
    EXPECT_EQ(info->Owner, application_->ApplicationWindow());
    EXPECT_EQ(user_.Info(form_->Kekka->Handle())->Parent, form_->Handle());
    EXPECT_EQ(user_.Info(form_->Panel1->Handle())->Background, 0x00C0C0C0u);
}

TEST_F(FormTest, UnknownHandlerOrClassFailsTheCreation) {
    TFormDescription description = DemoDescription();
    description.Controls[3].Events["OnClick"] = "NoSuchHandler";
    EXPECT_THROW(TDemoForm{description}, EResNotFound);
    description = DemoDescription();
    description.Controls[0].ClassName = "TNoSuchControl";
    EXPECT_THROW(TDemoForm{description}, EResNotFound);
}

TEST_F(FormTest, PaintingThePanelLendsThePaintBoxTheContext) {
    gdi_.ClearLog();
    platform::Message paint;
    paint.Window = form_->Panel1->Handle();
    paint.Kind = MessageKind::Paint;
    paint.Area = {0, 0, 89, 97};
    Send(paint);
    // Once painted, the paint box's canvas has its colour and font.
    EXPECT_EQ(form_->PaintBox1->Canvas().Brush().Color(), clMaroon);
    EXPECT_EQ(form_->PaintBox1->Canvas().Font().Height(), -12);
    EXPECT_EQ(form_->PaintBox1->Canvas().CurrentHandle(), 0u);
    EXPECT_EQ(gdi_.LiveDcCount(), 0);
    // Panel: raised bevel and face; the paint box area shows the face.
    auto* surface = gdi_.WindowSurface(form_->Panel1->Handle());
    ASSERT_NE(surface, nullptr);
    const platform::ColorRef highlight = gdi_.GetSysColor(platform::syscolor::BtnHighlight);
    const platform::ColorRef shadow = gdi_.GetSysColor(platform::syscolor::BtnShadow);
    const platform::ColorRef face = gdi_.GetSysColor(platform::syscolor::BtnFace);
    EXPECT_EQ(surface->Pixel(0, 0), highlight);
    EXPECT_EQ(surface->Pixel(0, 50), highlight);
    EXPECT_EQ(surface->Pixel(88, 50), shadow);
    EXPECT_EQ(surface->Pixel(40, 96), shadow);
    EXPECT_EQ(surface->Pixel(40, 40), face);
}

}  // namespace
}  // namespace qmk::test

namespace qmk::test {
namespace {

TEST(IconData, SixteenColourIconBecomesArgbWithTransparentMask) {
    const std::vector<std::uint8_t> pixels{0, 9, 12, 15};
    const std::vector<std::uint8_t> mask{0, 0, 1, 0};
    const TIconData icon = TIconData::FromIndexed16(2, 2, pixels, mask);
    ASSERT_EQ(icon.Argb.size(), 4u);
    EXPECT_EQ(icon.Argb[0], 0xFF000000u);
    EXPECT_EQ(icon.Argb[1], 0xFFFF0000u);  // bright red
    EXPECT_EQ(icon.Argb[2], 0x00000000u);  // masked out
    EXPECT_EQ(icon.Argb[3], 0xFFFFFFFFu);
    EXPECT_TRUE(TIconData::FromIndexed16(2, 2, {1, 2}, {}).Empty());
}

TEST_F(UiTest, DescribedIconReachesTheWindowAndLabelsSizeToLaterText) {
    Start();
    TFormDescription description = DemoDescription();
    description.Icon = TIconData::FromIndexed16(32, 32, std::vector<std::uint8_t>(32 * 32, 4),
                                                std::vector<std::uint8_t>(32 * 32, 0));
    TDemoForm& form = application_->CreateForm<TDemoForm>(description);
    const auto* info = user_.Info(form.Handle());
    EXPECT_EQ(info->IconWidth, 32);
    EXPECT_EQ(info->IconHeight, 32);
    // The recorder's font (6 pixels a character at -12) is wider than the
    // design's, so the label has widened to its text rather than cut it.
    EXPECT_EQ(form.Label3->Width(), 96);
    form.Label3->SetCaption("abcd");
    EXPECT_EQ(form.Label3->Width(), 24);
    EXPECT_EQ(form.Label3->Height(), 12);
}

TEST_F(UiTest, LabelsKeepTheirDesignWidthUnlessTheirTextIsWider) {
    Start();
    TFormDescription description = DemoDescription();
    for (TControlDescription& control : description.Controls) {
        if (control.Name == "Label2") control.Caption = std::string("ab");
        if (control.Name == "Label3") control.Caption = std::string(20, 'x');
    }
    TDemoForm& form = application_->CreateForm<TDemoForm>(description);
    EXPECT_EQ(form.Label2->Width(), 90);   // never narrower than designed
    EXPECT_EQ(form.Label3->Width(), 120);  // 20 characters of 6 pixels
    EXPECT_EQ(form.Label3->Height(), 12);
}

TEST_F(UiTest, RunWithoutAFormReturnsAtOnce) {
    Start();
    application_->Run();
    EXPECT_FALSE(application_->Running());
}

}  // namespace
}  // namespace qmk::test

namespace qmk::test {
namespace {

TEST_F(UiTest, ControlAddedToAShownFormGetsItsWindowAtOnce) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    form.Show();
    auto& button = static_cast<TButton&>(form.InsertComponent(std::make_unique<TButton>("Extra")));
    button.SetBounds(1, 2, 30, 20);
    button.SetParent(&form);
    ASSERT_TRUE(button.HandleAllocated());
    const auto* info = user_.Info(button.Handle());
    EXPECT_EQ(info->Parent, form.Handle());
    EXPECT_EQ(info->Width, 30);
    EXPECT_EQ(form.TabOrderList().back(), &button);
}

}  // namespace
}  // namespace qmk::test
