// The main window on a real X server (the test's private Xvfb), driven the
// way a user drives it: what the screen shows at 96 and 120 pixels per
// inch, where the keyboard focus goes, which keys click the start button,
// and what copying the result box puts on the clipboard.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/QMKForm.h"
#include "app/Startup.h"
#include "platform/Platform.h"
#include "ui/Application.h"
#include "ui/Label.h"
#include "ui/Fonts.h"

extern char** environ;

namespace qmk::test {
namespace {

using Clock = std::chrono::steady_clock;

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

class FormX11Test : public ::testing::Test {
protected:
    void TearDown() override {
        program_.reset();
        if (dpiChanged_) Shell("xrdb -remove");
    }

    // pixelsPerInch other than 96 goes through Xft.dpi, read when the
    // display is opened.
    TQMKForm& Start(int pixelsPerInch = 96) {
        if (pixelsPerInch != 96) {
            const std::string file = "/tmp/qmk-form-dpi-" + std::to_string(::getpid());
            std::ofstream(file) << "Xft.dpi: " << pixelsPerInch << "\n";
            dpiChanged_ = Shell("xrdb -merge " + file);
            ::unlink(file.c_str());
            EXPECT_TRUE(dpiChanged_);
        }
        program_ = std::make_unique<TProgram>();
        program_->Start();
        TQMKForm* form = program_->Form();
        EXPECT_NE(form, nullptr);
        return *form;
    }

    // Shows the window as the message loop's start does and lets it map
    // and paint.
    void Show(TQMKForm& form) {
        form.Show();
        PumpUntil([&] { return form.Active() && form.StartButton->Focused(); });
        Pump(std::chrono::milliseconds(150));
    }

    // Handles messages until done() or the time is up; false on time-out.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            program_->Application().ProcessMessages();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    void Pump(std::chrono::milliseconds time) {
        PumpUntil([] { return false; }, time);
    }

    // Colours as the screen keeps them: on a 16-bit screen white reads
    // back as F8FCF8, so only the bits every depth keeps are compared.
    static platform::ColorRef Kept(platform::ColorRef color) {
        // One private server a process: its depth never changes.
        static const int bits = [] {
            auto& gdi = platform::GdiApi();
            const platform::DcHandle screen = gdi.GetDC(0);
            const int value = gdi.GetDeviceCaps(screen, platform::caps::BitsPixel);
            gdi.ReleaseDC(0, screen);
            return value;
        }();
        return bits >= 24 ? color : color & 0x00F8F8F8;
    }

    platform::ColorRef Pixel(TQMKForm& form, int x, int y) {
        auto& gdi = platform::GdiApi();
        const platform::WindowHandle window = form.Handle();
        const platform::DcHandle dc = gdi.GetDC(window);
        const platform::ColorRef color = gdi.GetPixel(dc, x, y);
        gdi.ReleaseDC(window, dc);
        return Kept(color);
    }

    // How many pixels of the client rectangle have the colour.
    int Count(TQMKForm& form, const platform::Rect& area, platform::ColorRef color) {
        const platform::ColorRef wanted = Kept(color);
        return CountWhere(form, area, [wanted](platform::ColorRef pixel) { return Kept(pixel) == wanted; });
    }

    // How many pixels of the rectangle are closer to the colour than to
    // any other colour of the window: smoothed text has few pixels of its
    // exact colour, but its strokes lean to it.
    int CountLeaningTo(TQMKForm& form, const platform::Rect& area, platform::ColorRef color) {
        static constexpr platform::ColorRef Palette[] = {0x00C0C0C0, 0x00FFFFFF, 0x00000000,
                                                         0x00800000, 0x00000080, 0x00800080,
                                                         0x00808000, 0x00808080};
        const auto distance = [](platform::ColorRef a, platform::ColorRef b) {
            int sum = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
            }
            return sum;
        };
        return CountWhere(form, area, [&](platform::ColorRef pixel) {
            const int own = distance(pixel, color);
            for (platform::ColorRef other : Palette) {
                if (other != color && distance(pixel, other) <= own) return false;
            }
            return true;
        });
    }

