// The application object: title, message frame, error boxes, first show,
// the close path and dispatch safety.
#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "DemoForm.h"
#include "UiFixture.h"
#include "graphics/ControlCanvas.h"
#include "support/Readable.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"

namespace qmk::test {
namespace {

using platform::MessageKind;
using platform::WindowHandle;

class ApplicationTest : public UiTest {
protected:
    // The newest live top-level window: the message box while one shows.
    WindowHandle NewestTopLevel() const {
        WindowHandle newest = 0;
        for (WindowHandle window : user_.LiveWindows()) {
            if (user_.Info(window)->Parent == 0) newest = window;
        }
        return newest;
    }
    // Closes the next message box with the key given, noting what it showed.
    void CloseBoxesWith(std::uint32_t key) {
        user_.SetIdleHandler([this, key] {
            const WindowHandle box = NewestTopLevel();
            const auto* info = user_.Info(box);
            ASSERT_NE(info, nullptr);
            ASSERT_NE(info->Style & platform::ws::Modal, 0u) << "no box is showing";
            BoxCaptions.push_back(info->Text);
            BoxOwners.push_back(info->Owner);
            ContextsWhileBoxShows = static_cast<int>(LiveWindowContexts().size());
            user_.Post(Key(box, key, true));
            user_.Post(Key(box, key, false));
        });
    }
    std::vector<std::string> DrawnTexts() const {
        std::vector<std::string> texts;
        for (const std::string& call : gdi_.Calls(platform::RecordingGdi::Call::ExtTextOut)) texts.push_back(call);
        return texts;
    }
    bool Drawn(const std::string& text) const {
        for (const std::string& call : DrawnTexts()) {
            if (call.find("\"" + text + "\"") != std::string::npos) return true;
        }
        return false;
    }

