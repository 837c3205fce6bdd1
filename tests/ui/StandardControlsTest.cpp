// The framework's side of the system's standard controls, on the recording
// backend with them turned on: what the button and the box ask the window
// backend for, that they never paint, that a click and Enter reach OnClick
// once inside the message frame, that line replacement becomes the
// backend's call, and that the keyboard focus follows the form's active
// control both ways.
#include <gtest/gtest.h>

#include <stdexcept>

#include "DemoForm.h"
#include "UiFixture.h"
#include "graphics/ControlCanvas.h"
#include "ui/Fonts.h"

namespace qmk::test {
namespace {

using platform::MessageKind;
using platform::RecordingUser;

class StandardControlsTest : public UiTest {
protected:
    void SetUp() override {
        user_.SetStandardControls(true);
        Start();
        form_ = &application_->CreateForm<TDemoForm>();
        form_->Show();
        application_->ProcessMessages();
        button_ = form_->StartButton->Handle();
        memo_ = form_->Kekka->Handle();
    }

    platform::Message Notice(platform::WindowHandle window, MessageKind kind) {
        platform::Message message;
        message.Window = window;
        message.Kind = kind;
        return message;
    }
    // Device contexts asked for a window: the framework painting it.
    std::size_t ContextsOf(platform::WindowHandle window) const {
        std::size_t count = 0;
        for (const std::string& call : gdi_.Calls(platform::RecordingGdi::Call::GetDC)) {
            if (call == "GetDC(" + RecordingUser::WindowName(window) + ")") ++count;
        }
        return count;
    }

