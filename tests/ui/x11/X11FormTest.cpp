// The framework on a real X server (a private Xvfb): a demo form built from
// its description, its pixels read back through the graphics seam, keys
// typed with xdotool and the clipboard read with xclip.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../DemoForm.h"
#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/recording/ScriptedKernel.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11User.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MulDiv.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"

namespace qmk::test {
namespace {

using namespace std::chrono_literals;

// A shell command running beside the test while the test handles messages.
class Child {
public:
    explicit Child(const std::string& command) {
        pid_ = fork();
        if (pid_ == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0 && !finished_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool Finished() {
        if (!finished_ && pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) finished_ = true;
        return finished_;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool finished_ = false;
};

class X11FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeGraphics();
        application_ = std::make_unique<TApplication>();
        application_->SetTitle("QMK1.0");
        form_ = &application_->CreateForm<TDemoForm>();
        form_->Show();
        ASSERT_TRUE(PumpUntil([this] { return form_->Active(); }, 5s)) << "the form never got the focus";
        Pump(200ms);
    }
    void TearDown() override { application_.reset(); }

    void Pump(std::chrono::milliseconds time) {
        PumpUntil([] { return false; }, time);
    }
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            application_->ProcessMessages();
            if (done()) return true;
            std::this_thread::sleep_for(5ms);
        }
        return done();
    }
    // Types keys with xdotool while handling messages.
    void Type(const std::string& keys) {
        Child child("xdotool key --delay 30 " + keys);
        ASSERT_TRUE(PumpUntil([&child] { return child.Finished(); }, 10s));
        Pump(150ms);
    }
    platform::ColorRef PixelOf(TWinControl& control, int x, int y) {
        auto& gdi = platform::GdiApi();
        const platform::DcHandle dc = gdi.GetDC(control.Handle());
        const platform::ColorRef color = gdi.GetPixel(dc, x, y);
        gdi.ReleaseDC(control.Handle(), dc);
        return color;
    }
    platform::ColorRef Sys(int index) { return platform::GdiApi().GetSysColor(index); }