    std::vector<std::string> BoxCaptions;
    std::vector<WindowHandle> BoxOwners;
    int ContextsWhileBoxShows = -1;
};

TEST_F(ApplicationTest, TitleLivesInTheApplicationWindow) {
    kernel_.SetModuleFileName("/opt/qmk/bin/qmk-1.0");
    Start();
    const WindowHandle window = application_->ApplicationWindow();
    const auto* info = user_.Info(window);
    ASSERT_NE(info, nullptr);
    // The program's file name until the program names itself.
    EXPECT_EQ(info->Text, "qmk-1.0");
    EXPECT_EQ(info->Style, platform::ws::ApplicationWindow);
    EXPECT_FALSE(info->Visible);
    application_->SetTitle("QMK1.0");
    EXPECT_EQ(user_.Info(window)->Text, "QMK1.0");
    user_.SetWindowText(window, "changed");
    EXPECT_EQ(application_->Title(), "changed");
}

TEST_F(ApplicationTest, ProgramFileNameIsTheLastPartOfTheModulePathAtMost63Bytes) {
    const std::string sixtyTwo(62, 'q');
    const struct {
        std::string Path;  // readable
        std::string Name;
    } cases[] = {
        {"/usr/bin/qmk", "qmk"},
        {"C:\\Program Files\\QMK\\qmk.exe", "qmk.exe"},
        {"C:/QMK\\bin/qmk.exe", "qmk.exe"},
        {"qmk", "qmk"},
        // ソ is 0x83 0x5C: its second byte is no folder's end.
        {"/home/ソフト", "ソフト"},
        {"C:\\ソフト\\表示.exe", "表示.exe"},
        {"/bin/" + sixtyTwo + "ab", sixtyTwo + "a"},
        // A double-byte character that would straddle the limit goes whole.
        {"/bin/" + sixtyTwo + "表", sixtyTwo},
        {"/bin/" + std::string(63, 'q'), std::string(63, 'q')},
        {"", "qmk"},
        {"/usr/bin/", "qmk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        kernel_.SetModuleFileName(Stored(c.Path));
        EXPECT_EQ(Readable(ProgramFileName()), c.Name);
    }
}

TEST_F(ApplicationTest, ScreenReadsPixelsPerInchOnceAndSizeOnEachUse) {
    Start(120);
    EXPECT_EQ(Screen().PixelsPerInch(), 120);
    EXPECT_EQ(Screen().Width(), 1024);
    user_.SetSystemMetric(platform::metric::CxScreen, 800);
    EXPECT_EQ(Screen().Width(), 800);
}

TEST(ErrorBoxText, AlwaysAddsAFullStop) {
    EXPECT_EQ(ErrorBoxText("abc"), "abc.");
    EXPECT_EQ(ErrorBoxText("abc."), "abc..");
    EXPECT_EQ(ErrorBoxText(""), ".");
}

TEST_F(ApplicationTest, FrameReleasesContextsAfterAHandler) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    application_->HandleInFrame([&form] {
        form.PaintBox1->Canvas().GetHandle();
        EXPECT_EQ(LiveWindowContexts().size(), 1u);
    });
    EXPECT_TRUE(LiveWindowContexts().empty());
    EXPECT_EQ(gdi_.LiveDcCount(), 0);
}

TEST_F(ApplicationTest, ErrorInAHandlerIsReportedAfterTheContextsAreReleased) {
    Start();
    application_->SetTitle("QMK1.0");
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    form.Show();
    CloseBoxesWith(platform::vk::Return);
    application_->HandleInFrame([&form] {
        form.PaintBox1->Canvas().GetHandle();
        throw EOutOfResources("No resources.");
    });
    ASSERT_EQ(BoxCaptions.size(), 1u);
    EXPECT_EQ(BoxCaptions[0], "QMK1.0");
    EXPECT_EQ(BoxOwners[0], form.Handle());
    EXPECT_EQ(ContextsWhileBoxShows, 0);
    EXPECT_TRUE(Drawn("No resources.."));
    // The box is gone, the form is usable and active again.
    EXPECT_EQ(NewestTopLevel(), form.Handle());
    EXPECT_TRUE(form.Enabled());
    EXPECT_EQ(user_.ActiveWindow(), form.Handle());
}

TEST_F(ApplicationTest, ErrorsOfEveryKindAreShownAndTheLoopGoesOn) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    form.Show();
    CloseBoxesWith(platform::vk::Escape);
    application_->HandleInFrame([] { throw std::bad_alloc(); });
    application_->HandleInFrame([] { throw std::runtime_error("plain"); });
    application_->HandleInFrame([] { throw EAbort("silent"); });
    EXPECT_EQ(BoxCaptions.size(), 2u);
    EXPECT_TRUE(Drawn(Stored("ﾒﾓﾘが足りません.")));
    EXPECT_TRUE(Drawn("plain."));
}

TEST_F(ApplicationTest, OtherWindowsIgnoreInputWhileTheBoxShows) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    form.Show();
    int clicksDuringBox = -1;
    user_.SetIdleHandler([&] {
        const WindowHandle box = NewestTopLevel();
        // A click on the start button and a close request reach a disabled form.
        if (clicksDuringBox < 0) {
            user_.Post(Key(form.Handle(), platform::vk::Return));
            user_.Post(Mouse(form.StartButton->Handle(), MessageKind::ButtonDown, 5, 5));
            user_.Post(Mouse(form.StartButton->Handle(), MessageKind::ButtonUp, 5, 5));
            platform::Message close;
            close.Window = form.Handle();
            close.Kind = MessageKind::Close;
            user_.Post(close);
            clicksDuringBox = 0;
            return;
        }
        clicksDuringBox = form.Clicks;
        user_.Post(Key(box, platform::vk::Space, true));
        user_.Post(Key(box, platform::vk::Space, false));
    });
    application_->ReportError(EInvalidOperation("x"));
    EXPECT_EQ(clicksDuringBox, 0);
    EXPECT_EQ(form.Clicks, 0);
    EXPECT_EQ(form.Closed, 0);
    EXPECT_FALSE(application_->Terminated());
}

struct BoxCloseCase {
    const char* Name;
    std::function<std::vector<platform::Message>(platform::RecordingUser& user, WindowHandle box,
                                                 WindowHandle ok)>
        Input;
};