    TDemoForm* form_ = nullptr;
    platform::WindowHandle button_ = 0;
    platform::WindowHandle memo_ = 0;
};

TEST_F(StandardControlsTest, TheControlsAskForTheSystemsOwnWithTheirFontAndColours) {
    const auto* button = user_.Info(button_);
    const auto* memo = user_.Info(memo_);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(button->Kind, platform::WindowKind::PushButton);
    EXPECT_EQ(memo->Kind, platform::WindowKind::ReadOnlyEdit);
    for (const auto* info : {button, memo}) {
        EXPECT_EQ(info->Style, platform::ws::Child | platform::ws::Visible | platform::ws::TabStop);
        EXPECT_EQ(info->Parent, form_->Handle());
    }
    EXPECT_EQ(button->Text, StartText);
    EXPECT_EQ(memo->Text, CpuLabel + "\r\n" + VideoLabel + "\r\n");
    EXPECT_EQ(button->Font, FontHandle(form_->StartButton->Font()));
    EXPECT_EQ(memo->Font, FontHandle(form_->Kekka->Font()));
    EXPECT_EQ(memo->TextColor, 0x00FFFFFFu);  // clWhite on
    EXPECT_EQ(memo->Background, 0x00808000u);  // clTeal
    // The focused button is the default one.
    EXPECT_TRUE(button->DefaultButton);
    EXPECT_TRUE(form_->StartButton->StandardControl());
}

TEST_F(StandardControlsTest, TheFrameworkNeverPaintsThem) {
    form_->StartButton->Repaint();
    form_->Kekka->Repaint();
    form_->StartButton->Invalidate();
    form_->Kekka->Lines().ReplaceLine(0, "CPU 1");
    application_->ProcessMessages();
    EXPECT_EQ(ContextsOf(button_), 0u);
    EXPECT_EQ(ContextsOf(memo_), 0u);
    // The form around them still paints itself.
    EXPECT_GT(ContextsOf(form_->Handle()), 0u);
}

TEST_F(StandardControlsTest, AClickRunsOnClickOnceInsideTheMessageFrame) {
    int reported = 0;
    TApplication::OnException = [&reported](const std::exception&) { ++reported; };
    form_->OnClickAction = [this] {
        // A canvas borrows a context, and the handler fails: the frame
        // gives the context back and reports the error.
        form_->PaintBox1->Canvas().ReadPixel(1, 1);
        throw std::runtime_error("stop");
    };
    Send(Notice(button_, MessageKind::Clicked));
    TApplication::OnException = nullptr;
    EXPECT_EQ(form_->Clicks, 1);
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(gdi_.LiveDcCount(), 0);

    // While a modal box has the form disabled, a click waits its turn elsewhere.
    form_->OnClickAction = nullptr;
    form_->SetEnabled(false);
    Send(Notice(button_, MessageKind::Clicked));
    form_->SetEnabled(true);
    EXPECT_EQ(form_->Clicks, 1);
}

TEST_F(StandardControlsTest, EnterClicksTheFocusedButtonAndSpaceIsTheSystems) {
    Send(Key(button_, platform::vk::Return));
    EXPECT_EQ(form_->Clicks, 1);
    Send(Key(button_, platform::vk::Return, true, platform::mod::Shift));
    Send(Key(button_, platform::vk::Return, true, platform::mod::Control));
    EXPECT_EQ(form_->Clicks, 1);
    // The system clicks on Space itself and says so with Clicked.
    Send(Key(button_, platform::vk::Space));
    Send(Key(button_, platform::vk::Space, false));
    EXPECT_EQ(form_->Clicks, 1);
    // Enter in the box does nothing.
    form_->Kekka->SetFocus();
    Send(Key(memo_, platform::vk::Return));
    EXPECT_EQ(form_->Clicks, 1);
}

TEST_F(StandardControlsTest, ReplaceLineHandsTheLogicalLineToTheBackend) {
    user_.ClearLog();
    form_->Kekka->Lines().ReplaceLine(1, "V 2370");
    form_->Kekka->Lines().ReplaceLine(3, "nothing");
    EXPECT_EQ(user_.Calls("ReplaceTextLine"),
              std::vector<std::string>{"ReplaceTextLine(" + RecordingUser::WindowName(memo_) + ",1,\"V 2370\")"});
    // The memo keeps its copy in step with the box's.
    EXPECT_EQ(form_->Kekka->Text(), CpuLabel + "\r\nV 2370\r\n");
    EXPECT_EQ(user_.Info(memo_)->Text, form_->Kekka->Text());
    EXPECT_EQ(form_->Kekka->Lines().Get(1), "V 2370");
}

TEST_F(StandardControlsTest, TheKeyboardFocusFollowsTheActiveControlBothWays) {
    EXPECT_EQ(user_.FocusWindow(), button_);
    Send(Key(button_, platform::vk::Tab));
    application_->ProcessMessages();
    EXPECT_EQ(user_.FocusWindow(), memo_);
    EXPECT_EQ(form_->ActiveControl(), form_->Kekka);
    EXPECT_FALSE(user_.Info(button_)->DefaultButton);
    Send(Key(memo_, platform::vk::Tab, true, platform::mod::Shift));
    application_->ProcessMessages();
    EXPECT_EQ(user_.FocusWindow(), button_);
    EXPECT_TRUE(user_.Info(button_)->DefaultButton);

    // The user clicked into the box: the system says so, the form follows.
    Send(Notice(memo_, MessageKind::FocusIn));
    EXPECT_EQ(form_->ActiveControl(), form_->Kekka);
    EXPECT_FALSE(user_.Info(button_)->DefaultButton);

    // The default look stays while the window is inactive, and the focus
    // goes back to the active control when it is active again.
    Send(Notice(button_, MessageKind::FocusIn));
    Send(Notice(form_->Handle(), MessageKind::Deactivate));
    EXPECT_TRUE(user_.Info(button_)->DefaultButton);
    user_.ClearLog();
    Send(Notice(form_->Handle(), MessageKind::Activate));
    EXPECT_EQ(user_.Calls("SetFocus"),
              std::vector<std::string>{"SetFocus(" + RecordingUser::WindowName(button_) + ")"});
    EXPECT_TRUE(user_.Info(button_)->DefaultButton);
}

TEST(StandardControlsOffTest, WithoutThemTheFrameworkDrawsOnPlainWindows) {
    TallTextGdi gdi;
    platform::RecordingUser user(&gdi);
    platform::ScriptedKernel kernel;
    platform::ScopedBackend backend({&gdi, &user, &kernel});
    InitializeGraphics();
    TApplication application;
    auto& form = application.CreateForm<TDemoForm>();
    form.Show();
    application.ProcessMessages();
    for (platform::WindowHandle window : user.LiveWindows()) {
        EXPECT_EQ(user.Info(window)->Kind, platform::WindowKind::Plain);
    }
    EXPECT_FALSE(form.StartButton->StandardControl());
    for (const char* call : {"SetControlFont", "SetControlColors", "SetDefaultButton", "SetFocus"}) {
        EXPECT_TRUE(user.Calls(call).empty()) << call;
    }
    form.Kekka->Lines().ReplaceLine(0, "CPU 1");
    EXPECT_TRUE(user.Calls("ReplaceTextLine").empty());
}

}  // namespace
}  // namespace qmk::test