    platform::x11::X11Display display_;
    platform::x11::X11Gdi gdi_{display_};
    platform::x11::X11User user_{display_};
    platform::ScriptedKernel kernel_;
    platform::ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<TApplication> application_;
    TDemoForm* form_ = nullptr;
};

TEST_F(X11FormTest, WindowHasTheFittedClientSize) {
    // Whatever the fonts measure here, the client area follows the rule.
    const int t = form_->TextHeight();
    ASSERT_GT(t, 0);
    EXPECT_EQ(form_->ClientWidth(), MulDiv(400, t, 12));
    EXPECT_EQ(form_->ClientHeight(), MulDiv(152, t, 12));
    // The X window is exactly that big: its last pixel reads, the next does not.
    EXPECT_NE(PixelOf(*form_, form_->ClientWidth() - 1, form_->ClientHeight() - 1), platform::InvalidColor);
    EXPECT_EQ(PixelOf(*form_, form_->ClientWidth(), 0), platform::InvalidColor);
    EXPECT_EQ(PixelOf(*form_->Panel1, form_->Panel1->Width() - 1, 0), Sys(platform::syscolor::BtnShadow));
    EXPECT_EQ(PixelOf(*form_->Panel1, form_->Panel1->Width(), 0), platform::InvalidColor);
}

TEST_F(X11FormTest, ColoursOnTheScreen) {
    EXPECT_EQ(PixelOf(*form_, 2, 2), static_cast<platform::ColorRef>(clSilver));
    // Panel: raised 1-pixel bevel, face inside, the paint box shows the face.
    TPanel& panel = *form_->Panel1;
    EXPECT_EQ(PixelOf(panel, 0, 0), Sys(platform::syscolor::BtnHighlight));
    EXPECT_EQ(PixelOf(panel, 0, panel.Height() / 2), Sys(platform::syscolor::BtnHighlight));
    EXPECT_EQ(PixelOf(panel, panel.Width() - 1, panel.Height() / 2), Sys(platform::syscolor::BtnShadow));
    EXPECT_EQ(PixelOf(panel, panel.Width() / 2, panel.Height() - 1), Sys(platform::syscolor::BtnShadow));
    EXPECT_EQ(PixelOf(panel, panel.Width() / 2, panel.Height() / 2), Sys(platform::syscolor::BtnFace));
    // Memo: sunken edge, teal inside.
    TMemo& memo = *form_->Kekka;
    EXPECT_EQ(PixelOf(memo, 0, 0), Sys(platform::syscolor::BtnShadow));
    EXPECT_EQ(PixelOf(memo, memo.Width() - 1, memo.Height() - 1), Sys(platform::syscolor::BtnHighlight));
    EXPECT_EQ(PixelOf(memo, memo.Width() - 5, memo.Height() - 3), static_cast<platform::ColorRef>(clTeal));
    // Focused button: black default outline, white bevel, face.
    TButton& button = *form_->StartButton;
    EXPECT_EQ(PixelOf(button, 0, 0), 0x000000u);
    EXPECT_EQ(PixelOf(button, 1, 1), Sys(platform::syscolor::BtnHighlight));
    EXPECT_EQ(PixelOf(button, 3, 3), Sys(platform::syscolor::BtnFace));
    EXPECT_EQ(PixelOf(button, button.Width() - 3, button.Height() - 3), Sys(platform::syscolor::BtnShadow));
    // Label1's text is navy on silver.
    int navy = 0;
    for (int y = form_->Label1->Top(); y < form_->Label1->Top() + form_->Label1->Height(); ++y) {
        for (int x = form_->Label1->Left(); x < form_->Label1->Left() + 40; ++x) {
            if (PixelOf(*form_, x, y) == static_cast<platform::ColorRef>(clNavy)) ++navy;
        }
    }
    EXPECT_GT(navy, 10);
}

TEST_F(X11FormTest, EnterAndSpaceClickTheFocusedButton) {
    Type("Return");
    EXPECT_EQ(form_->Clicks, 1);
    Type("space");
    EXPECT_EQ(form_->Clicks, 2);
    Type("shift+Return");
    EXPECT_EQ(form_->Clicks, 2);
}

TEST_F(X11FormTest, TabMovesTheFocusAndEnterOnTheMemoDoesNotClick) {
    Type("Tab");
    EXPECT_EQ(form_->ActiveControl(), form_->Kekka);
    Type("Return");
    EXPECT_EQ(form_->Clicks, 0);
    Type("shift+Tab");
    EXPECT_EQ(form_->ActiveControl(), form_->StartButton);
}

TEST_F(X11FormTest, CopiedTextReachesOtherProgramsThroughTheClipboard) {
    form_->Kekka->Lines().ReplaceLine(0, CpuLabel + "1992");
    Type("Tab ctrl+a ctrl+c");
    const std::string file = "/tmp/qmk-ui-clip-" + std::to_string(getpid());
    {
        Child xclip("xclip -o -selection clipboard > " + file);
        ASSERT_TRUE(PumpUntil([&xclip] { return xclip.Finished(); }, 10s));
    }
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(file.c_str());
    EXPECT_EQ(text.str(), Cp932ToUtf8(CpuLabel + "1992\n" + VideoLabel + "\n"));
}

TEST_F(X11FormTest, ErrorBoxClosesWithEscapeAndTheFormGoesOn) {
    bool seen = false;
    Child keys("sleep 1; xdotool key Escape");
    application_->ReportError(EInvalidOperation("Broken"));
    seen = true;
    EXPECT_TRUE(seen);
    EXPECT_TRUE(form_->Enabled());
    Pump(300ms);
    Type("Return");
    EXPECT_EQ(form_->Clicks, 1);
}

// With QMK_UI_SHOT set, leaves a picture of the screen there (for a look).
TEST_F(X11FormTest, Screenshot) {
    const char* shot = std::getenv("QMK_UI_SHOT");
    if (shot == nullptr) GTEST_SKIP() << "set QMK_UI_SHOT=/path.png to take a picture";
    form_->Kekka->Lines().ReplaceLine(0, CpuLabel + "1234 (61.95%)");
    Pump(300ms);
    Child import(std::string("import -window root ") + shot);
    ASSERT_TRUE(PumpUntil([&import] { return import.Finished(); }, 20s));
    // One with the result box focused and part of it selected.
    form_->SetActiveControl(form_->Kekka);
    form_->Kekka->SetSelection(0, 12);
    Pump(300ms);
    Child memoShot(std::string("import -window root ") + shot + ".memo.png");
    ASSERT_TRUE(PumpUntil([&memoShot] { return memoShot.Finished(); }, 20s));
    form_->SetActiveControl(form_->StartButton);
    // And one with an error box over the form.
    Child boxShot(std::string("sleep 1; import -window root ") + shot + ".box.png; xdotool key Escape");
    application_->ReportError(EOutOfResources(texts::OutOfResources));
    ASSERT_TRUE(PumpUntil([&boxShot] { return boxShot.Finished(); }, 20s));
}

}  // namespace
}  // namespace qmk::test