class BoxClosing : public ApplicationTest, public ::testing::WithParamInterface<BoxCloseCase> {};

// However the box is closed, its loop ends and the windows it disabled take
// input again; a box hidden while its loop waits would lock the program.
TEST_P(BoxClosing, EndsTheLoopAndEnablesTheWindowsAgain) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    form.Show();
    int idles = 0;
    bool enabledDuringBox = true;
    user_.SetIdleHandler([&] {
        const WindowHandle box = NewestTopLevel();
        if (++idles > 1) {
            ADD_FAILURE() << "the box's loop went on after it was closed";
            application_->Terminate();
            return;
        }
        enabledDuringBox = form.Enabled();
        WindowHandle ok = 0;
        for (WindowHandle window : user_.LiveWindows()) {
            if (user_.Info(window)->Parent == box) ok = window;
        }
        for (const platform::Message& m : GetParam().Input(user_, box, ok)) user_.Post(m);
    });
    application_->ReportError(EInvalidOperation("x"));
    EXPECT_EQ(idles, 1);
    EXPECT_FALSE(enabledDuringBox);
    EXPECT_TRUE(form.Enabled());
    EXPECT_EQ(application_->ActiveForm(), &form);
    EXPECT_EQ(NewestTopLevel(), form.Handle()) << "the box's window is left over";
    // The form takes input again.
    Send(Key(form.StartButton->Handle(), platform::vk::Return));
    EXPECT_EQ(form.Clicks, 1);
}