    int CountWhere(TQMKForm& form, const platform::Rect& area,
                   const std::function<bool(platform::ColorRef)>& wanted) {
        auto& gdi = platform::GdiApi();
        const platform::WindowHandle window = form.Handle();
        const platform::DcHandle dc = gdi.GetDC(window);
        int count = 0;
        for (int y = area.Top; y < area.Bottom; ++y) {
            for (int x = area.Left; x < area.Right; ++x) {
                if (wanted(gdi.GetPixel(dc, x, y))) ++count;
            }
        }
        gdi.ReleaseDC(window, dc);
        return count;
    }

    // Counts clicks instead of starting a run, so the keyboard tests take
    // no benchmark time.
    int& CountClicks(TQMKForm& form) {
        form.StartButton->OnClick = [this](TControl&) { ++clicks_; };
        return clicks_;
    }

    std::unique_ptr<TProgram> program_;
    bool dpiChanged_ = false;
    int clicks_ = 0;
};

struct Bounds {
    int Left, Top, Width, Height;
};

void ExpectBounds(const TControl& control, const Bounds& expected) {
    EXPECT_EQ(control.Left(), expected.Left) << control.Name();
    EXPECT_EQ(control.Top(), expected.Top) << control.Name();
    EXPECT_EQ(control.Width(), expected.Width) << control.Name();
    EXPECT_EQ(control.Height(), expected.Height) << control.Name();
}

struct GeometryCase {
    int PixelsPerInch;
    int ClientWidth, ClientHeight;
    Bounds Panel, PaintBox, Button, Memo;
    int BitmapWidth, BitmapHeight;
};

class FormGeometryTest : public FormX11Test, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(FormGeometryTest, FitsTheScreensTextSize) {
    const GeometryCase& c = GetParam();
    TQMKForm& form = Start(c.PixelsPerInch);
    EXPECT_EQ(form.ClientWidth(), c.ClientWidth);
    EXPECT_EQ(form.ClientHeight(), c.ClientHeight);
    ExpectBounds(*form.Panel1, c.Panel);
    ExpectBounds(*form.PaintBox1, c.PaintBox);
    ExpectBounds(*form.StartButton, c.Button);
    ExpectBounds(*form.Kekka, c.Memo);
    ASSERT_NE(form.WorkBitmap(), nullptr);
    EXPECT_EQ(form.WorkBitmap()->GetWidth(), c.BitmapWidth);
    EXPECT_EQ(form.WorkBitmap()->GetHeight(), c.BitmapHeight);

    if (c.PixelsPerInch == 96) {
        // Nothing was rescaled, so every label keeps the size its
        // description gives, except that a text wider in the substitute
        // font than in the design's widens its label instead of being cut.
        auto designOrText = [](const TLabel& label, int designWidth) {
            return std::max(designWidth, TextExtent(label.Font(), label.Caption()).Cx);
        };
        ExpectBounds(*form.Label3, {192, 84, designOrText(*form.Label3, 95), 12});
        ExpectBounds(*form.Label8, {192, 96, designOrText(*form.Label8, 108), 12});
        ExpectBounds(*form.Label1, {16, 16, designOrText(*form.Label1, 380), 19});
        EXPECT_GE(form.Label3->Width(), TextExtent(form.Label3->Font(), form.Label3->Caption()).Cx);
    }

    // Centred on the 1024 x 768 screen at its first showing.
    Show(form);
    EXPECT_EQ(form.Left(), (1024 - c.ClientWidth) / 2);
    EXPECT_EQ(form.Top(), (768 - c.ClientHeight) / 2);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FormGeometryTest,
    ::testing::Values(GeometryCase{96, 400, 152, {304, 48, 89, 97}, {1, 1, 87, 95}, {8, 48, 121, 33},
                                   {8, 112, 177, 33}, 174, 190},
                      GeometryCase{120, 500, 190, {380, 60, 111, 121}, {1, 1, 109, 119},
                                   {10, 60, 151, 41}, {10, 140, 221, 41}, 218, 238}),
    [](const ::testing::TestParamInfo<GeometryCase>& info) {
        return "Dpi" + std::to_string(info.param.PixelsPerInch);
    });

class LabelRoomTest : public FormX11Test, public ::testing::WithParamInterface<int> {};

// Each label's text, in the font the window got, stays clear of every
// other control and inside the window, so no text is cut: the substitute
// font must be no broader than the design's where the layout is tight
// ("S3 868 2MB 65K Col." ends 4 pixels before the panel at 96 dpi).
TEST_P(LabelRoomTest, NoLabelsTextReachesAnotherControl) {
    TQMKForm& form = Start(GetParam());
    const auto intersects = [](const platform::Rect& a, const platform::Rect& b) {
        return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
    };
    std::vector<std::pair<const TControl*, platform::Rect>> areas;
    for (const TControl* control : form.Controls()) {
        platform::Rect area = control->BoundsRect();
        if (const auto* label = dynamic_cast<const TLabel*>(control)) {
            const platform::Size text = TextExtent(label->Font(), label->Caption());
            area = {label->Left(), label->Top(), label->Left() + text.Cx, label->Top() + text.Cy};
            EXPECT_LE(area.Right, form.ClientWidth()) << label->Name();
            EXPECT_LE(area.Bottom, form.ClientHeight()) << label->Name();
        }
        areas.emplace_back(control, area);
    }
    for (const auto& [control, area] : areas) {
        if (dynamic_cast<const TLabel*>(control) == nullptr) continue;
        for (const auto& [other, otherArea] : areas) {
            if (other != control) {
                EXPECT_FALSE(intersects(area, otherArea))
                    << control->Name() << " (" << area.Left << "-" << area.Right << ", " << area.Top
                    << "-" << area.Bottom << ") reaches " << other->Name();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, LabelRoomTest, ::testing::Values(96, 120),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Dpi" + std::to_string(info.param);
                         });

TEST_F(FormX11Test, ScreenShowsTheColoursOfTheWindow) {
    TQMKForm& form = Start();
    Show(form);
    constexpr platform::ColorRef Silver = 0x00C0C0C0, Teal = 0x00808000, White = 0x00FFFFFF,
                                 Grey = 0x00808080, Navy = 0x00800000, Maroon = 0x00000080,
                                 Purple = 0x00800080, Black = 0x00000000;
    const platform::ColorRef buttonFace = platform::GdiApi().GetSysColor(15);

    EXPECT_EQ(Pixel(form, 2, 2), Kept(Silver));      // window face
    EXPECT_EQ(Pixel(form, 397, 149), Kept(Silver));  // its far corner
    EXPECT_EQ(Pixel(form, 170, 140), Kept(Teal));    // result box, right of its text

    // Panel1 at (304, 48), 89 x 97: a raised bevel one pixel wide around
    // the paint box, which shows the panel's face.
    EXPECT_EQ(Pixel(form, 304, 48), Kept(White));
    EXPECT_EQ(Pixel(form, 340, 48), Kept(White));
    EXPECT_EQ(Pixel(form, 304, 100), Kept(White));
    EXPECT_EQ(Pixel(form, 340, 144), Kept(Grey));
    EXPECT_EQ(Pixel(form, 392, 100), Kept(Grey));
    EXPECT_EQ(Pixel(form, 348, 96), Kept(buttonFace));
    EXPECT_EQ(Pixel(form, 305, 49), Kept(buttonFace));
    EXPECT_EQ(Pixel(form, 391, 143), Kept(buttonFace));

    // The texts in their colours, each on the silver of the window.
    EXPECT_GT(CountLeaningTo(form, {16, 16, 396, 35}, Navy), 50);       // Label1
    EXPECT_GT(CountLeaningTo(form, {136, 48, 284, 76}, Maroon), 50);    // Label6, Label7
    EXPECT_GT(CountLeaningTo(form, {192, 84, 287, 108}, Purple), 50);   // Label3, Label8
    EXPECT_GT(CountLeaningTo(form, {208, 115, 280, 142}, Purple), 50);  // Label4, Label5
    EXPECT_GT(CountLeaningTo(form, {48, 94, 138, 106}, Black), 30);     // Label2: window text
    EXPECT_GT(CountLeaningTo(form, {12, 114, 100, 143}, White), 40);    // result box text
    EXPECT_GT(CountLeaningTo(form, {30, 60, 110, 75}, Black), 30);      // the button's caption
    EXPECT_EQ(CountLeaningTo(form, {136, 48, 284, 76}, Navy), 0);
    EXPECT_EQ(CountLeaningTo(form, {16, 16, 396, 35}, Maroon), 0);
    // The label backgrounds are the window's silver, not the button face
    // of a default control.
    EXPECT_GT(Count(form, {136, 48, 284, 76}, Silver), 148 * 28 / 2);
}

TEST_F(FormX11Test, FocusStartsOnTheButtonAndTabGoesToTheResultBox) {
    TQMKForm& form = Start();
    Show(form);
    EXPECT_EQ(form.ActiveControl(), form.StartButton);
    EXPECT_TRUE(form.StartButton->Focused());

    ASSERT_TRUE(Shell("xdotool key Tab"));
    EXPECT_TRUE(PumpUntil([&] { return form.ActiveControl() == form.Kekka; }));
    // The panel is no tab stop: the next Tab comes back to the button.
    ASSERT_TRUE(Shell("xdotool key Tab"));
    EXPECT_TRUE(PumpUntil([&] { return form.ActiveControl() == form.StartButton; }));
    ASSERT_TRUE(Shell("xdotool key shift+Tab"));
    EXPECT_TRUE(PumpUntil([&] { return form.ActiveControl() == form.Kekka; }));
}

TEST_F(FormX11Test, EnterSpaceAndTheMouseClickTheStartButton) {
    TQMKForm& form = Start();
    int& clicks = CountClicks(form);
    Show(form);

    ASSERT_TRUE(Shell("xdotool key Return"));
    EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
    ASSERT_TRUE(Shell("xdotool key space"));
    EXPECT_TRUE(PumpUntil([&] { return clicks == 2; }));

    // Enter with Ctrl is no click.
    ASSERT_TRUE(Shell("xdotool key ctrl+Return"));
    Pump(std::chrono::milliseconds(200));
    EXPECT_EQ(clicks, 2);

    const int x = form.Left() + form.StartButton->Left() + 20;
    const int y = form.Top() + form.StartButton->Top() + 10;
    ASSERT_TRUE(Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                      " click 1"));
    EXPECT_TRUE(PumpUntil([&] { return clicks == 3; }));
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(clicks, 3);
}

TEST_F(FormX11Test, CopyingTheResultBoxGivesUtf8LinesEndedByLineFeeds) {
    TQMKForm& form = Start();
    Show(form);
    ASSERT_TRUE(Shell("xdotool key Tab"));
    ASSERT_TRUE(PumpUntil([&] { return form.ActiveControl() == form.Kekka; }));
    ASSERT_TRUE(Shell("xdotool key ctrl+a ctrl+c"));
    ASSERT_TRUE(PumpUntil([&] { return form.Kekka->SelLength() > 0; }));
    Pump(std::chrono::milliseconds(100));

    // xclip asks this process for the clipboard, so the loop has to run
    // while it waits.
    char path[] = "/tmp/qmk-clip-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    char program[] = "xclip";
    char a1[] = "-o", a2[] = "-selection", a3[] = "clipboard";
    char* argv[] = {program, a1, a2, a3, nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawnp(&pid, "xclip", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fd);
    int status = -1;
    const bool ended = PumpUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ::unlink(path);
    ASSERT_TRUE(ended);
    // ＣＰＵ：\nビデオ：\n
    EXPECT_EQ(text.str(),
              "\xef\xbc\xa3\xef\xbc\xb0\xef\xbc\xb5\xef\xbc\x9a\n"
              "\xe3\x83\x93\xe3\x83\x87\xe3\x82\xaa\xef\xbc\x9a\n");
    // The box itself keeps CR LF and its text.
    EXPECT_EQ(form.Kekka->Text(), std::string(KekkaCpuLabel) + "\r\n" + KekkaVideoLabel + "\r\n");
}

TEST_F(FormX11Test, CloseRequestReleasesTheBitmapAndEndsTheLoop) {
    TQMKForm& form = Start();
    Show(form);
    ASSERT_TRUE(Shell("xdotool key alt+F4"));
    EXPECT_TRUE(PumpUntil([&] { return program_->Application().Terminated(); }));
    EXPECT_EQ(form.WorkBitmap(), nullptr);
    // The window is not hidden before the exit destroys it.
    EXPECT_TRUE(form.Showing());
    // A start request that was still queued does nothing.
    form.StartButton->Click();
    EXPECT_EQ(form.WorkBitmap(), nullptr);
}

}  // namespace
}  // namespace qmk::test