platform::Message MessageOf(WindowHandle window, MessageKind kind, std::uint32_t key = 0,
                            std::uint32_t modifiers = 0) {
    platform::Message m;
    m.Window = window;
    m.Kind = kind;
    m.Key = key;
    m.Modifiers = modifiers;
    m.Button = 1;
    m.X = m.Y = 3;
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Means, BoxClosing,
    ::testing::Values(
        BoxCloseCase{"AltF4",
                     [](platform::RecordingUser&, WindowHandle box, WindowHandle) {
                         return std::vector{MessageOf(box, MessageKind::KeyDown, platform::vk::F4,
                                                      platform::mod::Alt)};
                     }},
        BoxCloseCase{"WindowManagerClose",
                     [](platform::RecordingUser&, WindowHandle box, WindowHandle) {
                         return std::vector{MessageOf(box, MessageKind::Close)};
                     }},
        BoxCloseCase{"Escape",
                     [](platform::RecordingUser&, WindowHandle box, WindowHandle) {
                         return std::vector{MessageOf(box, MessageKind::KeyDown, platform::vk::Escape)};
                     }},
        BoxCloseCase{"Enter",
                     [](platform::RecordingUser&, WindowHandle box, WindowHandle) {
                         return std::vector{MessageOf(box, MessageKind::KeyDown, platform::vk::Return)};
                     }},
        BoxCloseCase{"OkButtonClick",
                     [](platform::RecordingUser&, WindowHandle, WindowHandle ok) {
                         return std::vector{MessageOf(ok, MessageKind::ButtonDown),
                                            MessageOf(ok, MessageKind::ButtonUp)};
                     }},
        BoxCloseCase{"DestroyedByAnotherProgram",
                     [](platform::RecordingUser& user, WindowHandle box, WindowHandle) {
                         user.DestroyByOtherProgram(box);
                         return std::vector<platform::Message>{};
                     }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ApplicationTest, BoxIsSizedToItsText) {
    Start();
    std::vector<std::int32_t> widths;
    std::vector<std::int32_t> heights;
    user_.SetIdleHandler([&] {
        const WindowHandle box = NewestTopLevel();
        widths.push_back(user_.Info(box)->Width);
        heights.push_back(user_.Info(box)->Height);
        // A click on OK closes it too.
        TWinControl* control = nullptr;
        for (WindowHandle window : user_.LiveWindows()) {
            if (user_.Info(window)->Parent == box) control = application_->FindControl(window);
        }
        ASSERT_NE(control, nullptr);
        user_.Post(Mouse(control->Handle(), MessageKind::ButtonDown, 3, 3));
        user_.Post(Mouse(control->Handle(), MessageKind::ButtonUp, 3, 3));
    });
    // Both wider than the caption needs.
    application_->ReportError(EInvalidOperation(std::string(30, 'w')));
    application_->ReportError(EInvalidOperation(std::string(60, 'w')));
    application_->ReportError(EInvalidOperation("one\ntwo\nthree\nfour"));
    ASSERT_EQ(widths.size(), 3u);
    EXPECT_GT(widths[1], widths[0] + 25 * 6);
    EXPECT_EQ(heights[0], heights[1]);
    EXPECT_GT(heights[2], heights[0]);
}

// A box with a short text is still wide enough for its caption beside the
// title bar's icon and three buttons and the space around them, six times
// as wide as the bar is high (the window manager's bar, or a common one
// where it does not tell).
TEST_F(ApplicationTest, BoxLeavesItsCaptionRoomInTheTitleBar) {
    const std::string caption = "QMK1.0 - a title longer than the text";
    for (const auto& [reported, bar] : {std::pair{19, 19}, std::pair{30, 30}, std::pair{0, 19}}) {
        SCOPED_TRACE(reported);
        user_.SetSystemMetric(platform::metric::CyCaption, reported);
        Start();
        application_->SetTitle(caption);
        std::int32_t width = 0;
        std::int32_t needed = 0;
        user_.SetIdleHandler([&] {
            const WindowHandle box = NewestTopLevel();
            width = user_.Info(box)->Width;
            TFont bold;
            bold.SetHeight(-12);  // the box's 9 points at 96 dpi
            bold.SetStyle(fsBold);
            needed = TextExtent(bold, caption).Cx + 6 * bar;
            user_.Post(Key(box, platform::vk::Escape, true));
            user_.Post(Key(box, platform::vk::Escape, false));
        });
        application_->ReportError(EInvalidOperation("x"));
        EXPECT_GT(needed, 6 * bar);
        EXPECT_GE(width, needed);
        application_.reset();
    }
}

TEST_F(ApplicationTest, StartupErrorBoxHasNoOwnerAndItsOwnCaption) {
    Start();
    CloseBoxesWith(platform::vk::Return);
    application_->ShowStartupError("EResNotFound\nline two\n");
    ASSERT_EQ(BoxCaptions.size(), 1u);
    EXPECT_EQ(Readable(BoxCaptions[0]), "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ");
    EXPECT_EQ(BoxOwners[0], 0u);
    EXPECT_TRUE(Drawn("EResNotFound"));
    EXPECT_TRUE(Drawn("line two"));
}

TEST_F(ApplicationTest, ErrorInFormCreateIsReportedAndCreationGoesOn) {
    Start();
    CloseBoxesWith(platform::vk::Return);
    TDemoForm::OnCreateAction = [] { throw EConvertError("bad"); };
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    TDemoForm::OnCreateAction = nullptr;
    EXPECT_EQ(form.Created, 1);
    EXPECT_EQ(BoxCaptions.size(), 1u);
    EXPECT_EQ(application_->MainForm(), &form);
    EXPECT_TRUE(Drawn("bad."));
}

TEST_F(ApplicationTest, FirstShowCentresTheWindow) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    form.Show();
    const auto* info = user_.Info(form.Handle());
    EXPECT_EQ(info->X, (1024 - 400) / 2);
    EXPECT_EQ(info->Y, (768 - 152) / 2);
    EXPECT_TRUE(info->Visible);
    EXPECT_EQ(form.ActiveControl(), form.StartButton);
    // A later showing keeps the place.
    form.Hide();
    user_.SetSystemMetric(platform::metric::CxScreen, 600);
    form.Show();
    EXPECT_EQ(user_.Info(form.Handle())->X, 312);
}

TEST_F(ApplicationTest, NarrowScreenPlacesTheWindowAtZero) {
    Start();
    user_.SetSystemMetric(platform::metric::CxScreen, 301);
    user_.SetSystemMetric(platform::metric::CyScreen, 100);
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    form.Show();
    EXPECT_EQ(user_.Info(form.Handle())->X, 0);
    EXPECT_EQ(user_.Info(form.Handle())->Y, 0);
}

TEST_F(ApplicationTest, CloseRunsFormCloseOnceAndEndsTheLoopWithoutHiding) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    const WindowHandle window = form.Handle();
    int idles = 0;
    user_.SetIdleHandler([&] {
        if (++idles > 1) FAIL() << "the loop went on after the close";
        platform::Message close;
        close.Window = window;
        close.Kind = MessageKind::Close;
        user_.Post(close);
        user_.Post(Key(form.StartButton->Handle(), platform::vk::Return));
    });
    user_.ClearLog();
    application_->Run();
    // The click queued behind the close is never handled: the form is gone.
    EXPECT_FALSE(application_->Running());
    EXPECT_EQ(application_->MainForm(), nullptr);
    for (const std::string& call : user_.Calls("ShowWindow")) {
        EXPECT_EQ(call.find(",0)"), std::string::npos) << call;
    }
    EXPECT_FALSE(user_.Info(window)->Alive);
}

TEST_F(ApplicationTest, AltF4ClosesAndEndSessionSkipsFormClose) {
    Start();
    {
        TDemoForm& form = application_->CreateForm<TDemoForm>();
        form.Show();
        Send(Key(form.StartButton->Handle(), platform::vk::F4, true, platform::mod::Alt));
        EXPECT_EQ(form.Closed, 1);
        EXPECT_EQ(form.ActionSeen, TCloseAction::caHide);
        EXPECT_TRUE(application_->Terminated());
    }
    application_.reset();
    application_ = std::make_unique<TApplication>();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    platform::Message end;
    end.Kind = MessageKind::EndSession;
    Send(end);
    EXPECT_TRUE(application_->Terminated());
    EXPECT_EQ(form.Closed, 0);
}

// Another program destroys the main window during a run: the drawing that
// follows fails, but no box shows for a window that is gone and only the
// first error is told (on standard error); the program then ends as when
// its window is closed.
TEST_F(ApplicationTest, MainWindowDestroyedByAnotherProgramEndsTheProgramAsAClose) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    int closes = 0;
    const TCloseEvent formClose = form.OnClose;
    form.OnClose = [&](TControl& sender, TCloseAction& action) {
        ++closes;
        formClose(sender, action);
    };
    form.OnClickAction = [&] {
        user_.DestroyByOtherProgram(form.Handle());
        gdi_.FailNext(platform::RecordingGdi::Call::GetDC, 100);
        form.Kekka->Lines().ReplaceLine(0, "one");
        form.Kekka->Lines().ReplaceLine(1, "two");
        throw EOutOfResources("three");
    };
    int idles = 0;
    user_.SetIdleHandler([&] {
        if (++idles > 1) {
            ADD_FAILURE() << "the program went on without its window";
            application_->Terminate();
            return;
        }
        user_.ClearLog();
        user_.Post(Key(form.StartButton->Handle(), platform::vk::Return));
    });
    ::testing::internal::CaptureStderr();
    application_->Run();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(idles, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(user_.Calls("CreateWindow").empty()) << "a box was shown";
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find(": ﾃﾞﾊﾞｲｽ ｺﾝﾃｷｽﾄの作成に失敗しました.\n"),
              std::string::npos)
        << errors;
    EXPECT_EQ(application_->MainForm(), nullptr);
}

TEST_F(ApplicationTest, MessagesForDestroyedWindowsAreIgnored) {
    Start();
    TDemoForm& form = application_->CreateForm<TDemoForm>();
    const WindowHandle button = form.StartButton->Handle();
    form.DestroyHandle();
    Send(Key(button, platform::vk::Return));
    Send(Mouse(button, MessageKind::ButtonDown, 5, 5));
    Send(Mouse(button, MessageKind::ButtonUp, 5, 5));
    platform::Message paint;
    paint.Window = button;
    paint.Kind = MessageKind::Paint;
    paint.Area = {0, 0, 10, 10};
    Send(paint);
    EXPECT_EQ(form.Clicks, 0);
}

}  // namespace
}  // namespace qmk::test
